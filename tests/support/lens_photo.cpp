#include "support/lens_photo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sarn::test {
namespace {

// The distortion field is smooth, so it is evaluated on a grid this many
// pixels apart and interpolated bilinearly in between (the interpolation
// error is below a thousandth of a pixel for the lenses here).
constexpr int kGridStep = 8;

void Sample(const RgbImage& image, double x, double y, uint8_t* out) {
  // Pixel centres at i + 0.5.
  x = std::clamp(x - 0.5, 0.0, image.width - 1.0);
  y = std::clamp(y - 0.5, 0.0, image.height - 1.0);
  const int x0 = std::min(static_cast<int>(x), image.width - 2 < 0 ? 0 : image.width - 2);
  const int y0 = std::min(static_cast<int>(y), image.height - 2 < 0 ? 0 : image.height - 2);
  const int x1 = std::min(x0 + 1, image.width - 1), y1 = std::min(y0 + 1, image.height - 1);
  const double fx = x - x0, fy = y - y0;
  for (int c = 0; c < 3; ++c) {
    const double top = image.At(x0, y0)[c] * (1 - fx) + image.At(x1, y0)[c] * fx;
    const double bottom = image.At(x0, y1)[c] * (1 - fx) + image.At(x1, y1)[c] * fx;
    out[c] =
        static_cast<uint8_t>(std::lround(std::clamp(top * (1 - fy) + bottom * fy, 0.0, 255.0)));
  }
}

void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v & 0xFF));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}

struct Entry {
  uint16_t tag = 0, type = 0;  // 2 ASCII, 4 LONG, 5 RATIONAL
  uint32_t count = 0;
  std::vector<uint8_t> data;  // the value (padded to 4 bytes when inline)
};

Entry Ascii(uint16_t tag, const std::string& text) {
  Entry e{tag, 2, static_cast<uint32_t>(text.size() + 1), {}};
  e.data.assign(text.begin(), text.end());
  e.data.push_back(0);
  return e;
}

// An IFD at `offset` (from the TIFF header) with its values after it;
// `next_offset` is where the bytes after this IFD start.
std::vector<uint8_t> Ifd(const std::vector<Entry>& entries, uint32_t offset) {
  std::vector<uint8_t> ifd, values;
  const uint32_t values_at = offset + 2 + static_cast<uint32_t>(entries.size()) * 12 + 4;
  Put16(ifd, static_cast<uint16_t>(entries.size()));
  for (const Entry& e : entries) {
    Put16(ifd, e.tag);
    Put16(ifd, e.type);
    Put32(ifd, e.count);
    if (e.data.size() <= 4) {
      std::vector<uint8_t> inline_value = e.data;
      inline_value.resize(4, 0);
      ifd.insert(ifd.end(), inline_value.begin(), inline_value.end());
    } else {
      Put32(ifd, values_at + static_cast<uint32_t>(values.size()));
      values.insert(values.end(), e.data.begin(), e.data.end());
      if (values.size() % 2)
        values.push_back(0);
    }
  }
  Put32(ifd, 0);  // no next IFD
  ifd.insert(ifd.end(), values.begin(), values.end());
  return ifd;
}

}  // namespace

RgbImage DistortImage(const RgbImage& undistorted, const LensMapper& mapper) {
  RgbImage out;
  out.width = undistorted.width;
  out.height = undistorted.height;
  out.rgb.resize(undistorted.rgb.size());
  const int gw = out.width / kGridStep + 2, gh = out.height / kGridStep + 2;
  std::vector<PhotoPoint> grid(static_cast<size_t>(gw) * gh);
  for (int j = 0; j < gh; ++j)
    for (int i = 0; i < gw; ++i)
      grid[static_cast<size_t>(j) * gw + i] =
          mapper.Undistort(PhotoPoint{i * kGridStep + 0.5, j * kGridStep + 0.5});
  for (int y = 0; y < out.height; ++y) {
    const int j = y / kGridStep;
    const double fy = static_cast<double>(y % kGridStep) / kGridStep;
    for (int x = 0; x < out.width; ++x) {
      const int i = x / kGridStep;
      const double fx = static_cast<double>(x % kGridStep) / kGridStep;
      const PhotoPoint& a = grid[static_cast<size_t>(j) * gw + i];
      const PhotoPoint& b = grid[static_cast<size_t>(j) * gw + i + 1];
      const PhotoPoint& c = grid[static_cast<size_t>(j + 1) * gw + i];
      const PhotoPoint& d = grid[static_cast<size_t>(j + 1) * gw + i + 1];
      const double sx = (a.x * (1 - fx) + b.x * fx) * (1 - fy) + (c.x * (1 - fx) + d.x * fx) * fy;
      const double sy = (a.y * (1 - fx) + b.y * fx) * (1 - fy) + (c.y * (1 - fx) + d.y * fx) * fy;
      Sample(undistorted, sx, sy,
             &out.rgb[(static_cast<size_t>(y) * out.width + static_cast<size_t>(x)) * 3]);
    }
  }
  return out;
}

