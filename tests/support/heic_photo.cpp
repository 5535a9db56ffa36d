#include "support/heic_photo.h"

#include <libheif/heif.h>

#include <cstring>
#include <memory>

namespace sarn::test {
namespace {

struct Context {
  heif_context* ctx = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  heif_image* image = nullptr;
  heif_image_handle* handle = nullptr;
  ~Context() {
    if (handle != nullptr)
      heif_image_handle_release(handle);
    if (image != nullptr)
      heif_image_release(image);
    if (encoder != nullptr)
      heif_encoder_release(encoder);
    heif_context_free(ctx);
  }
};

heif_error Append(heif_context*, const void* data, size_t size, void* userdata) {
  auto* out = static_cast<std::vector<uint8_t>*>(userdata);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
  return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
}

}  // namespace

std::string HeicEncoderMissing() {
  if (heif_have_encoder_for_format(heif_compression_HEVC))
    return {};
  return "libheif has no HEVC encoder here (install libheif's x265 encoder)";
}

std::vector<uint8_t> EncodeHeic(const RgbImage& image, int quality,
                                const std::vector<uint8_t>& exif) {
  Context c;
  if (heif_context_get_encoder_for_format(c.ctx, heif_compression_HEVC, &c.encoder).code !=
      heif_error_Ok)
    return {};
  heif_encoder_set_lossy_quality(c.encoder, quality);
  // The fastest x265 preset: the test photos are large and only decoded.
  heif_encoder_set_parameter_string(c.encoder, "preset", "ultrafast");
  if (heif_image_create(image.width, image.height, heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                        &c.image)
              .code != heif_error_Ok ||
      heif_image_add_plane(c.image, heif_channel_interleaved, image.width, image.height, 8).code !=
          heif_error_Ok)
    return {};
  int stride = 0;
  uint8_t* plane = heif_image_get_plane(c.image, heif_channel_interleaved, &stride);
  for (int y = 0; y < image.height; ++y)
    std::memcpy(plane + static_cast<size_t>(y) * stride, image.At(0, y),
                static_cast<size_t>(image.width) * 3);
  if (heif_context_encode_image(c.ctx, c.image, c.encoder, nullptr, &c.handle).code !=
      heif_error_Ok)
    return {};
  if (!exif.empty() &&
      heif_context_add_exif_metadata(c.ctx, c.handle, exif.data(), static_cast<int>(exif.size()))
              .code != heif_error_Ok)
    return {};
  std::vector<uint8_t> out;
  heif_writer writer{};
  writer.writer_api_version = 1;
  writer.write = Append;
  if (heif_context_write(c.ctx, &writer, &out).code != heif_error_Ok)
    return {};
  return out;
}

}  // namespace sarn::test
