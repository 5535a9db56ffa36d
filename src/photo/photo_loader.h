#pragma once

// Loading a photo into a working image and an overview, with the recovery
// that lowers the working-width limit and retries. The window and `sarn
// measure` both load through LoadPhotoWithRecovery.
//
// JPEG files are decoded with libjpeg-turbo straight at the smallest DCT
// scale (M/8) that still covers the working image, so a full-size copy that
// the limit would scale away is never made; other formats go through a
// fallback decoder that the program may install.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "photo/load_plan.h"
#include "photo/raster.h"

namespace sarn {

// A photo file read into memory with its size known; decoding happens per
// attempt, at the size the attempt needs.
class PhotoFile {
 public:
  static std::variant<PhotoFile, LoadFailure> Open(const std::string& path);
  static std::variant<PhotoFile, LoadFailure> FromBytes(std::vector<uint8_t> bytes);

  int width() const { return width_; }
  int height() const { return height_; }

  // The working image of `plan`, or a failure (code 7 when the working
  // raster would exceed `max_raster_bytes` or cannot be allocated).
  std::variant<Raster, LoadFailure> BuildWorkingImage(const WorkingImagePlan& plan,
                                                      size_t max_raster_bytes) const;

 private:
  std::vector<uint8_t> bytes_;
  int width_ = 0, height_ = 0;
  bool is_jpeg_ = false;
};

// Decoder for formats other than JPEG: bytes -> raster, nullopt when the bytes
// are not an image it knows. Installed by the program (Qt's image reader).
using FallbackDecoder = std::function<std::optional<Raster>(const std::vector<uint8_t>&)>;
void SetFallbackDecoder(FallbackDecoder decoder);

struct LoadSettings {
  std::string limit_text = "5000";  // Text5
  bool cut = true;                  // Check4
  bool auto_adjust = true;          // Check5
};

struct LoadedPhoto {
  WorkingImagePlan plan;
  Raster working;  // W2 x H2
  OverviewPlan overview_plan;
  Raster overview;  // the working image at overview size, in window pixels
  int photo_width = 0, photo_height = 0;
  double limit = 0;  // the limit that succeeded
};

// Hooks through which the window takes part in the recovery.
struct LoadCallbacks {
  // Automatic adjustment is off and an attempt failed: ask the user whether
  // to switch it on and retry. Headless runs answer no.
  std::function<bool()> ask_retry;
  // Text5 or Check5 were changed by the recovery (repaint at once).
  std::function<void(const LoadSettings&)> settings_changed;
};

struct LoadOutcome {
  std::optional<LoadedPhoto> photo;
  LoadSettings settings;  // as the recovery left them
  std::optional<LoadFailure> failure;
  // The recovery gave up (limit below 1000, or the user declined): the
  // program shows the code and ends. False for an uncurable failure, which
  // is reported and leaves everything as it was.
  bool end_program = false;
  int attempts = 0;
};

inline constexpr size_t kDefaultMaxRasterBytes = size_t{1} << 30;  // 1 GiB working raster

// inner_width: the window's inner width in pixels (the overview spans it).
LoadOutcome LoadPhotoWithRecovery(const std::string& path, LoadSettings settings, int inner_width,
                                  const LoadCallbacks& callbacks,
                                  size_t max_raster_bytes = kDefaultMaxRasterBytes);

}  // namespace sarn
