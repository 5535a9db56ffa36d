#pragma once

// The stringing chart as text, for every face that shows it (the chart
// dialog, the report page, CSV for a file, and a tab-separated table with
// Japanese headings for the clipboard and the terminal). Each value is
// formatted here alone: tensions with one decimal (kgf), sags three (m), per
// cents one, the load ratio three, the span two, the air temperature one;
// temperatures as few as the range needs (at most two). Units are in the
// headings; a value without a solution is written as such, never as a number.

#include <array>
#include <string>
#include <vector>

#include "tension/stringing_chart.h"

namespace sarn {

// The marker of a value that has no solution: "no solution" in CSV, "解なし"
// in the table.
inline constexpr const char* kNoSolutionCsv = "no solution";
inline constexpr const char* kNoSolutionText = "解なし";

// "甲種", "乙種", "丙種".
std::string LoadClassCaption(LoadClass load_class);
// "A", "B", "C".
std::string LoadClassLetter(LoadClass load_class);

// Decimals that show every temperature of the chart exactly (0, 1 or 2).
int TemperatureDecimals(const StringingChart& chart);

// The cells of one temperature.
struct ChartRowTexts {
  std::string temperature, tension, sag;
};

// The cells of one design condition.
struct ChartConditionTexts {
  std::string caption;  // "甲種"
  std::string letter;   // "A"
  std::string temperature, load_ratio, tension, percent_of_allowable;
  bool over_allowable = false;  // above 100 % of the allowable tension
};

// Every text of the chart; a value without a solution is `no_solution`.
struct StringingChartTexts {
  std::string wire_name;  // without its padding
  std::string span, air_temp, present_tension, present_sag, allowable_tension;
  std::vector<ChartRowTexts> rows;
  std::array<ChartConditionTexts, 3> conditions;  // classes A, B, C
};
StringingChartTexts ChartTexts(const StringingChart& chart, const std::string& no_solution);

// The specified sag as the plots mark it (and the window's label shows it):
// two decimals, m.
std::string SpecifiedSagText(double sag_m);

// Three blocks separated by an empty line, each with its heading row:
//   conductor,span_m,air_temp_C,present_tension_kgf,present_sag_m,allowable_tension_kgf
//   temperature_C,tension_kgf,sag_m
//   class,temperature_C,load_ratio,tension_kgf,percent_of_allowable
// Lines end with CR LF, as spreadsheets expect; the conductor name is quoted.
std::string StringingChartCsv(const StringingChart& chart);

// A heading line (conductor, span, air temperature, present tension and sag,
// allowable tension), the temperature block and the design-condition block,
// columns separated by tabs, lines ended by "\n".
std::string StringingChartTable(const StringingChart& chart);

}  // namespace sarn
