#pragma once

// What the report page and the annotated picture share: the lines drawn over
// the photo in the window's colours, and the writing of a file that Qt Gui
// encodes (it needs a QGuiApplication; the file is replaced whole).

#include <QByteArray>
#include <QColor>
#include <QPainter>
#include <string>

#include "photo/raster.h"
#include "session/report_content.h"
#include "state/failure.h"
#include "toolkit/bgr_color.h"

namespace sarn {

// The window's colours: the drawn line green, the chord and the station marks
// red, the traced curve of precision tracing magenta.
inline const QColor kDrawnColour = tk::ColorOfBgr(tk::kBgrGreen);
inline const QColor kScanColour = tk::ColorOfBgr(tk::kBgrRed);
inline const QColor kCurveColour = tk::ColorOfBgr(tk::kBgrMagenta);

// Draws the overlay in working-image pixels through the painter's transform,
// lines `width` device dots wide whatever the scale.
void DrawOverlay(QPainter& painter, const ReportOverlay& overlay, double width);

// A raster with all its pixels.
bool Drawable(const Raster* raster);

// True when a QGuiApplication runs.
bool HaveGuiApplication();

// Replaces `path` with `bytes` through the program's one writer.
Result<void> ReplaceFileWithQBytes(const std::string& path, const QByteArray& bytes);

}  // namespace sarn
