#include "photo/photo_loader.h"

#include <new>
#include <utility>

#include "state/numeric.h"

namespace sarn {

namespace {

// One attempt at the current settings: plan, working image, overview.
std::variant<LoadedPhoto, LoadFailure> Attempt(const PhotoFile& file, const LoadSettings& settings,
                                               int inner_width, bool build_overview,
                                               size_t max_raster_bytes) {
  try {
    LoadedPhoto photo;
    photo.photo_width = file.width();
    photo.photo_height = file.height();
    photo.limit = NumericParse(settings.limit_text);
    PlanResult planned = PlanWorkingImage(file.width(), file.height(), photo.limit, settings.cut);
    if (!planned.plan)
      return planned.failure;
    photo.plan = *planned.plan;

    auto working = file.BuildWorkingImage(photo.plan, max_raster_bytes);
    if (auto* f = std::get_if<LoadFailure>(&working))
      return *f;
    photo.working = std::move(std::get<Raster>(working));

    LoadFailure failure;
    std::optional<OverviewPlan> overview =
        PlanOverview(photo.plan.W2, photo.plan.H2, inner_width, &failure);
    if (!overview)
      return failure;
    photo.overview_plan = *overview;
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
    return LoadFailure{kErrOutOfMemory, "out of memory while building the views", true};
  }
}

std::string CodeText(std::string_view prefix, int code) {
  return std::string(prefix) + std::to_string(code);
}

}  // namespace

LoadOutcome LoadPhotoWithRecovery(const std::string& path, LoadSettings settings, int inner_width,
                                  const LoadCallbacks& callbacks, size_t max_raster_bytes) {
  LoadOutcome out;
  const LoadSettings before = settings;
  out.settings = settings;

  auto opened = PhotoFile::Open(path, callbacks.fallback_decoder);
  if (auto* f = std::get_if<LoadFailure>(&opened)) {
    out.attempts = 1;
    out.failure = *f;
    out.message = CodeText(kErrorCodeText, f->code);
    return out;
  }
  const PhotoFile& file = std::get<PhotoFile>(opened);

  for (;;) {
    ++out.attempts;
    auto result = Attempt(file, settings, inner_width, callbacks.build_overview, max_raster_bytes);
    if (auto* photo = std::get_if<LoadedPhoto>(&result)) {
      out.photo = std::move(*photo);
      out.settings = settings;
      return out;
    }
    const LoadFailure failure = std::get<LoadFailure>(result);
    out.failure = failure;

    if (!failure.curable) {
      // The file yields no image whatever the limit: put back what earlier
      // attempts changed and go on running.
      if (!(settings == before) && callbacks.settings_changed)
        callbacks.settings_changed(before);
      out.settings = before;
      out.message = CodeText(kErrorCodeText, failure.code);
      return out;
    }

    const RecoveryDecision decision = DecideRecovery(settings.auto_adjust, settings.limit_text);
    if (decision.action == RecoveryAction::Ask) {
      const bool yes = callbacks.ask_retry ? callbacks.ask_retry() : false;
      if (!yes) {
        out.settings = settings;
        out.end_program = true;
        out.message = CodeText(kErrorCodeText, failure.code);
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
      out.message = CodeText(kEndAfterAdjustText, failure.code);
      return out;
    }
  }
}

}  // namespace sarn
