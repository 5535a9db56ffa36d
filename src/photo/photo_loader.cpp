#include "photo/photo_loader.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "state/numeric.h"

namespace sarn {

namespace {

// The first working row whose area reaches photo row `photo_row`: working
// row y covers photo rows [(y - top) H / draw_height, (y + 1 - top) H /
// draw_height), so it is the smallest y with (y + 1 - top) H / draw_height >
// photo_row, clamped to 0..H2. Overlaps below a millionth of a row are
// rounding noise, as in the resampling.
int FirstWorkingRowFrom(const WorkingImagePlan& plan, int photo_height, int photo_row) {
  const double rows_per_working_row = photo_height / static_cast<double>(plan.draw_height);
  const double top = DrawTopRow(plan);
  const double y = std::floor(photo_row / rows_per_working_row + top - 1 + 1e-6) + 1;
  return static_cast<int>(std::clamp(y, 0.0, static_cast<double>(plan.H2)));
}

// The widest a working image of this load is drawn: the limit (only lowered
// by the recovery), as whole pixels within 1..32767.
int NeededWidth(const LoadSettings& settings) {
  const double limit = std::ceil(NumericParse(settings.limit_text));
  if (!(limit >= 1))
    return 1;
  return limit > kMaxImageSide ? kMaxImageSide : static_cast<int>(limit);
}

// One attempt at the current settings: plan, working image, overview.
Result<LoadedPhoto> Attempt(const PhotoFile& file, const LoadSettings& settings, int inner_width,
                            bool build_overview, size_t max_raster_bytes) {
  try {
    LoadedPhoto photo;
    photo.photo_width = file.width();
    photo.photo_height = file.height();
    photo.orientation = file.orientation();
    photo.limit = NumericParse(settings.limit_text);
    const Result<WorkingImagePlan> planned =
        PlanWorkingImage(file.width(), file.height(), photo.limit, settings.cut);
    if (!planned)
      return planned.failure();
    photo.plan = *planned;

    // Both rasters are checked against their bounds before anything is
    // decoded: the working raster first (a smaller limit cures it), then the
    // overview (nothing does).
    if (Result<void> bounded = CheckWorkingRasterSize(photo.plan, max_raster_bytes); !bounded)
      return bounded.failure();
    const Result<OverviewPlan> overview = PlanOverview(photo.plan.W2, photo.plan.H2, inner_width);
    if (!overview)
      return overview.failure();
    if (Result<void> bounded = CheckOverviewSize(*overview, max_raster_bytes); !bounded)
      return bounded.failure();
    photo.overview_plan = *overview;

    Result<Raster> working =
        file.BuildWorkingImage(photo.plan, max_raster_bytes, &photo.first_missing_photo_row);
    if (!working)
      return working.failure();
    photo.working = std::move(*working);
    if (photo.first_missing_photo_row) {
      photo.first_missing_row =
          FirstWorkingRowFrom(photo.plan, file.height(), *photo.first_missing_photo_row);
      photo.incomplete_message = IncompletePhotoText(*photo.first_missing_photo_row);
    }

    if (!build_overview)
      return photo;
    // Overview pixel (px, py) covers working pixels from px / 1.004 * ImgScale
    // and py * ImgScale: one overview unit is ImgScale working pixels.
    const double img_scale = overview->ImgScale;
    photo.overview = ResampleAreaScaled(
        photo.working, OverviewPixelWidth(*overview), OverviewPixelHeight(*overview),
        img_scale / kOverviewUnitXPixels, img_scale / kOverviewUnitYPixels);
    return photo;
  } catch (const std::bad_alloc&) {
    // The rasters allocate with operator new's contract; the failure stops here.
    return Failure(MessageId::kViewsNoMemory, {}, kErrOutOfMemory);
  }
}

std::string CodeText(std::string_view prefix, int code) {
  return std::string(prefix) + std::to_string(code);
}

}  // namespace

std::string IncompletePhotoText(int first_missing_photo_row) {
  return IncompletePhotoFailure(first_missing_photo_row).English();
}

Failure IncompletePhotoFailure(int first_missing_photo_row) {
  return Failure(MessageId::kPhotoIncomplete, {std::to_string(first_missing_photo_row)});
}

bool ReachesMissingRows(const LoadedPhoto& photo, int working_row) {
  return photo.first_missing_row && working_row >= *photo.first_missing_row;
}

std::optional<size_t> FirstStationInMissingRows(const LoadedPhoto& photo,
                                                std::span<const int32_t> tops, int rows) {
  if (!photo.first_missing_row)
    return std::nullopt;
  for (size_t i = 0; i < tops.size(); ++i) {
    if (ReachesMissingRows(photo, tops[i] + rows - 1))
      return i;
  }
  return std::nullopt;
}

namespace {

// The recovery over a photo file that was opened (or failed to open). The
// failure of an attempt is worded without the path; `path` (when the photo
// came from one) is named once in front of it.
LoadOutcome LoadOpenedWithRecovery(const Result<PhotoFile>& opened, const std::string* path,
                                   LoadSettings settings, int inner_width,
                                   const LoadCallbacks& callbacks, size_t max_raster_bytes) {
  LoadOutcome out;
  const LoadSettings before = settings;
  out.settings = settings;

  if (!opened) {
    out.attempts = 1;
    out.failure = opened.failure();
    out.message = CodeText(kErrorCodeText, out.failure->code());
    return out;
  }
  const PhotoFile& file = *opened;
  auto naming_the_path = [path](const Failure& failure) {
    return path == nullptr ? failure
                           : Failure(MessageId::kPhotoAtPath, {*path, failure}, failure.code());
  };

  for (;;) {
    ++out.attempts;
    Result<LoadedPhoto> result =
        Attempt(file, settings, inner_width, callbacks.build_overview, max_raster_bytes);
    if (result) {
      out.photo = std::move(*result);
      out.settings = settings;
      return out;
    }
    const Failure failure = result.failure();
    out.failure = naming_the_path(failure);

    if (!SmallerImageMayCure(failure)) {
      // The file yields no image whatever the limit: put back what earlier
      // attempts changed and go on running.
      if (!(settings == before) && callbacks.settings_changed)
        callbacks.settings_changed(before);
      out.settings = before;
      out.message = CodeText(kErrorCodeText, failure.code());
      return out;
    }

    const RecoveryDecision decision = DecideRecovery(settings.auto_adjust, settings.limit_text);
    if (decision.action == RecoveryAction::Ask) {
      const bool yes = callbacks.ask_retry ? callbacks.ask_retry() : false;
      if (!yes) {
        out.settings = settings;
        out.end_program = true;
        out.message = CodeText(kErrorCodeText, failure.code());
        return out;
      }
      settings.auto_adjust = true;
      if (callbacks.settings_changed)
        callbacks.settings_changed(settings);
      continue;
    }

    const double old_limit = NumericParse(settings.limit_text);
    settings.limit_text = decision.new_limit_text;
    if (callbacks.settings_changed)
      callbacks.settings_changed(settings);
    out.settings = settings;
    // A limit so large that taking 500 off no longer changes the number
    // would retry for ever; it ends like a limit below 1000.
    if (decision.action == RecoveryAction::EndProgram ||
        !(NumericParse(settings.limit_text) < old_limit)) {
      out.end_program = true;
      out.message = CodeText(kEndAfterAdjustText, failure.code());
      return out;
    }
  }
}

}  // namespace

LoadOutcome LoadPhotoWithRecovery(const std::string& path, LoadSettings settings, int inner_width,
                                  const LoadCallbacks& callbacks, size_t max_raster_bytes) {
  // Opened before the settings move into the recovery.
  const Result<PhotoFile> opened =
      PhotoFile::Open(path, callbacks.fallback_decoder, NeededWidth(settings),
                      2.0 * static_cast<double>(max_raster_bytes));
  return LoadOpenedWithRecovery(opened, &path, std::move(settings), inner_width, callbacks,
                                max_raster_bytes);
}

LoadOutcome LoadPhotoBytesWithRecovery(std::vector<uint8_t> bytes, LoadSettings settings,
                                       int inner_width, const LoadCallbacks& callbacks,
                                       size_t max_raster_bytes) {
  const Result<PhotoFile> opened =
      PhotoFile::FromBytes(std::move(bytes), callbacks.fallback_decoder, NeededWidth(settings),
                           2.0 * static_cast<double>(max_raster_bytes));
  return LoadOpenedWithRecovery(opened, nullptr, std::move(settings), inner_width, callbacks,
                                max_raster_bytes);
}

}  // namespace sarn
