#include "session/session_json.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "photo/load_plan.h"
#include "state/numeric.h"
#include "tension/stringing_chart_text.h"

namespace sarn {
namespace {

// A whole number within the exactly representable range is written as an
// integer ("1500", not "1500.0").
constexpr double kLargestExactWhole = 9007199254740992.0;  // 2^53

Json OptionalText(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json(nullptr);
}

}  // namespace

Json LensJson(const MeasurementSession& session) {
  static constexpr const char* kModes[] = {"off", "auto", "manual"};
  Json lens = Json::object();
  lens["mode"] = kModes[static_cast<int>(session.Lens().mode)];
  const LensLookup& found = session.LensFound();
  const bool manual = session.Lens().mode == LensMode::Manual;
  if (const auto& p = found.profile) {
    lens["camera"] = p->CameraName();
    lens["lens"] = p->LensName();
    lens["focal_mm"] = JsonNumber(p->focal_mm);
    lens["model"] = p->model;
    Json terms = Json::array();
    for (double t : p->terms)
      terms.push_back(JsonNumber(t));
    lens["terms"] = std::move(terms);
    lens["source"] = manual ? "manual" : "exif";
  } else {
    lens["camera"] = nullptr;
    lens["lens"] = nullptr;
    lens["focal_mm"] = nullptr;
    lens["model"] = nullptr;
    lens["terms"] = Json::array();
    lens["source"] = "none";
    lens["why_not"] = found.why_not ? Json(found.why_not->English()) : Json(nullptr);
  }
  lens["corrected"] = session.LensApplied();
  // The change correction makes (or would make) to the 4/4 sag, percent.
  const std::optional<double> change = session.LensSagChange();
  lens["sag_change_percent"] =
      change ? JsonNumber(std::round(*change * 100.0) / 100.0) : Json(nullptr);
  return lens;
}

Json JsonNumber(double value) {
  if (!std::isfinite(value))
    return nullptr;
  if (value == std::trunc(value) && std::fabs(value) <= kLargestExactWhole)
    return static_cast<int64_t>(value);
  return value;
}

// A 32-bit value is written with the digits of its own shortest text, not
// those of the double it widens to (0.1f, not 0.10000000149011612): the
// double nearest to that text prints back as the same digits.
Json JsonNumber(float value) {
  if (!std::isfinite(value))
    return nullptr;
  return JsonNumber(std::strtod(ShortestText(value).c_str(), nullptr));
}

Json JsonNumber(std::optional<double> value) {
  return value ? JsonNumber(*value) : Json(nullptr);
}

Json JsonNumber(std::optional<float> value) {
  return value ? JsonNumber(*value) : Json(nullptr);
}

void AddTensionJson(const MeasurementSession& session, Json& object) {
  const TensionOutcome& outcome = session.Tension();
  const ShownResults& shown_results = session.Shown();
  const WireRecord* wire = session.State().SelectedWire();
  const std::string name = wire ? TrimmedWireName(wire->Name) : std::string();
  // No conductor selected (an index outside the table) gives null.
  object["wire"] = name.empty() ? Json(nullptr) : Json(name);
  object["present_tension"] = JsonNumber(outcome.PresentTension);
  // Class A off leaves SpanAllowA at 0 and its label empty: no value.
  const bool class_a_off = shown_results.allow_a.has_value() && shown_results.allow_a->empty();
  object["allowable_a"] = JsonNumber(class_a_off ? std::optional<float>() : outcome.SpanAllowA);
  object["allowable_bc"] = JsonNumber(outcome.SpanAllowBC);
  object["bc_class"] = outcome.BCClass == 'C' ? "C" : "B";
  object["governing"] = JsonNumber(outcome.Governing);
  object["ratio"] = JsonNumber(outcome.Ratio);
  object["specified_sag"] = JsonNumber(outcome.SpecifiedSag);

  Json shown = Json::object();
  // The present tension has a text whenever an evaluation ran; a scan that
  // gave no result leaves it "" (its label cleared), the other labels null.
  shown["present_tension"] = LabelCaption(shown_results.present_tension);
  shown["allowable_a"] = OptionalText(shown_results.allow_a);
  shown["allowable_bc"] = OptionalText(shown_results.allow_bc);
  shown["ratio"] = OptionalText(shown_results.ratio);
  shown["specified_sag"] = OptionalText(shown_results.specified_sag);
  shown["ratio_colour"] = shown_results.ratio_red ? "red" : "yellow";
  object["shown"] = std::move(shown);
  object["error"] = outcome.ok() ? Json(nullptr) : Json(outcome.failure->English());
}

Json ChartJson(const StringingChartResult& result) {
  Json json = Json::object();
  Json rows = Json::array(), conditions = Json::array();
  if (result) {
    for (const ChartRow& row : result->rows) {
      rows.push_back(Json::object({{"temperature", JsonNumber(row.temperature_c)},
                                   {"tension", JsonNumber(row.tension_kgf)},
                                   {"sag", JsonNumber(row.sag_m)}}));
    }
    for (const ChartCondition& c : result->conditions) {
      conditions.push_back(
          Json::object({{"class", LoadClassLetter(c.load_class)},
                        {"temperature", JsonNumber(c.temperature_c)},
                        {"tension", JsonNumber(c.tension_kgf)},
                        {"percent_of_allowable", JsonNumber(c.percent_of_allowable)}}));
    }
    json["allowable_tension"] = JsonNumber(result->allowable_tension_kgf);
  }
  json["rows"] = std::move(rows);
  json["conditions"] = std::move(conditions);
  json["error"] = result.ok() ? Json(nullptr) : Json(result.failure().English());
  return json;
}

Json MeasurementJson(const MeasurementSession& session, const std::vector<std::string>& warnings) {
  Json json = Json::object();
  json["photo"] = session.PhotoPath();
  if (const auto& photo = session.Photo()) {
    Json working = Json::object();
    working["width"] = photo->plan.W2;
    working["height"] = photo->plan.H2;
    working["case"] = std::string(1, LoadCaseLetter(photo->plan.load_case));
    working["scale"] = JsonNumber(photo->plan.k);
    working["limit"] = JsonNumber(photo->limit);
    working["orientation"] = photo->orientation;
    json["working_image"] = std::move(working);
  } else {
    json["working_image"] = nullptr;
  }
  // The drawn line in working-image pixels: overview units x ImgScale.
  const ScanLine line = session.Line().value_or(ScanLine{});
  const double scale = session.ImgScale();
  json["line"] = Json::array({JsonNumber(line.X1 * scale), JsonNumber(line.Y1 * scale),
                              JsonNumber(line.X2 * scale), JsonNumber(line.Y2 * scale)});
  json["img_scale"] = JsonNumber(session.ImgScale());
  json["view_width"] = session.ViewWidth();

  const ScanResult& scan = session.LastScan();
  Json stations = Json::array();
  for (int i = 0; i < kStations; ++i) {
    Json station = Json::object();
    station["x"] = scan.StationX[i];
    station["scan_top"] = scan.ScanTop[i];
    station["wire_y"] = scan.WireY[i];
    stations.push_back(std::move(station));
  }
  json["stations"] = std::move(stations);
  json["hi_dat"] = session.HiDatPath().empty() ? Json(nullptr) : Json(session.HiDatPath());

  const SagOutcome& sag = session.Sag();
  Json sags = Json::array(), chords = Json::array(), estimates = Json::array();
  for (size_t i = 0; i < 4; ++i) {
    sags.push_back(sag.SagDefined[i] ? JsonNumber(sag.SagEst[i]) : Json(nullptr));
    chords.push_back(JsonNumber(sag.ChordLength[i]));
    estimates.push_back(sag.EstimateDefined[i] ? JsonNumber(sag.TensionEst[i]) : Json(nullptr));
  }
  json["sag"] = std::move(sags);
  json["chord_length"] = std::move(chords);
  json["tension_estimates"] = std::move(estimates);
  json["ticks"] = session.Ticks();
  json["sag_resolution_m"] = JsonNumber(session.SagResolution());
  if (session.Precision()) {
    Json precision = Json::object();
    if (const auto& trace = session.Trace()) {
      Json rows = Json::array();
      for (float row : trace->StationRows)
        rows.push_back(JsonNumber(row));
      precision["station_rows"] = std::move(rows);
      precision["sag"] =
          sag.SagDefined[0] && trace->credible ? JsonNumber(sag.SagEst[0]) : Json(nullptr);
      precision["residual_px"] = JsonNumber(trace->residual_px);
      precision["columns_used"] = JsonNumber(trace->columns_used);
      precision["sag_uncertainty_m"] =
          JsonNumber(trace->sag_uncertainty_px * session.SagResolution());
      precision["credible"] = trace->credible;
      precision["reason"] = trace->reason;
    }
    json["precision"] = std::move(precision);
  }
  json["lens"] = LensJson(session);
  AddTensionJson(session, json);
  json["warnings"] = warnings;
  json["result_text"] = session.ResultText();
  return json;
}

std::string JsonText(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace sarn
