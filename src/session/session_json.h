#pragma once

// The JSON faces of a session: every intermediate value of a measurement, or
// the evaluation alone. Numbers are written as the shortest text that reads
// back as the same value (32-bit values as 32-bit, whole values without a
// point); a value that is not finite, or a step the run did not reach, is
// null.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "session/measurement_session.h"

namespace sarn {

using Json = nlohmann::ordered_json;

Json JsonNumber(double value);
Json JsonNumber(float value);
Json JsonNumber(std::optional<double> value);
Json JsonNumber(std::optional<float> value);

// The evaluation's keys: wire, present_tension, allowable_a, allowable_bc,
// bc_class, governing, ratio, specified_sag, shown{...}, error.
void AddTensionJson(const MeasurementSession& session, Json& object);

// The lens correction: mode (off, auto, manual), camera, lens, focal_mm,
// model and terms of the distortion model, source (exif, manual, none; with
// why_not when none: the reason in English, null when no lookup was made),
// corrected, and sag_change_percent, the change
// correction makes (or with it off would make) to the 4/4 sag.
Json LensJson(const MeasurementSession& session);

// A whole measurement: photo, working_image, line, stations, hi_dat, sag,
// chord_length, tension_estimates, ticks, sag_resolution_m, precision (when
// on), lens, the evaluation's keys, warnings and result_text.
Json MeasurementJson(const MeasurementSession& session,
                     const std::vector<std::string>& warnings = {});

// The stringing chart: rows (temperature, tension, sag), conditions (class,
// temperature, tension, percent_of_allowable) and the error, if any.
Json ChartJson(const StringingChartResult& chart);

// One line of text, invalid UTF-8 (a file name) replaced rather than refused.
std::string JsonText(const Json& json);

}  // namespace sarn
