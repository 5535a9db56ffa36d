#pragma once

// The worked example conductor: Weight 0.7 kg/m, BreakLoad 60 kN, safety
// factor 2.5, Elasticity 90 kN/mm2, Expansion 19e-6/degC, Diameter 18 mm,
// WindFactor 1, Area 180 mm2; span 40 m, air 20 degC, design temperatures 15
// (class A) and -5 (low-temperature season).

#include "state/measurement_state.h"

namespace sarn::testing {

inline WireRecord WorkedExampleRecord() {
  WireRecord r;
  r.Name = "EXAMPLE 180          ";
  r.Name.resize(20);
  r.Weight = 0.7f;
  r.BreakLoad = 60.0f;
  r.SafetyFactor = 2.5f;
  r.Elasticity = 90.0f;
  r.Expansion = 19.0f;
  r.Diameter = 18.0f;
  r.WindFactor = 1.0f;
  r.Area = 180.0f;
  return r;
}

inline MeasurementState WorkedExampleState() {
  MeasurementState s;
  s.SpanLength = 40.0f;
  s.AirTemp = 20.0f;
  s.WireIndex = 0;
  s.DesignTemp = {15, -5};
  s.WireLast = 0;
  s.WireTable = {WorkedExampleRecord()};
  return s;
}

}  // namespace sarn::testing
