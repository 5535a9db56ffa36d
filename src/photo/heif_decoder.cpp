#include "photo/heif_decoder.h"

#include <libheif/heif.h>

#include <memory>
#include <string>

namespace sarn {

using enum MessageId;

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

// The step that failed, with libheif's own words after it when it has any.
Failure HeifFailure(int code, MessageId what, const heif_error& error) {
  std::string detail;
  if (error.message != nullptr && error.message[0] != '\0')
    detail = std::string(": ") + error.message;
  return Failure(what, {detail}, code);
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

Result<std::shared_ptr<const HeifPixels>> DecodeHeif(std::span<const uint8_t> bytes,
                                                     double max_decode_bytes) {
  std::unique_ptr<heif_context, ContextRelease> ctx(heif_context_alloc());
  if (!ctx)
    return Failure(kHeifOutOfMemory, {}, kErrOutOfMemory);
  // libheif refuses larger sides itself before allocating anything.
  heif_context_set_maximum_image_size_limit(ctx.get(), kMaxImageSide);
  heif_error error =
      heif_context_read_from_memory_without_copy(ctx.get(), bytes.data(), bytes.size(), nullptr);
  if (error.code != heif_error_Ok) {
    if (error.subcode == heif_suberror_Security_limit_exceeded)
      return HeifFailure(kErrOverflow, kHeifLargerThanLimit, error);
    return HeifFailure(CodeOf(error), kHeifCannotRead, error);
  }
  heif_image_handle* raw_handle = nullptr;
  error = heif_context_get_primary_image_handle(ctx.get(), &raw_handle);
  if (error.code != heif_error_Ok)
    return HeifFailure(CodeOf(error), kHeifNoPrimaryImage, error);
  const std::unique_ptr<heif_image_handle, HandleRelease> handle(raw_handle);
  const int width = heif_image_handle_get_width(handle.get());
  const int height = heif_image_handle_get_height(handle.get());
  if (width > kMaxImageSide || height > kMaxImageSide) {
    return Failure(kPhotoSizeExceeds, {std::to_string(width), std::to_string(height)},
                   kErrOverflow);
  }
  if (width <= 0 || height <= 0)
    return Failure(kPhotoNoPixels, {}, kErrInvalidPicture);
  if (kHeifDecodeBytesPerPixel * width * height > max_decode_bytes) {
    return Failure(kHeifNeedsMore, {std::to_string(static_cast<long long>(max_decode_bytes) >> 20)},
                   kErrOutOfMemory);
  }
  const std::unique_ptr<heif_decoding_options, OptionsRelease> options(
      heif_decoding_options_alloc());
  if (!options)
    return Failure(kHeifOutOfMemory, {}, kErrOutOfMemory);
  // 10- and 12-bit photos come out as 8 bits; rotation, mirroring and crop
  // are applied (ignore_transformations stays 0).
  options->convert_hdr_to_8bit = 1;
  heif_image* raw_image = nullptr;
  error = heif_decode_image(handle.get(), &raw_image, heif_colorspace_RGB,
                            heif_chroma_interleaved_RGB, options.get());
  if (error.code != heif_error_Ok)
    return HeifFailure(CodeOf(error), kHeifCannotDecode, error);
  auto pixels = std::make_shared<DecodedHeif>(raw_image);
  if (!pixels->valid() || heif_image_get_width(raw_image, heif_channel_interleaved) != width ||
      heif_image_get_height(raw_image, heif_channel_interleaved) != height ||
      heif_image_get_bits_per_pixel_range(raw_image, heif_channel_interleaved) != 8) {
    return Failure(kHeifUnexpectedOutput, {}, kErrInvalidPicture);
  }
  pixels->width = width;
  pixels->height = height;
  return std::shared_ptr<const HeifPixels>(std::move(pixels));
}

}  // namespace sarn
