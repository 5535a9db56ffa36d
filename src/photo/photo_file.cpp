#include "photo/photo_file.h"

#include <algorithm>
#include <new>

#include "photo/area_resampler.h"
#include "photo/exif_date.h"
#include "photo/heif_decoder.h"
#include "photo/jpeg_decoder.h"
#include "photo/photo_exif.h"
#include "state/file_access.h"

namespace sarn {

namespace {

using enum MessageId;

// The largest photo file read: far beyond any JPEG of 32767 x 32767 pixels
// that a camera writes, and still a bounded allocation.
constexpr size_t kLargestPhotoFileBytes = size_t{1} << 31;

// Maps the whole file. Missing -> 53, no permission -> 70, a FIFO, device or
// socket -> 75 (never opened for reading: it could block for ever), too
// large -> 7, a folder or a read error -> 481. The failure names the path.
Result<MappedFile> MapFile(const std::string& path) {
  Result<MappedFile> mapped = MapWholeFile(path, kLargestPhotoFileBytes);
  if (mapped)
    return mapped;
  const Failure& failure = mapped.failure();
  switch (failure.message()) {
    case kFileNotFound:
      return failure.WithCode(kErrFileNotFound);
    case kFileNoPermission:
      return failure.WithCode(kErrPermissionDenied);
    case kFileNotRegular:
      return failure.WithCode(kErrPathFileAccess);
    default:
      return failure.WithCode(IsTooLarge(failure) ? kErrOutOfMemory : kErrInvalidPicture);
  }
}

Result<void> CheckSize(int width, int height) {
  if (width > kMaxImageSide || height > kMaxImageSide)
    return Failure(kPhotoSizeExceeds, {std::to_string(width), std::to_string(height)},
                   kErrOverflow);
  if (width <= 0 || height <= 0)
    return Failure(kPhotoNoPixels, {}, kErrInvalidPicture);
  return Ok();
}

}  // namespace

Result<PhotoFile> PhotoFile::Open(const std::string& path, const FallbackDecoder& fallback,
                                  int needed_width, double max_decode_bytes) {
  Result<MappedFile> mapped = MapFile(path);
  if (!mapped)
    return mapped.failure();
  PhotoFile file;
  file.mapped_ = std::move(*mapped);
  // What the bytes yield is worded without the path; it is named once here.
  if (Result<void> identified = file.Identify(fallback, needed_width, max_decode_bytes);
      !identified) {
    const Failure& failure = identified.failure();
    return Failure(kPhotoAtPath, {path, failure}, failure.code());
  }
  return file;
}

Result<PhotoFile> PhotoFile::FromBytes(std::vector<uint8_t> bytes, const FallbackDecoder& fallback,
                                       int needed_width, double max_decode_bytes) {
  PhotoFile file;
  file.owned_ = std::move(bytes);
  if (Result<void> identified = file.Identify(fallback, needed_width, max_decode_bytes);
      !identified)
    return identified.failure();
  return file;
}

std::span<const uint8_t> PhotoFile::bytes() const {
  if (mapped_.data() != nullptr)
    return {mapped_.data(), mapped_.size()};
  return owned_;
}

Result<void> PhotoFile::Identify(const FallbackDecoder& fallback, int needed_width,
                                 double max_decode_bytes) {
  const std::span<const uint8_t> data = bytes();
  if (data.empty())
    return Failure(kPhotoFileEmpty, {}, kErrInvalidPicture);
  if (LooksLikeJpeg(data)) {
    const Result<JpegSize> size = ReadJpegSize(data);
    if (!size)
      return size.failure();
    if (Result<void> checked = CheckSize(size->width, size->height); !checked)
      return checked;
    // The EXIF block is within the file's first kExifSearchBytes.
    orientation_ = ReadPhotoExif(data.first(std::min(data.size(), kExifSearchBytes))).orientation;
    const bool swap = OrientationSwapsSides(orientation_);
    width_ = swap ? size->height : size->width;
    height_ = swap ? size->width : size->height;
    is_jpeg_ = true;
    return Ok();
  }
  if (LooksLikeHeif(data)) {
    Result<std::shared_ptr<const HeifPixels>> decoded = DecodeHeif(data, max_decode_bytes);
    if (mapped_.Shrunk())
      return Failure(kPhotoCutShort, {}, kErrInvalidPicture);
    if (!decoded)
      return decoded.failure();
    heif_ = *decoded;
    if (Result<void> checked = CheckSize(heif_->width, heif_->height); !checked)
      return checked;
    width_ = heif_->width;
    height_ = heif_->height;
    // The decoded photo is all that is needed from here on.
    mapped_ = MappedFile();
    owned_ = {};
    return Ok();
  }
  if (!fallback)
    return Failure(kPhotoNotJpeg, {}, kErrInvalidPicture);
  std::optional<Result<FallbackPhoto>> decoded;
  try {
    // The fallback takes a vector: a mapped file is copied for it (other
    // formats only).
    if (mapped_.data() != nullptr)
      decoded = fallback(std::vector<uint8_t>(data.begin(), data.end()), needed_width);
    else
      decoded = fallback(owned_, needed_width);
  } catch (const std::bad_alloc&) {
    return Failure(kPhotoTooLargeToDecode, {}, kErrOutOfMemory);
  }
  if (mapped_.Shrunk())
    return Failure(kPhotoCutShort, {}, kErrInvalidPicture);
  if (!*decoded) {
    const Failure& failure = decoded->failure();
    return failure.code() != 0 ? failure : failure.WithCode(kErrInvalidPicture);
  }
  FallbackPhoto& photo = **decoded;
  if (Result<void> checked = CheckSize(photo.width, photo.height); !checked)
    return checked;
  const Raster& pixels = photo.pixels;
  if (pixels.width < 1 || pixels.height < 1 || pixels.width > photo.width ||
      pixels.height > photo.height ||
      pixels.pixels.size() !=
          static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height)) {
    return Failure(kPhotoNotImage, {}, kErrInvalidPicture);
  }
  width_ = photo.width;
  height_ = photo.height;
  decoded_ = std::move(photo.pixels);
  // The decoded photo is all that is needed from here on.
  mapped_ = MappedFile();
  owned_ = {};
  return Ok();
}

