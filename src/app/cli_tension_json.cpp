#include "app/cli_tension_json.h"

#include <optional>

#include "state/wire_table.h"

namespace sarn {
namespace {

void OptionalText(JsonWriter& json, const std::optional<std::string>& text) {
  if (text)
    json.String(*text);
  else
    json.Null();
}

}  // namespace

void WriteTensionJson(JsonWriter& json, const TensionOutcome& outcome,
                      const std::string& wire_name) {
  const std::string name = TrimmedWireName(wire_name);
  json.Key("wire");
  if (name.empty())
    json.Null();  // no conductor selected (an index outside the table)
  else
    json.String(name);
  json.Key("present_tension").Number(outcome.PresentTension);
  // Class A off leaves SpanAllowA at 0 and Label8(0) empty: no value.
  const bool class_a_off = outcome.shown.allow_a.has_value() && outcome.shown.allow_a->empty();
  json.Key("allowable_a").Number(class_a_off ? std::optional<float>() : outcome.SpanAllowA);
  json.Key("allowable_bc").Number(outcome.SpanAllowBC);
  json.Key("bc_class").String(outcome.BCClass == 'C' ? "C" : "B");
  json.Key("governing").Number(outcome.Governing);
  json.Key("ratio").Number(outcome.Ratio);
  json.Key("specified_sag").Number(outcome.SpecifiedSag);

  json.Key("shown").BeginObject();
  json.Key("present_tension").String(outcome.shown.present_tension);
  json.Key("allowable_a");
  OptionalText(json, outcome.shown.allow_a);
  json.Key("allowable_bc");
  OptionalText(json, outcome.shown.allow_bc);
  json.Key("ratio");
  OptionalText(json, outcome.shown.ratio);
  json.Key("specified_sag");
  OptionalText(json, outcome.shown.specified_sag);
  json.Key("ratio_colour").String(outcome.shown.ratio_red ? "red" : "yellow");
  json.EndObject();

  json.Key("error");
  if (outcome.ok())
    json.Null();
  else
    json.String(outcome.error);
}

}  // namespace sarn
