#pragma once

// The tension keys of the command line's --json output, shared by
// `sarn evaluate` and `sarn measure` so that both report a tension
// evaluation the same way.

#include <string>

#include "output/json_writer.h"
#include "tension/tension_evaluation.h"

namespace sarn {

// Writes, into the object being written, the keys
//   wire              the conductor name without its padding; null when empty
//                     (no conductor selected)
//   present_tension   kgf
//   allowable_a       kgf; null when class A is off or was not reached
//   allowable_bc      kgf, class B or C
//   bc_class          "B" or "C"
//   governing         kgf
//   ratio             per cent, a whole number
//   specified_sag     m
//   shown             the label texts: present_tension, allowable_a ("" when
//                     class A is off), allowable_bc, ratio, specified_sag,
//                     and ratio_colour "yellow" or "red"
//   error             null, or why the run stopped
// Numbers are written unrounded; a value or text the run did not reach is null.
void WriteTensionJson(JsonWriter& json, const TensionOutcome& outcome,
                      const std::string& wire_name);

}  // namespace sarn