std::vector<uint8_t> WithCameraExif(const std::vector<uint8_t>& jpeg, const CameraExif& exif) {
  if (jpeg.size() < 2)
    return jpeg;
  // TIFF header (little-endian), IFD0 at 8, the Exif IFD after IFD0.
  std::vector<Entry> ifd0;
  if (!exif.make.empty())
    ifd0.push_back(Ascii(0x010F, exif.make));
  if (!exif.model.empty())
    ifd0.push_back(Ascii(0x0110, exif.model));
  std::vector<Entry> sub;
  if (exif.focal_mm > 0) {
    Entry focal{0x920A, 5, 1, {}};
    Put32(focal.data, static_cast<uint32_t>(std::lround(exif.focal_mm * 100)));
    Put32(focal.data, 100);
    sub.push_back(focal);
  }
  if (!exif.lens_make.empty())
    sub.push_back(Ascii(0xA433, exif.lens_make));
  if (!exif.lens_model.empty())
    sub.push_back(Ascii(0xA434, exif.lens_model));
  Entry pointer{0x8769, 4, 1, {0, 0, 0, 0}};
  ifd0.push_back(pointer);
  // IFD0's size fixes where the Exif IFD starts.
  const std::vector<uint8_t> first_pass = Ifd(ifd0, 8);
  const auto sub_at = static_cast<uint32_t>(8 + first_pass.size());
  ifd0.back().data = {
      static_cast<uint8_t>(sub_at & 0xFF), static_cast<uint8_t>((sub_at >> 8) & 0xFF),
      static_cast<uint8_t>((sub_at >> 16) & 0xFF), static_cast<uint8_t>(sub_at >> 24)};
  std::vector<uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
  const std::vector<uint8_t> first = Ifd(ifd0, 8);
  tiff.insert(tiff.end(), first.begin(), first.end());
  const std::vector<uint8_t> second = Ifd(sub, sub_at);
  tiff.insert(tiff.end(), second.begin(), second.end());

  std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
  app1.insert(app1.end(), tiff.begin(), tiff.end());
  const size_t length = app1.size() - 2;
  app1[2] = static_cast<uint8_t>(length >> 8);
  app1[3] = static_cast<uint8_t>(length & 0xFF);
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  out.insert(out.end(), app1.begin(), app1.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

std::vector<CampaignCamera> CampaignCameras() {
  std::vector<CampaignCamera> cameras;
  cameras.push_back({"drone DJI FC6310", {"DJI", "FC6310", "", "", 8.8f}, 5472, 3648});
  cameras.push_back({"compact Sony RX100", {"SONY", "DSC-RX100", "", "", 10.4f}, 5472, 3648});
  cameras.push_back({"reflex Canon 600D 18-55 @18",
                     {"Canon", "Canon EOS 600D", "", "EF-S18-55mm f/3.5-5.6 IS II", 18.0f},
                     5184,
                     3456});
  cameras.push_back({"mirrorless Sony A6000 16-50 @16",
                     {"SONY", "ILCE-6000", "", "E PZ 16-50mm F3.5-5.6 OSS", 16.0f},
                     6000,
                     4000});
  return cameras;
}

SpanScene LensScene(int width, int height, double height_above, double sag_scale) {
  SpanScene scene = ScaledScene(SampleSpanScene(), width, height);
  scene.left_x = width * 0.08;
  scene.right_x = width * 0.92;
  scene.sag *= sag_scale;
  // The chord's middle at the given height; the sample's slope kept.
  const double slope = (scene.right_y - scene.left_y) / (scene.right_x - scene.left_x);
  const double middle_y = height * (0.5 - height_above);
  const double half = (scene.right_x - scene.left_x) / 2;
  scene.left_y = middle_y - slope * half;
  scene.right_y = middle_y + slope * half;
  return scene;
}

}  // namespace sarn::test
