#include "photo/heif_decoder.h"

#include <libheif/heif.h>

#include <memory>
#include <string>

namespace sarn {

namespace {

struct ContextRelease {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleRelease {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageRelease {
  void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsRelease {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

class DecodedHeif final : public HeifPixels {
 public:
  explicit DecodedHeif(heif_image* image) : image_(image) {
    data_ = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride_);
  }
  const uint8_t* Row(int y) const override { return data_ + static_cast<size_t>(y) * stride_; }
  bool valid() const { return data_ != nullptr; }

 private:
  std::unique_ptr<heif_image, ImageRelease> image_;
  const uint8_t* data_ = nullptr;
  int stride_ = 0;
};

LoadFailure Failure(int code, const std::string& what, const heif_error& error) {
  std::string reason = "HEIF decoder: " + what;
  if (error.message != nullptr && error.message[0] != '\0')
    reason += std::string(": ") + error.message;
  return LoadFailure{code, reason, false};
}

int CodeOf(const heif_error& error) {
  if (error.code == heif_error_Memory_allocation_error ||
      error.subcode == heif_suberror_Security_limit_exceeded)
    return kErrOutOfMemory;
  return kErrInvalidPicture;
}

}  // namespace

bool LooksLikeHeif(std::span<const uint8_t> bytes) {
  if (bytes.size() < 12)
    return false;
  const heif_filetype_result r = heif_check_filetype(bytes.data(), static_cast<int>(bytes.size()));
  return r == heif_filetype_yes_supported || r == heif_filetype_yes_unsupported;
}

std::variant<std::shared_ptr<const HeifPixels>, LoadFailure> DecodeHeif(
    std::span<const uint8_t> bytes, double max_decode_bytes) {
  std::unique_ptr<heif_context, ContextRelease> ctx(heif_context_alloc());
  if (!ctx)
    return LoadFailure{kErrOutOfMemory, "HEIF decoder: out of memory", false};
  // libheif refuses larger sides itself before allocating anything.
  heif_context_set_maximum_image_size_limit(ctx.get(), kMaxImageSide);
  heif_error error =
      heif_context_read_from_memory_without_copy(ctx.get(), bytes.data(), bytes.size(), nullptr);
  if (error.code != heif_error_Ok) {
    if (error.subcode == heif_suberror_Security_limit_exceeded)
      return Failure(kErrOverflow, "the photo is larger than 32767 pixels a side", error);
    return Failure(CodeOf(error), "cannot read the file", error);
  }
  heif_image_handle* raw_handle = nullptr;
  error = heif_context_get_primary_image_handle(ctx.get(), &raw_handle);
  if (error.code != heif_error_Ok)
    return Failure(CodeOf(error), "no primary image", error);
  const std::unique_ptr<heif_image_handle, HandleRelease> handle(raw_handle);
  const int width = heif_image_handle_get_width(handle.get());
  const int height = heif_image_handle_get_height(handle.get());
  if (width > kMaxImageSide || height > kMaxImageSide) {
    return LoadFailure{
        kErrOverflow,
        "photo size " + std::to_string(width) + " x " + std::to_string(height) + " exceeds 32767",
        false};
  }
  if (width <= 0 || height <= 0)
    return LoadFailure{kErrInvalidPicture, "the photo has no pixels", false};
  if (kHeifDecodeBytesPerPixel * width * height > max_decode_bytes) {
    return LoadFailure{kErrOutOfMemory,
                       "HEIF decoder: the photo needs more than " +
                           std::to_string(static_cast<long long>(max_decode_bytes) >> 20) +
                           " MB to decode",
                       false};
  }
  const std::unique_ptr<heif_decoding_options, OptionsRelease> options(
      heif_decoding_options_alloc());
  if (!options)
    return LoadFailure{kErrOutOfMemory, "HEIF decoder: out of memory", false};
  // 10- and 12-bit photos come out as 8 bits; rotation, mirroring and crop
  // are applied (ignore_transformations stays 0).
  options->convert_hdr_to_8bit = 1;
  heif_image* raw_image = nullptr;
  error = heif_decode_image(handle.get(), &raw_image, heif_colorspace_RGB,
                            heif_chroma_interleaved_RGB, options.get());
  if (error.code != heif_error_Ok)
    return Failure(CodeOf(error), "cannot decode the photo", error);
  auto pixels = std::make_shared<DecodedHeif>(raw_image);
  if (!pixels->valid() || heif_image_get_width(raw_image, heif_channel_interleaved) != width ||
      heif_image_get_height(raw_image, heif_channel_interleaved) != height ||
      heif_image_get_bits_per_pixel_range(raw_image, heif_channel_interleaved) != 8) {
    return LoadFailure{kErrInvalidPicture, "HEIF decoder: unexpected output", false};
  }
  pixels->width = width;
  pixels->height = height;
  return std::shared_ptr<const HeifPixels>(std::move(pixels));
}

}  // namespace sarn
