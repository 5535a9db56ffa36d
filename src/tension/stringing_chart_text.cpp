#include "tension/stringing_chart_text.h"

#include <cmath>
#include <optional>

#include "output/csv.h"
#include "output/number_format.h"

namespace sarn {
namespace {

constexpr int kTensionDecimals = 1;
constexpr int kSagDecimals = 3;
constexpr int kPercentDecimals = 1;
constexpr int kLoadRatioDecimals = 3;
constexpr int kSpanDecimals = 2;
constexpr int kAirTempDecimals = 1;
constexpr int kSpecifiedSagDecimals = 2;

}  // namespace

std::string LoadClassCaption(LoadClass load_class) {
  switch (load_class) {
    case LoadClass::A:
      return "甲種";
    case LoadClass::B:
      return "乙種";
    case LoadClass::C:
      return "丙種";
  }
  return {};
}

std::string LoadClassLetter(LoadClass load_class) {
  switch (load_class) {
    case LoadClass::A:
      return "A";
    case LoadClass::B:
      return "B";
    case LoadClass::C:
      return "C";
  }
  return {};
}

int TemperatureDecimals(const StringingChart& chart) {
  int decimals = 0;
  auto widen_for = [&](double t) {
    while (decimals < 2) {
      const double scaled = t * std::pow(10.0, decimals);
      if (std::fabs(scaled - std::round(scaled)) < 1e-6)
        break;
      ++decimals;
    }
  };
  for (const ChartRow& row : chart.rows)
    widen_for(row.temperature_c);
  for (const ChartCondition& c : chart.conditions)
    widen_for(c.temperature_c);
  return decimals;
}

StringingChartTexts ChartTexts(const StringingChart& chart, const std::string& no_solution) {
  auto value = [&no_solution](const std::optional<double>& v, int decimals) {
    return v ? FormatFixed(*v, decimals) : no_solution;
  };
  const int td = TemperatureDecimals(chart);
  StringingChartTexts texts;
  texts.wire_name = chart.wire_name;
  texts.span = FormatFixed(chart.span_m, kSpanDecimals);
  texts.air_temp = FormatFixed(chart.air_temp_c, kAirTempDecimals);
  texts.present_tension = FormatFixed(chart.present_tension_kgf, kTensionDecimals);
  texts.present_sag = FormatFixed(chart.present_sag_m, kSagDecimals);
  texts.allowable_tension = FormatFixed(chart.allowable_tension_kgf, kTensionDecimals);
  for (const ChartRow& row : chart.rows) {
    texts.rows.push_back({FormatFixed(row.temperature_c, td),
                          value(row.tension_kgf, kTensionDecimals),
                          value(row.sag_m, kSagDecimals)});
  }
  for (size_t i = 0; i < chart.conditions.size(); ++i) {
    const ChartCondition& condition = chart.conditions[i];
    ChartConditionTexts& cells = texts.conditions[i];
    cells.caption = LoadClassCaption(condition.load_class);
    cells.letter = LoadClassLetter(condition.load_class);
    cells.temperature = FormatFixed(condition.temperature_c, td);
    cells.load_ratio = FormatFixed(condition.load_ratio, kLoadRatioDecimals);
    cells.tension = value(condition.tension_kgf, kTensionDecimals);
    cells.percent_of_allowable = value(condition.percent_of_allowable, kPercentDecimals);
    cells.over_allowable =
        condition.percent_of_allowable && *condition.percent_of_allowable > 100.0;
  }
  return texts;
}

std::string SpecifiedSagText(double sag_m) {
  return FormatFixed(sag_m, kSpecifiedSagDecimals);
}

std::string StringingChartCsv(const StringingChart& chart) {
  const StringingChartTexts texts = ChartTexts(chart, kNoSolutionCsv);
  const char* eol = "\r\n";
  std::string out;
  out += "conductor,span_m,air_temp_C,present_tension_kgf,present_sag_m,allowable_tension_kgf";
  out += eol;
  out += CsvQuoted(texts.wire_name) + "," + texts.span + "," + texts.air_temp + "," +
         texts.present_tension + "," + texts.present_sag + "," + texts.allowable_tension + eol;
  out += eol;
  out += "temperature_C,tension_kgf,sag_m";
  out += eol;
  for (const ChartRowTexts& row : texts.rows)
    out += row.temperature + "," + row.tension + "," + row.sag + eol;
  out += eol;
  out += "class,temperature_C,load_ratio,tension_kgf,percent_of_allowable";
  out += eol;
  for (const ChartConditionTexts& c : texts.conditions) {
    out += c.letter + "," + c.temperature + "," + c.load_ratio + "," + c.tension + "," +
           c.percent_of_allowable + eol;
  }
  return out;
}

std::string StringingChartTable(const StringingChart& chart) {
  const StringingChartTexts texts = ChartTexts(chart, kNoSolutionText);
  std::string out = "張力・弛度表\t電線 " + texts.wire_name + "\t径間 " + texts.span +
                    " m\t撮影時気温 " + texts.air_temp + " ℃\t現在張力 " + texts.present_tension +
                    " kgf\t現在弛度 " + texts.present_sag + " m\t許容張力 " +
                    texts.allowable_tension + " kgf\n";
  out += "温度(℃)\t張力(kgf)\t弛度(m)\n";
  for (const ChartRowTexts& row : texts.rows)
    out += row.temperature + "\t" + row.tension + "\t" + row.sag + "\n";
  out += "\n荷重条件\t温度(℃)\t荷重比\t張力(kgf)\t許容張力比(%)\n";
  for (const ChartConditionTexts& c : texts.conditions) {
    out += c.caption + "\t" + c.temperature + "\t" + c.load_ratio + "\t" + c.tension + "\t" +
           c.percent_of_allowable + "\n";
  }
  return out;
}

}  // namespace sarn
