#pragma once

// The measurement report, one A4 page in PDF written with Qt's own PDF writer
// (QPdfWriter and QPainter), its Japanese text in IPA Gothic with the font
// embedded; and the working image with the same overlay as PNG, for slides
// and e-mail. Both need a QGuiApplication (QT_QPA_PLATFORM=offscreen serves
// where there is no display); without one they fail with a message. Files are
// replaced whole once complete, never left half written.

#include <optional>
#include <string>

#include "session/report_content.h"
#include "photo/photo_loader.h"
#include "photo/raster.h"

namespace sarn {

// The font of the report (fonts-ipafont-gothic), embedded in the PDF.
inline constexpr const char* kReportFontFamily = "IPAGothic";

// The pictures of the report. The overview is drawn from `overview` when it
// is given, otherwise scaled from the working image; the magnified crop is
// cut from the working image. With no working image the page says so where
// the photo would be.
struct ReportImages {
  const Raster* working = nullptr;
  const Raster* overview = nullptr;
};

// The pictures of a loaded photo (the overview when it was made); none
// without a photo.
inline ReportImages ReportImagesOf(const std::optional<LoadedPhoto>& photo) {
  ReportImages images;
  if (photo) {
    images.working = &photo->working;
    images.overview = photo->overview.width > 0 ? &photo->overview : nullptr;
  }
  return images;
}

// Writes the report page to `path`.
Result<void> WriteReportPdf(const ReportContent& content, const ReportImages& images,
                            const std::string& path);

// Writes `working` with `overlay` drawn over it (lines 1/800 of the width
// thick, at least 2 pixels) as PNG.
Result<void> WriteAnnotatedPng(const Raster& working, const ReportOverlay& overlay,
                               const std::string& path);

}  // namespace sarn
