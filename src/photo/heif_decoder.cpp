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
struct HeifApi {
  std::string error;  // why libheif cannot be used; empty when it can
  decltype(&heif_context_alloc) context_alloc = nullptr;
  decltype(&heif_context_free) context_free = nullptr;
  decltype(&heif_context_set_maximum_image_size_limit) set_maximum_image_size_limit = nullptr;
  decltype(&heif_context_read_from_memory_without_copy) read_from_memory_without_copy = nullptr;
  decltype(&heif_context_get_primary_image_handle) get_primary_image_handle = nullptr;
  decltype(&heif_image_handle_release) handle_release = nullptr;
  decltype(&heif_image_handle_get_width) handle_get_width = nullptr;
  decltype(&heif_image_handle_get_height) handle_get_height = nullptr;
  decltype(&heif_image_handle_get_list_of_metadata_block_IDs) metadata_block_ids = nullptr;
  decltype(&heif_image_handle_get_metadata_size) metadata_size = nullptr;
  decltype(&heif_image_handle_get_metadata) metadata = nullptr;
  decltype(&heif_decoding_options_alloc) decoding_options_alloc = nullptr;
  decltype(&heif_decoding_options_free) decoding_options_free = nullptr;
  decltype(&heif_decode_image) decode_image = nullptr;
  decltype(&heif_image_release) image_release = nullptr;
  decltype(&heif_image_get_plane_readonly) image_get_plane_readonly = nullptr;
  decltype(&heif_image_get_width) image_get_width = nullptr;
  decltype(&heif_image_get_height) image_get_height = nullptr;
  decltype(&heif_image_get_bits_per_pixel_range) image_get_bits_per_pixel_range = nullptr;

  void Resolve(SharedLibrary& library) {
    library.Resolve(context_alloc, "heif_context_alloc");
    library.Resolve(context_free, "heif_context_free");
    library.Resolve(set_maximum_image_size_limit, "heif_context_set_maximum_image_size_limit");
    library.Resolve(read_from_memory_without_copy, "heif_context_read_from_memory_without_copy");
    library.Resolve(get_primary_image_handle, "heif_context_get_primary_image_handle");
    library.Resolve(handle_release, "heif_image_handle_release");
    library.Resolve(handle_get_width, "heif_image_handle_get_width");
    library.Resolve(handle_get_height, "heif_image_handle_get_height");
    library.Resolve(metadata_block_ids, "heif_image_handle_get_list_of_metadata_block_IDs");
    library.Resolve(metadata_size, "heif_image_handle_get_metadata_size");
    library.Resolve(metadata, "heif_image_handle_get_metadata");
    library.Resolve(decoding_options_alloc, "heif_decoding_options_alloc");
    library.Resolve(decoding_options_free, "heif_decoding_options_free");
    library.Resolve(decode_image, "heif_decode_image");
    library.Resolve(image_release, "heif_image_release");
    library.Resolve(image_get_plane_readonly, "heif_image_get_plane_readonly");
    library.Resolve(image_get_width, "heif_image_get_width");
    library.Resolve(image_get_height, "heif_image_get_height");
    library.Resolve(image_get_bits_per_pixel_range, "heif_image_get_bits_per_pixel_range");
  }
};

const HeifApi& Heif() {
  return LoadLibraryOnce<HeifApi>(kHeifSoname);
}

struct ContextRelease {
  const HeifApi* api;
  void operator()(heif_context* c) const { api->context_free(c); }
};
struct HandleRelease {
  const HeifApi* api;
  void operator()(heif_image_handle* h) const { api->handle_release(h); }
};
struct ImageRelease {
  const HeifApi* api;
  void operator()(heif_image* i) const { api->image_release(i); }
};
struct OptionsRelease {
  const HeifApi* api;
  void operator()(heif_decoding_options* o) const { api->decoding_options_free(o); }
};
using ContextPtr = std::unique_ptr<heif_context, ContextRelease>;
using HandlePtr = std::unique_ptr<heif_image_handle, HandleRelease>;