Result<Raster> PhotoFile::BuildWorkingImage(const WorkingImagePlan& plan, size_t max_raster_bytes,
                                            std::optional<int>* first_missing_photo_row) const {
  if (plan.W2 <= 0 || plan.H2 <= 0 || plan.draw_width <= 0 || plan.draw_height <= 0)
    return Failure(kWorkingImageNone, {}, kErrDivisionByZero);
  if (Result<void> bounded = CheckWorkingRasterSize(plan, max_raster_bytes); !bounded)
    return bounded.failure();
  try {
    const double top = DrawTopRow(plan);
    if (heif_) {
      // RGB rows turned into 0xFFRRGGBB words one at a time, straight into
      // the resampler.
      Raster out = MakeUnsetRaster(plan.W2, plan.H2);
      AreaResampler resampler(width_, height_, width_ / static_cast<double>(plan.draw_width),
                              height_ / static_cast<double>(plan.draw_height), top, &out);
      for (int y = resampler.FirstSourceRow(); y < resampler.EndSourceRow(); ++y) {
        const uint8_t* rgb = heif_->Row(y);
        uint32_t* row = resampler.RowBuffer();
        for (int x = 0; x < width_; ++x, rgb += 3) {
          row[x] = 0xFF000000u | (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
        }
        resampler.PushRow(row);
      }
      resampler.Finish();
      return out;
    }
    if (!is_jpeg_) {
      // The decoded pixels cover the whole photo, perhaps scaled down.
      return ResampleAreaScaled(decoded_, plan.W2, plan.H2,
                                decoded_.width / static_cast<double>(plan.draw_width),
                                decoded_.height / static_cast<double>(plan.draw_height), top);
    }
    // The resampler writes every pixel.
    Raster out = MakeUnsetRaster(plan.W2, plan.H2);
    // Sizes upright; the decoder works on the stored photo, the resampler
    // turns it (see AreaResampler).
    const JpegSize full{width_, height_};
    const int m = ChooseDctScale(full, plan.draw_width, plan.draw_height);
    const JpegSize scaled = ScaledJpegSize(full, m);
    // Source pixels per working pixel, from the exact scale M/8 (the last
    // decoded column and row may be partial).
    const double fx = width_ * (m / 8.0) / plan.draw_width;
    const double fy = height_ * (m / 8.0) / plan.draw_height;
    AreaResampler resampler(scaled.width, scaled.height, fx, fy, top, &out, orientation_);
    std::optional<int> missing;
    if (Result<void> decoded = DecodeJpegInto(bytes(), m, &resampler, &missing); !decoded)
      return decoded.failure();
    resampler.Finish();
    // Stored rows are upright rows for orientations 1 and 2 only.
    if (missing && orientation_ > 2)
      missing = 0;
    if (first_missing_photo_row != nullptr)
      *first_missing_photo_row = missing;
    if (mapped_.Shrunk())
      return Failure(kPhotoCutShort, {}, kErrInvalidPicture);
    return out;
  } catch (const std::bad_alloc&) {
    // The raster allocates with operator new's contract; the failure stops here.
    return Failure(kWorkingRasterNoMemory, {}, kErrOutOfMemory);
  }
}

}  // namespace sarn
