#pragma once

// Loading the Qt module (qt_module.h) from the program folder on first use.

#include <string>

#include "app/cli.h"
#include "app/qt_module.h"

namespace sarn {

// The module's table, loaded from `folder` (the program folder) by the first
// call; later calls return the same table. A module that cannot be loaded,
// lacks its entry or comes from another version ends the program: the file
// and the reason on standard error, exit status kExitBadInput.
const QtModuleTable& QtModule(const std::string& folder);

// Fills the Qt hooks of `context` (the fallback decoder and the report
// writers) with calls into the module of `folder`, which is loaded only when
// one of them is first called.
void UseQtModule(CliContext& context, const std::string& folder);

}  // namespace sarn
