#pragma once

// The JSON faces of a session: every intermediate value of a measurement, or
// the evaluation alone. Numbers are written as the shortest text that reads
// back as the same value (32-bit values as 32-bit, whole values without a
// point); a value that is not finite, or a step the run did not reach, is
// null.

#include <optional>
#include <string>

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

// A whole measurement: photo, working_image, line, stations, hi_dat, sag,
// chord_length, tension_estimates, ticks, the evaluation's keys and
// result_text.
Json MeasurementJson(const MeasurementSession& session);

// One line of text, invalid UTF-8 (a file name) replaced rather than refused.
std::string JsonText(const Json& json);

}  // namespace sarn