class DecodedHeif final : public HeifPixels {
 public:
  DecodedHeif(const HeifApi& api, heif_image* image) : image_(image, ImageRelease{&api}) {
    data_ = api.image_get_plane_readonly(image, heif_channel_interleaved, &stride_);
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
  const ContextPtr ctx(api.context_alloc(), ContextRelease{&api});
  if (!ctx ||
      api.read_from_memory_without_copy(ctx.get(), file.data(), file.size(), nullptr).code !=
          heif_error_Ok)
    return {};
  heif_image_handle* raw = nullptr;
  if (api.get_primary_image_handle(ctx.get(), &raw).code != heif_error_Ok)
    return {};
  const HandlePtr handle(raw, HandleRelease{&api});
  heif_item_id id = 0;
  if (api.metadata_block_ids(handle.get(), "Exif", &id, 1) < 1)
    return {};
  const size_t size = api.metadata_size(handle.get(), id);
  // An EXIF block of a photo is at most 64 KiB in a JPEG; a HEIF file could
  // claim gigabytes.
  constexpr size_t kLargestExifBytes = size_t{16} << 20;
  if (size == 0 || size > kLargestExifBytes)
    return {};
  std::vector<uint8_t> item(size);
  if (api.metadata(handle.get(), id, item.data()).code != heif_error_Ok)
    return {};
  return item;
}

Result<std::shared_ptr<const HeifPixels>> DecodeHeif(std::span<const uint8_t> bytes,
                                                     double max_decode_bytes) {
  const HeifApi& api = Heif();
  if (!api.error.empty())
    return Failure(kHeifLibraryMissing, {api.error}, kErrInvalidPicture);
  const ContextPtr ctx(api.context_alloc(), ContextRelease{&api});
  if (!ctx)
    return Failure(kHeifOutOfMemory, {}, kErrOutOfMemory);
  // libheif refuses larger sides itself before allocating anything.
  api.set_maximum_image_size_limit(ctx.get(), kMaxImageSide);
  heif_error error =
      api.read_from_memory_without_copy(ctx.get(), bytes.data(), bytes.size(), nullptr);
  if (error.code != heif_error_Ok) {
    if (error.subcode == heif_suberror_Security_limit_exceeded)
      return HeifFailure(kErrOverflow, kHeifLargerThanLimit, error);
    return HeifFailure(CodeOf(error), kHeifCannotRead, error);
  }
  heif_image_handle* raw_handle = nullptr;
  error = api.get_primary_image_handle(ctx.get(), &raw_handle);
  if (error.code != heif_error_Ok)
    return HeifFailure(CodeOf(error), kHeifNoPrimaryImage, error);
  const HandlePtr handle(raw_handle, HandleRelease{&api});
  const int width = api.handle_get_width(handle.get());
  const int height = api.handle_get_height(handle.get());
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
  const std::unique_ptr<heif_decoding_options, OptionsRelease> options(api.decoding_options_alloc(),
                                                                       OptionsRelease{&api});
  if (!options)
    return Failure(kHeifOutOfMemory, {}, kErrOutOfMemory);
  // 10- and 12-bit photos come out as 8 bits; rotation, mirroring and crop
  // are applied (ignore_transformations stays 0).
  options->convert_hdr_to_8bit = 1;
  heif_image* raw_image = nullptr;
  error = api.decode_image(handle.get(), &raw_image, heif_colorspace_RGB,
                           heif_chroma_interleaved_RGB, options.get());
  if (error.code != heif_error_Ok)
    return HeifFailure(CodeOf(error), kHeifCannotDecode, error);
  auto pixels = std::make_shared<DecodedHeif>(api, raw_image);
  if (!pixels->valid() || api.image_get_width(raw_image, heif_channel_interleaved) != width ||
      api.image_get_height(raw_image, heif_channel_interleaved) != height ||
      api.image_get_bits_per_pixel_range(raw_image, heif_channel_interleaved) != 8) {
    return Failure(kHeifUnexpectedOutput, {}, kErrInvalidPicture);
  }
  pixels->width = width;
  pixels->height = height;
  return std::shared_ptr<const HeifPixels>(std::move(pixels));
}

}  // namespace sarn
