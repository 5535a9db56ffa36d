#pragma once

// The working image with the measurement's lines drawn over it, as PNG, for
// slides and e-mail. Needs a QGuiApplication (QT_QPA_PLATFORM=offscreen
// serves where there is no display); the file is replaced whole once
// complete, never left half written.

#include <string>

#include "photo/raster.h"
#include "session/report_content.h"
#include "state/failure.h"

namespace sarn {

// Writes `working` with `overlay` drawn over it (lines 1/800 of the width
// thick, at least 2 pixels) as PNG.
Result<void> WriteAnnotatedPng(const Raster& working, const ReportOverlay& overlay,
                               const std::string& path);

}  // namespace sarn
