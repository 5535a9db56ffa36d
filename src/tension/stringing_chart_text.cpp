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

std::string Value(const std::optional<double>& value, int decimals, const char* none) {
  return value ? FormatFixed(*value, decimals) : std::string(none);
}

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

std::string StringingChartCsv(const StringingChart& chart) {
  const int td = TemperatureDecimals(chart);
  const char* eol = "\r\n";
  std::string out;
  out += "conductor,span_m,air_temp_C,present_tension_kgf,present_sag_m,allowable_tension_kgf";
  out += eol;
  out += CsvQuoted(chart.wire_name) + "," + FormatFixed(chart.span_m, 2) + "," +
         FormatFixed(chart.air_temp_c, 1) + "," +
         FormatFixed(chart.present_tension_kgf, kTensionDecimals) + "," +
         FormatFixed(chart.present_sag_m, kSagDecimals) + "," +
         FormatFixed(chart.allowable_tension_kgf, kTensionDecimals) + eol;
  out += eol;
  out += "temperature_C,tension_kgf,sag_m";
  out += eol;
  for (const ChartRow& row : chart.rows) {
    out += FormatFixed(row.temperature_c, td) + "," +
           Value(row.tension_kgf, kTensionDecimals, kNoSolutionCsv) + "," +
           Value(row.sag_m, kSagDecimals, kNoSolutionCsv) + eol;
  }
  out += eol;
  out += "class,temperature_C,load_ratio,tension_kgf,percent_of_allowable";
  out += eol;
  for (const ChartCondition& c : chart.conditions) {
    out += LoadClassLetter(c.load_class) + "," + FormatFixed(c.temperature_c, td) + "," +
           FormatFixed(c.load_ratio, kLoadRatioDecimals) + "," +
           Value(c.tension_kgf, kTensionDecimals, kNoSolutionCsv) + "," +
           Value(c.percent_of_allowable, kPercentDecimals, kNoSolutionCsv) + eol;
  }
  return out;
}

std::string StringingChartTable(const StringingChart& chart) {
  const int td = TemperatureDecimals(chart);
  std::string out = "張力・弛度表\t電線 " + chart.wire_name + "\t径間 " +
                    FormatFixed(chart.span_m, 2) + " m\t撮影時気温 " +
                    FormatFixed(chart.air_temp_c, 1) + " ℃\t現在張力 " +
                    FormatFixed(chart.present_tension_kgf, kTensionDecimals) + " kgf\t現在弛度 " +
                    FormatFixed(chart.present_sag_m, kSagDecimals) + " m\t許容張力 " +
                    FormatFixed(chart.allowable_tension_kgf, kTensionDecimals) + " kgf\n";
  out += "温度(℃)\t張力(kgf)\t弛度(m)\n";
  for (const ChartRow& row : chart.rows) {
    out += FormatFixed(row.temperature_c, td) + "\t" +
           Value(row.tension_kgf, kTensionDecimals, kNoSolutionText) + "\t" +
           Value(row.sag_m, kSagDecimals, kNoSolutionText) + "\n";
  }
  out += "\n荷重条件\t温度(℃)\t荷重比\t張力(kgf)\t許容張力比(%)\n";
  for (const ChartCondition& c : chart.conditions) {
    out += LoadClassCaption(c.load_class) + "\t" + FormatFixed(c.temperature_c, td) + "\t" +
           FormatFixed(c.load_ratio, kLoadRatioDecimals) + "\t" +
           Value(c.tension_kgf, kTensionDecimals, kNoSolutionText) + "\t" +
           Value(c.percent_of_allowable, kPercentDecimals, kNoSolutionText) + "\n";
  }
  return out;
}

}  // namespace sarn
