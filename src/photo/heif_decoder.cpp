#include "photo/heif_decoder.h"

#include <libheif/heif.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "state/shared_library.h"

namespace sarn {

using enum MessageId;

namespace {

// libheif's functions, resolved from the library at the first HEIF file.
#define SARN_HEIF_FUNCTIONS(F)                        \
  F(heif_context_alloc)                               \
  F(heif_context_free)                                \
  F(heif_context_set_maximum_image_size_limit)        \
  F(heif_context_read_from_memory_without_copy)       \
  F(heif_context_get_primary_image_handle)            \
  F(heif_image_handle_release)                        \
  F(heif_image_handle_get_width)                      \
  F(heif_image_handle_get_height)                     \
  F(heif_image_handle_get_list_of_metadata_block_IDs) \
  F(heif_image_handle_get_metadata_size)              \
  F(heif_image_handle_get_metadata)                   \
  F(heif_decoding_options_alloc)                      \
  F(heif_decoding_options_free)                       \
  F(heif_decode_image)                                \
  F(heif_image_release)                               \
  F(heif_image_get_plane_readonly)                    \
  F(heif_image_get_width)                             \
  F(heif_image_get_height)                            \
  F(heif_image_get_bits_per_pixel_range)
struct HeifApi {
  SARN_LIBRARY_API(SARN_HEIF_FUNCTIONS)
};

const HeifApi& Heif() {
  return LoadLibraryOnce<HeifApi>(kHeifSoname);
}

struct ContextRelease {
  const HeifApi* api;
  void operator()(heif_context* c) const { api->heif_context_free(c); }
};
struct HandleRelease {
  const HeifApi* api;
  void operator()(heif_image_handle* h) const { api->heif_image_handle_release(h); }
};
struct ImageRelease {
  const HeifApi* api;
  void operator()(heif_image* i) const { api->heif_image_release(i); }
};
struct OptionsRelease {
  const HeifApi* api;
  void operator()(heif_decoding_options* o) const { api->heif_decoding_options_free(o); }
};
using ContextPtr = std::unique_ptr<heif_context, ContextRelease>;
using HandlePtr = std::unique_ptr<heif_image_handle, HandleRelease>;

class DecodedHeif final : public HeifPixels {
 public:
  DecodedHeif(const HeifApi& api, heif_image* image) : image_(image, ImageRelease{&api}) {
    data_ = api.heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride_);
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

// The major brands libheif 1.15 takes for HEIF (heif_check_filetype: yes,
// supported or not), and mif1, the plain HEIF image brand it leaves open.
bool LooksLikeHeif(std::span<const uint8_t> bytes) {
  if (bytes.size() < 12 || std::memcmp(bytes.data() + 4, "ftyp", 4) != 0)
    return false;
  static constexpr std::array<const char*, 13> kBrands = {"heic", "heix", "avif", "hevc", "hevx",
                                                          "heim", "heis", "hevm", "hevs", "msf1",
                                                          "avis", "vvic", "mif1"};
  return std::any_of(kBrands.begin(), kBrands.end(), [&bytes](const char* brand) {
    return std::memcmp(bytes.data() + 8, brand, 4) == 0;
  });
}

std::vector<uint8_t> HeifExifItem(std::span<const uint8_t> file) {
  const HeifApi& api = Heif();
  if (!api.error.empty())
    return {};
  const ContextPtr ctx(api.heif_context_alloc(), ContextRelease{&api});
  if (!ctx ||
      api.heif_context_read_from_memory_without_copy(ctx.get(), file.data(), file.size(), nullptr)
              .code != heif_error_Ok)
    return {};
  heif_image_handle* raw = nullptr;
  if (api.heif_context_get_primary_image_handle(ctx.get(), &raw).code != heif_error_Ok)
    return {};
  const HandlePtr handle(raw, HandleRelease{&api});
  heif_item_id id = 0;
  if (api.heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), "Exif", &id, 1) < 1)
    return {};
  const size_t size = api.heif_image_handle_get_metadata_size(handle.get(), id);
  // An EXIF block of a photo is at most 64 KiB in a JPEG; a HEIF file could
  // claim gigabytes.
  constexpr size_t kLargestExifBytes = size_t{16} << 20;
  if (size == 0 || size > kLargestExifBytes)
    return {};
  std::vector<uint8_t> item(size);
  if (api.heif_image_handle_get_metadata(handle.get(), id, item.data()).code != heif_error_Ok)
    return {};
  return item;
}

Result<std::shared_ptr<const HeifPixels>> DecodeHeif(std::span<const uint8_t> bytes,
                                                     double max_decode_bytes) {
  const HeifApi& api = Heif();
  if (!api.error.empty())
    return Failure(kHeifLibraryMissing, {api.error}, kErrInvalidPicture);
  const ContextPtr ctx(api.heif_context_alloc(), ContextRelease{&api});
  if (!ctx)
    return Failure(kHeifOutOfMemory, {}, kErrOutOfMemory);
  // libheif refuses larger sides itself before allocating anything.
  api.heif_context_set_maximum_image_size_limit(ctx.get(), kMaxImageSide);
  heif_error error = api.heif_context_read_from_memory_without_copy(ctx.get(), bytes.data(),
                                                                    bytes.size(), nullptr);
  if (error.code != heif_error_Ok) {
    if (error.subcode == heif_suberror_Security_limit_exceeded)
      return HeifFailure(kErrOverflow, kHeifLargerThanLimit, error);
    return HeifFailure(CodeOf(error), kHeifCannotRead, error);
  }
  heif_image_handle* raw_handle = nullptr;
  error = api.heif_context_get_primary_image_handle(ctx.get(), &raw_handle);
  if (error.code != heif_error_Ok)
    return HeifFailure(CodeOf(error), kHeifNoPrimaryImage, error);
  const HandlePtr handle(raw_handle, HandleRelease{&api});
  const int width = api.heif_image_handle_get_width(handle.get());
  const int height = api.heif_image_handle_get_height(handle.get());
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
      api.heif_decoding_options_alloc(), OptionsRelease{&api});
  if (!options)
    return Failure(kHeifOutOfMemory, {}, kErrOutOfMemory);
  // 10- and 12-bit photos come out as 8 bits; rotation, mirroring and crop
  // are applied (ignore_transformations stays 0).
  options->convert_hdr_to_8bit = 1;
  heif_image* raw_image = nullptr;
  error = api.heif_decode_image(handle.get(), &raw_image, heif_colorspace_RGB,
                                heif_chroma_interleaved_RGB, options.get());
  if (error.code != heif_error_Ok)
    return HeifFailure(CodeOf(error), kHeifCannotDecode, error);
  auto pixels = std::make_shared<DecodedHeif>(api, raw_image);
  if (!pixels->valid() || api.heif_image_get_width(raw_image, heif_channel_interleaved) != width ||
      api.heif_image_get_height(raw_image, heif_channel_interleaved) != height ||
      api.heif_image_get_bits_per_pixel_range(raw_image, heif_channel_interleaved) != 8) {
    return Failure(kHeifUnexpectedOutput, {}, kErrInvalidPicture);
  }
  pixels->width = width;
  pixels->height = height;
  return std::shared_ptr<const HeifPixels>(std::move(pixels));
}

}  // namespace sarn
