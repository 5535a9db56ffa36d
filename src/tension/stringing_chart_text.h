#pragma once

// The stringing chart as text: CSV for a file, and a tab-separated table with
// Japanese headings for the clipboard and the terminal. Units are in the
// headings; a value without a solution is written as such, never as a number.
// Tensions have one decimal (kgf), sags three (m), per cents one, the load
// ratio three; temperatures as few as the range needs (at most two).

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
