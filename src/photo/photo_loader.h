#pragma once

// Loading a photo into a working image and an overview, with the recovery
// that lowers the working-width limit and retries. The window and `sarn
// measure` both load through LoadPhotoWithRecovery.
//
// JPEG files are decoded with libjpeg-turbo row by row, at the smallest DCT
// scale (1/8, 2/8, 4/8 or full) that still covers the working image and only
// for the rows it needs, into an area-average resampler, so the full-size
// photo is never held; a JPEG whose EXIF Orientation says it is stored turned
// or mirrored is made upright in the same pass (see AreaResampler). HEIC/HEIF
// files are decoded upright by libheif (heif_decoder.h); other formats go
// through the fallback decoder the caller gives in LoadCallbacks.
//
// Failures:
//  - the file itself yields no usable image (53 missing, 70 no permission,
//    481 no image, 6 a side above 32767): not curable; no retry, the
//    settings are left (or put back) as they were, the program goes on, and
//    the window shows "エラーコード=" + code.
//    The same for a photo whose overview would exceed the raster bound (7,
//    a photo far taller than wide) or that is too large to decode within
//    the decoder's bound (7).
//  - a failure a smaller working image may cure (7 raster too large or out
//    of memory, 11 empty working image or overview, 380 negative size, 6 a
//    working size beyond 16 bits): the recovery below.
//
// Recovery after a curable failure:
//   Check5 on:  Text5 <- floor(parse(Text5) - 500); parse < 1000 -> end the
//               program; else settings_changed, retry.
//   Check5 off: ask_retry(); yes -> Check5 on, settings_changed, retry with
//               the same limit; no -> end the program.
// From the default limit the attempts are 5000, 4500, ..., 1000, then the end.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "photo/load_plan.h"
#include "photo/photo_file.h"
#include "photo/raster.h"

namespace sarn {

// Message texts of the loading, shown with the program's title and no icon.
inline constexpr std::string_view kRetryQuestionText =
    "画像読み込み時にエラーが発生しました。サイズの自動調節を有効にして再チャレンジしますか?";
inline constexpr std::string_view kEndAfterAdjustText =
    "画面サイズを修正してもエラーが発生するため終了します。エラーコード=";
inline constexpr std::string_view kErrorCodeText = "エラーコード=";

struct LoadSettings {
  std::string limit_text = "5000";  // Text5
  bool cut = true;                  // Check4
  bool auto_adjust = true;          // Check5
  bool operator==(const LoadSettings&) const = default;
};

struct LoadedPhoto {
  WorkingImagePlan plan;
  Raster working;  // W2 x H2
  OverviewPlan overview_plan;
  // The working image at overview size in window pixels,
  // OverviewPixelWidth x OverviewPixelHeight (see load_plan.h); empty when
  // LoadCallbacks::build_overview is false.
  Raster overview;
  // The photo's size upright (see PhotoFile::width): photo coordinates are
  // those of the photo as a viewer shows it.
  int photo_width = 0, photo_height = 0;
  // The EXIF Orientation applied to a JPEG (1..8); 1 for other formats.
  int orientation = 1;
  double limit = 0;  // the limit that succeeded

  // A photo whose data ends early or is corrupt still loads, and says so.
  // The first photo row (of the photo's own rows, from the top) not wholly
  // decoded from real data; nullopt for a whole photo.
  std::optional<int> first_missing_photo_row;
  // The first working-image row whose photo rows were not all decoded: rows
  // from here down are not the photo. H2 when the missing photo rows all lie
  // below the working image (cut off); nullopt for a whole photo.
  std::optional<int> first_missing_row;
  // kIncompletePhotoText with N = first_missing_photo_row (the count of whole
  // rows from the top); empty for a whole photo.
  std::string incomplete_message;
};

// "the photo is incomplete: rows below N are missing", N in photo rows.
std::string IncompletePhotoText(int first_missing_photo_row);
Failure IncompletePhotoFailure(int first_missing_photo_row);

// True when working-image row `working_row` is not the photo (it lies at or
// below first_missing_row). A station whose scan column reaches down to such
// a row (ScanTop + 201) must not give a number.
bool ReachesMissingRows(const LoadedPhoto& photo, int working_row);

// The first of the stations whose columns are read from `tops[i]` down
// `rows` rows (a scan: ScanTop and kSamples) that reaches the missing rows;
// none for a whole photo or when no station does.
std::optional<size_t> FirstStationInMissingRows(const LoadedPhoto& photo,
                                                std::span<const int32_t> tops, int rows);

// Hooks through which the window takes part in the recovery.
struct LoadCallbacks {
  // Automatic adjustment is off and an attempt failed: ask kRetryQuestionText
  // (Yes / No). Headless runs, and an empty function, answer no.
  std::function<bool()> ask_retry;
  // Text5 or Check5 were changed by the recovery (repaint at once). Also
  // called with the settings from before the load when an uncurable failure
  // follows changes made by earlier attempts.
  std::function<void(const LoadSettings&)> settings_changed;
  // Decoder for formats other than JPEG; empty: only JPEG files load.
  FallbackDecoder fallback_decoder;
  // False: the overview is planned (ImgScale, with its failures) but its
  // raster is not made; LoadedPhoto::overview stays empty. For headless
  // runs that only scan the working image.
  bool build_overview = true;
};

// How a load ended, for the face that shows it: the photo loader's outcome
// and the session's both carry it.
struct LoadReport {
  LoadSettings settings;  // as the recovery left them (put back after an uncurable failure)
  // Why the load failed (its code() is shown after "エラーコード="); none on
  // success. A load from a path names the path once.
  std::optional<Failure> failure;
  // The recovery gave up (limit below 1000, or the user declined): the
  // program shows `message` and ends. False for an uncurable failure, which
  // is reported with `message` and leaves everything as it was.
  bool end_program = false;
  // On failure, the text of the OK message box: kEndAfterAdjustText or
  // kErrorCodeText followed by the code in decimal.
  std::string message;
  int attempts = 0;
  bool loaded() const { return !failure; }
};

struct LoadOutcome : LoadReport {
  std::optional<LoadedPhoto> photo;
};

// The largest working raster, and the largest overview. With both, the
// decoder's buffers and the file, any photo of up to 32767 pixels a side
// loads within about 400 MB or fails: a wide photo at a high limit by a
// failure the recovery cures with a smaller limit, a narrow tall one by one
// it cannot (7).
inline constexpr size_t kDefaultMaxRasterBytes = size_t{256} << 20;

// inner_width: the window's inner width in pixels (the overview spans it).
LoadOutcome LoadPhotoWithRecovery(const std::string& path, LoadSettings settings, int inner_width,
                                  const LoadCallbacks& callbacks,
                                  size_t max_raster_bytes = kDefaultMaxRasterBytes);

// The same for a photo already in memory (the fuzz entry).
LoadOutcome LoadPhotoBytesWithRecovery(std::vector<uint8_t> bytes, LoadSettings settings,
                                       int inner_width, const LoadCallbacks& callbacks,
                                       size_t max_raster_bytes = kDefaultMaxRasterBytes);

}  // namespace sarn
