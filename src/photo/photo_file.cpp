#include "photo/photo_file.h"

#include <new>

#include "photo/area_resampler.h"
#include "photo/jpeg_decoder.h"
#include "state/file_access.h"

namespace sarn {

namespace {

LoadFailure NotCurable(int code, std::string reason) {
  return LoadFailure{code, std::move(reason), false};
}

// The largest photo file read: far beyond any JPEG of 32767 x 32767 pixels
// that a camera writes, and still a bounded allocation.
constexpr size_t kLargestPhotoFileBytes = size_t{1} << 31;

// Maps the whole file. Missing -> 53, no permission -> 70, a FIFO, device or
// socket -> 75 (never opened for reading: it could block for ever), a folder
// or a read error -> 481.
std::variant<MappedFile, LoadFailure> MapFile(const std::string& path) {
  Result<MappedFile> mapped = MapWholeFile(path, kLargestPhotoFileBytes);
  if (mapped)
    return std::move(*mapped);
  const Failure& failure = mapped.failure();
  // The reason without the path: the loader's caller names it.
  const std::string what = failure.English().substr(path.size() + 2);
  switch (failure.message()) {
    case MessageId::kFileNotFound:
      return NotCurable(kErrFileNotFound, what);
    case MessageId::kFileNoPermission:
      return NotCurable(kErrPermissionDenied, what);
    case MessageId::kFileNotRegular:
      return NotCurable(kErrPathFileAccess, what);
    default:
      return NotCurable(IsTooLarge(failure) ? kErrOutOfMemory : kErrInvalidPicture, what);
  }
}

std::optional<LoadFailure> CheckSize(int width, int height) {
  if (width > kMaxImageSide || height > kMaxImageSide) {
    return NotCurable(kErrOverflow, "photo size " + std::to_string(width) + " x " +
                                        std::to_string(height) + " exceeds 32767");
  }
  if (width <= 0 || height <= 0)
    return NotCurable(kErrInvalidPicture, "the photo has no pixels");
  return std::nullopt;
}

}  // namespace

std::variant<PhotoFile, LoadFailure> PhotoFile::Open(const std::string& path,
                                                     const FallbackDecoder& fallback,
                                                     int needed_width) {
  auto mapped = MapFile(path);
  if (auto* f = std::get_if<LoadFailure>(&mapped))
    return *f;
  PhotoFile file;
  file.mapped_ = std::move(std::get<MappedFile>(mapped));
  if (auto f = file.Identify(fallback, needed_width))
    return *f;
  return file;
}

std::variant<PhotoFile, LoadFailure> PhotoFile::FromBytes(std::vector<uint8_t> bytes,
                                                          const FallbackDecoder& fallback,
                                                          int needed_width) {
  PhotoFile file;
  file.owned_ = std::move(bytes);
  if (auto f = file.Identify(fallback, needed_width))
    return *f;
  return file;
}

std::span<const uint8_t> PhotoFile::bytes() const {
  if (mapped_.data() != nullptr)
    return {mapped_.data(), mapped_.size()};
  return owned_;
}

std::optional<LoadFailure> PhotoFile::Identify(const FallbackDecoder& fallback, int needed_width) {
  const std::span<const uint8_t> data = bytes();
  if (data.empty())
    return NotCurable(kErrInvalidPicture, "the file is empty");
  if (LooksLikeJpeg(data)) {
    auto size = ReadJpegSize(data);
    if (auto* f = std::get_if<LoadFailure>(&size))
      return *f;
    const JpegSize s = std::get<JpegSize>(size);
    if (auto f = CheckSize(s.width, s.height))
      return *f;
    width_ = s.width;
    height_ = s.height;
    is_jpeg_ = true;
    return std::nullopt;
  }
  if (!fallback)
    return NotCurable(kErrInvalidPicture, "not a JPEG file");
  std::variant<FallbackPhoto, LoadFailure> decoded;
  try {
    // The fallback takes a vector: a mapped file is copied for it (other
    // formats only).
    if (mapped_.data() != nullptr)
      decoded = fallback(std::vector<uint8_t>(data.begin(), data.end()), needed_width);
    else
      decoded = fallback(owned_, needed_width);
  } catch (const std::bad_alloc&) {
    return NotCurable(kErrOutOfMemory, "the photo is too large to decode");
  }
  if (mapped_.Shrunk())
    return NotCurable(kErrInvalidPicture, "the file was cut short while it was read");
  if (auto* f = std::get_if<LoadFailure>(&decoded))
    return NotCurable(f->code != 0 ? f->code : kErrInvalidPicture, f->reason);
  FallbackPhoto& photo = std::get<FallbackPhoto>(decoded);
  if (auto f = CheckSize(photo.width, photo.height))
    return *f;
  const Raster& pixels = photo.pixels;
  if (pixels.width < 1 || pixels.height < 1 || pixels.width > photo.width ||
      pixels.height > photo.height ||
      pixels.pixels.size() !=
          static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height)) {
    return NotCurable(kErrInvalidPicture, "not an image");
  }
  width_ = photo.width;
  height_ = photo.height;
  decoded_ = std::move(photo.pixels);
  // The decoded photo is all that is needed from here on.
  mapped_ = MappedFile();
  owned_ = {};
  return std::nullopt;
}

std::variant<Raster, LoadFailure> PhotoFile::BuildWorkingImage(
    const WorkingImagePlan& plan, size_t max_raster_bytes,
    std::optional<int>* first_missing_photo_row) const {
  if (plan.W2 <= 0 || plan.H2 <= 0 || plan.draw_width <= 0 || plan.draw_height <= 0)
    return LoadFailure{kErrDivisionByZero, "empty working image", true};
  if (auto too_large = CheckWorkingRasterSize(plan, max_raster_bytes))
    return *too_large;
  try {
    const double top = DrawTopRow(plan);
    if (!is_jpeg_) {
      // The decoded pixels cover the whole photo, perhaps scaled down.
      return ResampleAreaScaled(decoded_, plan.W2, plan.H2,
                                decoded_.width / static_cast<double>(plan.draw_width),
                                decoded_.height / static_cast<double>(plan.draw_height), top);
    }
    // The resampler writes every pixel.
    Raster out = MakeUnsetRaster(plan.W2, plan.H2);
    const JpegSize full{width_, height_};
    const int m = ChooseDctScale(full, plan.draw_width, plan.draw_height);
    const JpegSize scaled = ScaledJpegSize(full, m);
    // Source pixels per working pixel, from the exact scale M/8 (the last
    // decoded column and row may be partial).
    const double fx = width_ * (m / 8.0) / plan.draw_width;
    const double fy = height_ * (m / 8.0) / plan.draw_height;
    AreaResampler resampler(scaled.width, scaled.height, fx, fy, top, &out);
    if (auto f = DecodeJpegInto(bytes(), m, &resampler, first_missing_photo_row))
      return *f;
    resampler.Finish();
    if (mapped_.Shrunk())
      return NotCurable(kErrInvalidPicture, "the file was cut short while it was read");
    return out;
  } catch (const std::bad_alloc&) {
    return LoadFailure{kErrOutOfMemory, "the working raster cannot be allocated", true};
  }
}

}  // namespace sarn
