// Fuzz entry for the photo reader: any bytes through PhotoFile::FromBytes
// and, when they open, through the streamed, DCT-scaled JPEG decoding into a
// small working image (limit 160, the cut on, and the cut off). Besides "no
// crash, no sanitizer report" it checks what the scan relies on, and aborts
// when that does not hold:
//   - an opened photo has a size within 1..32767 on both sides;
//   - a working image has exactly the planned size and opaque pixels;
//   - a failure carries a code.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <variant>
#include <vector>

#include "photo/load_plan.h"
#include "photo/photo_file.h"

namespace {

void Require(bool condition) {
  if (!condition)
    std::abort();
}

// Keeps one input cheap: a header may claim a huge photo whose decoding, even
// at 1/8 scale, would dominate the run without testing anything new.
constexpr long long kMaxPhotoPixels = 16'000'000;
constexpr size_t kMaxRasterBytes = 4u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto opened = sarn::PhotoFile::FromBytes(std::vector<uint8_t>(data, data + size));
  if (const auto* failure = std::get_if<sarn::LoadFailure>(&opened)) {
    Require(failure->code != 0);
    return 0;
  }
  const sarn::PhotoFile& photo = std::get<sarn::PhotoFile>(opened);
  Require(photo.width() >= 1 && photo.width() <= 32767);
  Require(photo.height() >= 1 && photo.height() <= 32767);
  if (static_cast<long long>(photo.width()) * photo.height() > kMaxPhotoPixels)
    return 0;
  for (bool cut : {true, false}) {
    const sarn::PlanResult plan = sarn::PlanWorkingImage(photo.width(), photo.height(), 160, cut);
    if (!plan.plan) {
      Require(plan.failure.code != 0);
      continue;
    }
    auto built = photo.BuildWorkingImage(*plan.plan, kMaxRasterBytes);
    if (const auto* failure = std::get_if<sarn::LoadFailure>(&built)) {
      Require(failure->code != 0);
      continue;
    }
    const sarn::Raster& raster = std::get<sarn::Raster>(built);
    Require(raster.width == plan.plan->W2 && raster.height == plan.plan->H2);
    Require(raster.pixels.size() == static_cast<size_t>(raster.width) * raster.height);
    for (uint32_t pixel : raster.pixels)
      Require((pixel >> 24) == 0xFF);
  }
  return 0;
}
