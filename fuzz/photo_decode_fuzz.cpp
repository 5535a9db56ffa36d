// Fuzz entry for the photo loading: any bytes through the whole of
// LoadPhotoBytesWithRecovery, as the window and `sarn measure` load a photo:
// the header, the working-image plan, the bound checks, the streamed
// DCT-scaled JPEG decoding (with its EXIF orientation, turned and mirrored
// in the resampler), the HEIC/HEIF decoding through libheif (bounded by the
// working raster's bound) or the Qt decoder for other formats, the area
// resampler (straight copy and scaled), the overview and the recovery with
// its retries. Each input's last byte picks the settings (limit, cut,
// automatic adjustment), and the working raster is kept small so that one
// input stays cheap. Besides "no crash, no sanitizer report" it checks what
// the window relies on, and aborts when that does not hold:
//   - a load gives a photo or a failure after 1..10 attempts;
//   - a photo has its planned working size, its overview the planned size,
//     opaque pixels, and a first missing row only with its message;
//   - a failure carries a code, and the message ends with it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "photo/load_plan.h"
#include "photo/photo_loader.h"
#include "toolkit/raster_image.h"

namespace {

void Require(bool condition) {
  if (!condition)
    std::abort();
}

// A working raster of at most 1 MB, an overview at most 200 units wide, and
// the Qt decoder bounded to 4 MB: a header may claim a huge photo.
constexpr size_t kMaxRasterBytes = 1u << 20;
constexpr int kInnerWidth = 205;
constexpr size_t kQtDecodeBytes = 4u << 20;

void RequireOpaque(const sarn::Raster& raster) {
  Require(raster.pixels.size() == static_cast<size_t>(raster.width) * raster.height);
  for (uint32_t pixel : raster.pixels)
    Require((pixel >> 24) == 0xFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const unsigned pick = size > 0 ? data[size - 1] : 0;
  // 1200 and 1500 reach the recovery's retries (1500 -> 1000) when the
  // working raster does not fit; 160 and 40 decode at 1/8.
  static constexpr const char* kLimits[] = {"160", "1500", "1200", "40"};
  sarn::LoadSettings settings;
  settings.limit_text = kLimits[pick & 3];
  settings.cut = (pick & 4) != 0;
  settings.auto_adjust = (pick & 8) != 0;

  sarn::LoadCallbacks callbacks;
  callbacks.ask_retry = [] { return true; };
  callbacks.fallback_decoder = [](const std::vector<uint8_t>& bytes, int needed_width) {
    return sarn::tk::DecodeImageWithQtWithin(bytes, needed_width, kQtDecodeBytes);
  };
  const sarn::LoadOutcome out = sarn::LoadPhotoBytesWithRecovery(
      std::vector<uint8_t>(data, data + size), settings, kInnerWidth, callbacks, kMaxRasterBytes);
  // A photo, or a failure (a photo loaded after retries keeps the failure
  // that caused the last retry).
  Require(out.photo.has_value() || out.failure.has_value());
  Require(out.attempts >= 1 && out.attempts <= 10);
  if (!out.photo) {
    Require(out.failure->code() != 0);
    const std::string code = std::to_string(out.failure->code());
    Require(out.message.size() > code.size() &&
            out.message.compare(out.message.size() - code.size(), code.size(), code) == 0);
    return 0;
  }
  const sarn::LoadedPhoto& photo = *out.photo;
  Require(photo.photo_width >= 1 && photo.photo_width <= 32767);
  Require(photo.photo_height >= 1 && photo.photo_height <= 32767);
  Require(photo.working.width == photo.plan.W2 && photo.working.height == photo.plan.H2);
  RequireOpaque(photo.working);
  Require(photo.overview.width == sarn::OverviewPixelWidth(photo.overview_plan));
  Require(photo.overview.height == sarn::OverviewPixelHeight(photo.overview_plan));
  RequireOpaque(photo.overview);
  Require(photo.first_missing_photo_row.has_value() == photo.first_missing_row.has_value());
  Require(photo.first_missing_photo_row.has_value() == !photo.incomplete_message.empty());
  if (photo.first_missing_row) {
    Require(*photo.first_missing_photo_row >= 0 &&
            *photo.first_missing_photo_row <= photo.photo_height);
    Require(*photo.first_missing_row >= 0 && *photo.first_missing_row <= photo.plan.H2);
  }
  return 0;
}
