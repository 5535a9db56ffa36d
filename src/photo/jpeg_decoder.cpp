#include "photo/jpeg_decoder.h"

// clang-format off
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

namespace sarn {

namespace {

static_assert(std::endian::native == std::endian::little,
              "JCS_EXT_BGRX gives 0x??RRGGBB words on little-endian machines only");

// Memory libjpeg may take for one photo: a progressive JPEG keeps all its
// DCT coefficients (about 3 bytes a pixel in 4:2:0, 72 MB for 24 MP, 144 MB
// for 48 MP); a larger one fails (JERR_NO_BACKING_STORE) instead of taking
// gigabytes. Baseline JPEGs need a few rows only.
constexpr long kMostDecoderBytes = 200L << 20;

// Scans of a progressive JPEG: each one passes over every coefficient of the
// image, so a crafted file of many tiny scans would take hours. Encoders
// write about ten.
constexpr int kMostScans = 500;

// Our own error code (libjpeg's are positive).
constexpr int kTooManyScans = -1;

// libjpeg reports fatal errors through error_exit, which must not return; it
// jumps back to the setjmp in the decoding function. Only libjpeg's own C
// frames lie between, so no destructor is skipped.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  int code;
  char message[JMSG_LENGTH_MAX];
  // The first photo row not wholly decoded from real data: the start of the
  // iMCU row (8 or 16 photo rows) that was being read when the data ended or
  // a corrupt-data warning came; INT_MAX while none came.
  int first_missing_row;
  bool data_ended;  // JWRN_JPEG_EOF: the file ended before its end marker
};

void OnError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  err->code = cinfo->err->msg_code;
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Decoding and resampling in two threads: libjpeg decodes rows into batches
// on the calling thread while a second thread pushes the finished batches
// through the resampler in order, so on two cores a large photo's first load
// takes about the decoding time alone. The resampler sees the same rows in
// the same order as when fed directly: the working image is the same to the
// bit. Batches of kRows rows, kBatches of them in turn; the resampler reads
// the rows where they were decoded (no copy) and may still read the last
// ones of a batch while it works on the next, so a batch goes back to the
// decoder only when the one after it is resampled too.
class RowPipeline {
 public:
  static constexpr int kRows = 32;  // even: libjpeg's rows come in pairs
  static constexpr int kBatches = 4;

  // Worth a thread from about a million stored pixels on (a 24 MP photo:
  // 6000 x 2000 rows in the band); a smaller photo, or a process allowed
  // one processor only, is fed directly.
  static bool Worthwhile(const AreaResampler& resampler) {
    const long long pixels = static_cast<long long>(resampler.StoredWidth()) *
                             (resampler.EndSourceRow() - resampler.FirstSourceRow());
    return pixels >= (1LL << 20) && TwoProcessorsAllowed();
  }

  // Starts the resampling thread; when its rows or the thread cannot be
  // had, the caller feeds the resampler itself (started() stays false).
  void Start(AreaResampler* resampler) {
    resampler_ = resampler;
    width_ = static_cast<size_t>(resampler->StoredWidth());
    in_place_ = resampler->RowsHeld() <= kRows;
    try {
      // Every row is written by the decoder before it is read.
      storage_ = PixelBuffer(width_ * kRows * kBatches);
      for (int b = 0; b < kBatches; ++b)
        free_.push_back(b);
      worker_ = std::thread([this] { Work(); });
    } catch (const std::bad_alloc&) {
      storage_ = PixelBuffer();
    } catch (const std::system_error&) {
      storage_ = PixelBuffer();
    }
  }
  bool started() const { return worker_.joinable(); }

  // Where the next row, and the one after it, are decoded.
  uint32_t* NextRow(int ahead) {
    if (current_ < 0) {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return !free_.empty(); });
      current_ = free_.front();
      free_.pop_front();
      rows_ = 0;
    }
    return storage_.data() + (static_cast<size_t>(current_) * kRows + rows_ + ahead) * width_;
  }
  // `count` rows from NextRow are decoded: hand them on with their batch.
  void Commit(int count) {
    rows_ += count;
    if (rows_ >= kRows)
      HandOver();
  }
  // Hands over the rows committed and waits until all are resampled. Also
  // on the error path, after libjpeg jumped out: nothing is left running.
  void Close() {
    if (!worker_.joinable())
      return;
    if (current_ >= 0 && rows_ > 0)
      HandOver();
    {
      const std::lock_guard lock(mutex_);
      closing_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }
  ~RowPipeline() { Close(); }
  // What the resampler threw (std::bad_alloc), for the decoding thread.
  void RethrowFailure() const {
    if (failure_)
      std::rethrow_exception(failure_);
  }

 private:
  struct Batch {
    int index;
    int rows;
  };

  void HandOver() {
    {
      const std::lock_guard lock(mutex_);
      ready_.push_back({current_, rows_});
    }
    changed_.notify_all();
    current_ = -1;
  }
  void Work() {
    for (;;) {
      Batch batch{};
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !ready_.empty() || closing_; });
        if (ready_.empty())
          return;
        batch = ready_.front();
        ready_.pop_front();
      }
      // After a failure the rest is drained unused; Close's caller rethrows.
      try {
        const uint32_t* rows = storage_.data() + static_cast<size_t>(batch.index) * kRows * width_;
        for (int r = 0; r < batch.rows && !failure_; ++r)
          resampler_->PushRow(rows + r * width_, in_place_);
      } catch (...) {
        failure_ = std::current_exception();
      }
      {
        const std::lock_guard lock(mutex_);
        if (held_ >= 0)
          free_.push_back(held_);
        held_ = batch.index;
      }
      changed_.notify_all();
    }
  }

  AreaResampler* resampler_ = nullptr;
  size_t width_ = 0;
  PixelBuffer storage_;
  bool in_place_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<int> free_;
  std::deque<Batch> ready_;
  bool closing_ = false;
  std::exception_ptr failure_;  // written by the worker, read after join
  int current_ = -1;            // the batch being decoded into, or -1
  int held_ = -1;               // the last batch resampled, still read
  int rows_ = 0;                // rows committed to it
  std::thread worker_;
};

int RowsPerImcuRow(const jpeg_decompress_struct& cinfo) {
  return cinfo.max_v_samp_factor * DCTSIZE;
}

// The first photo row of the iMCU row being read (input_iMCU_row counts the
// rows completed in the current scan).
int RowBeingRead(const jpeg_decompress_struct& cinfo) {
  return static_cast<int>(cinfo.input_iMCU_row) * RowsPerImcuRow(cinfo);
}

void MarkMissingFrom(ErrorManager* err, int photo_row) {
  err->first_missing_row = std::min(err->first_missing_row, std::max(photo_row, 0));
}

// Warnings are counted as libjpeg does, and nothing is printed. Those that
// mean the entropy-coded data is cut off or corrupt mark the rows from the
// iMCU row being read as missing, unless that scan was already complete
// (a complete baseline photo whose end marker is missing, or stray bytes
// after the last row).
void OnMessage(j_common_ptr cinfo, int msg_level) {
  if (msg_level >= 0)
    return;  // trace messages
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  ++err->pub.num_warnings;
  if (!cinfo->is_decompressor)
    return;
  const auto* d = reinterpret_cast<const jpeg_decompress_struct*>(cinfo);
  switch (err->pub.msg_code) {
    case JWRN_JPEG_EOF:
      err->data_ended = true;
      [[fallthrough]];
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_EXTRANEOUS_DATA:
      // total_iMCU_rows is 0 until the frame header was read.
      if (d->input_iMCU_row < d->total_iMCU_rows)
        MarkMissingFrom(err, RowBeingRead(*d));
      break;
    default:
      break;  // header oddities (JFIF revision, ICC, Adobe transform)
  }
}

// Bounds the work of a progressive JPEG by its number of scans.
void OnProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor)
    return;
  const auto* d = reinterpret_cast<const jpeg_decompress_struct*>(cinfo);
  if (d->input_scan_number > kMostScans) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->code = kTooManyScans;
    std::snprintf(err->message, sizeof err->message, "more than %d progressive scans", kMostScans);
    std::longjmp(err->jump, 1);
  }
}

void InitError(ErrorManager* err, jpeg_decompress_struct* cinfo) {
  cinfo->err = jpeg_std_error(&err->pub);
  err->pub.error_exit = OnError;
  err->pub.emit_message = OnMessage;
  err->code = 0;
  err->message[0] = '\0';
  err->first_missing_row = INT_MAX;
  err->data_ended = false;
}

// After the whole input of a progressive JPEG was read: when the file ended
// early, scans that never came leave coefficients unrefined (coef_bits not 0)
// in every row, so the whole photo is missing detail.
void CheckProgression(const jpeg_decompress_struct& cinfo, ErrorManager* err) {
  if (!cinfo.progressive_mode || !err->data_ended || cinfo.coef_bits == nullptr)
    return;
  for (int c = 0; c < cinfo.num_components; ++c) {
    for (int k = 0; k < DCTSIZE2; ++k) {
      if (cinfo.coef_bits[c][k] != 0) {
        MarkMissingFrom(err, 0);
        return;
      }
    }
  }
}

// Adobe CMYK is stored inverted: R = C K / 255 with C, K as written.
void CmykToBgrx(uint8_t* row, int width) {
  for (int x = 0; x < width; ++x) {
    uint8_t* p = row + 4 * x;
    const unsigned c = p[0], m = p[1], y = p[2], k = p[3];
    p[0] = static_cast<uint8_t>(y * k / 255);
    p[1] = static_cast<uint8_t>(m * k / 255);
    p[2] = static_cast<uint8_t>(c * k / 255);
    p[3] = 0xFF;
  }
}

// Out of memory is curable (kJpegOutOfMemory); the rest is not.
Failure FailureOf(const ErrorManager& err) {
  if (err.code == JERR_OUT_OF_MEMORY)
    return Failure(MessageId::kJpegOutOfMemory, {std::string(err.message)}, kErrOutOfMemory);
  // The coefficients of a progressive JPEG exceed kMostDecoderBytes: they are
  // kept at full size whatever the working image, so no limit cures it.
  if (err.code == JERR_NO_BACKING_STORE) {
    return Failure(MessageId::kJpegProgressiveTooLarge, {std::to_string(kMostDecoderBytes >> 20)},
                   kErrOutOfMemory);
  }
  return Failure(MessageId::kJpegDecoder, {std::string(err.message)}, kErrInvalidPicture);
}

}  // namespace

bool LooksLikeJpeg(std::span<const uint8_t> bytes) {
  return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

Result<JpegSize> ReadJpegSize(std::span<const uint8_t> bytes) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  InitError(&err, &cinfo);
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return FailureOf(err);
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  const JpegSize size{static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height)};
  jpeg_destroy_decompress(&cinfo);
  return size;
}

JpegSize ScaledJpegSize(JpegSize full, int scale_eighths) {
  return {(full.width * scale_eighths + 7) / 8, (full.height * scale_eighths + 7) / 8};
}

int ChooseDctScale(JpegSize full, double draw_width, double draw_height) {
  for (int m : {1, 2, 4}) {
    if (full.width * m / 8.0 >= draw_width && full.height * m / 8.0 >= draw_height)
      return m;
  }
  return 8;
}

Result<void> DecodeJpegInto(std::span<const uint8_t> bytes, int scale_eighths,
                            AreaResampler* resampler, std::optional<int>* first_missing_photo_row) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  InitError(&err, &cinfo);
  jpeg_progress_mgr progress{};
  progress.progress_monitor = OnProgress;
  // 0: before the header, 1: header read, 2: rows being decoded.
  volatile int stage = 0;
  // Declared before the setjmp: a jump back from libjpeg leaves it in scope,
  // and both ways out close it.
  RowPipeline pipeline;
  const auto report_missing = [&] {
    if (first_missing_photo_row != nullptr && err.first_missing_row != INT_MAX)
      *first_missing_photo_row =
          std::min(err.first_missing_row, static_cast<int>(cinfo.image_height));
  };
  if (setjmp(err.jump)) {
    pipeline.Close();
    if (stage == 2 && err.code != JERR_OUT_OF_MEMORY) {
      // Keep what was decoded; the caller finishes the raster. The rows from
      // the one being produced on are missing.
      MarkMissingFrom(&err, static_cast<int>(cinfo.output_scanline) * 8 / cinfo.scale_num /
                                RowsPerImcuRow(cinfo) * RowsPerImcuRow(cinfo));
      MarkMissingFrom(&err, RowBeingRead(cinfo));
      report_missing();
      jpeg_destroy_decompress(&cinfo);
      pipeline.RethrowFailure();
      return Ok();
    }
    jpeg_destroy_decompress(&cinfo);
    pipeline.RethrowFailure();
    return FailureOf(err);
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kMostDecoderBytes;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  stage = 1;
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
  // Chroma (half resolution in 4:2:0) is repeated rather than interpolated:
  // libjpeg-turbo then upsamples and converts colour in one SIMD pass. The
  // brightness the scan reads comes from the full-resolution luma, and the
  // area averaging that follows smooths the colour anyway.
  cinfo.do_fancy_upsampling = FALSE;
  cinfo.scale_num = static_cast<unsigned>(scale_eighths);
  cinfo.scale_denom = 8;
  jpeg_start_decompress(&cinfo);
  CheckProgression(cinfo, &err);
  const JpegSize expected = ScaledJpegSize(
      {static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height)}, scale_eighths);
  if (static_cast<int>(cinfo.output_width) != expected.width ||
      static_cast<int>(cinfo.output_height) != expected.height || cinfo.output_components != 4 ||
      static_cast<int>(cinfo.output_width) != resampler->StoredWidth()) {
    jpeg_destroy_decompress(&cinfo);
    return Failure(MessageId::kJpegUnexpectedSize, {}, kErrInvalidPicture);
  }
  // Only the columns the resampler reads are decoded (a photo stored turned
  // a quarter and cut: the cut rows are stored columns). libjpeg widens the
  // range to whole iMCU columns; the rows are written at their place in the
  // resampler's row.
  JDIMENSION column_offset = 0;
  const int first_column = resampler->FirstSourceColumn();
  const int end_column = resampler->EndSourceColumn();
  if (end_column > first_column &&
      (first_column > 0 || end_column < static_cast<int>(cinfo.output_width))) {
    column_offset = static_cast<JDIMENSION>(first_column);
    auto width = static_cast<JDIMENSION>(end_column - first_column);
    jpeg_crop_scanline(&cinfo, &column_offset, &width);
  }
  stage = 2;
  const auto first = static_cast<JDIMENSION>(resampler->FirstSourceRow());
  const auto end = static_cast<JDIMENSION>(resampler->EndSourceRow());
  // The photo row where output row r (at scale M/8) begins.
  const auto photo_row_of = [&](JDIMENSION r) { return static_cast<int>(r) * 8 / scale_eighths; };
  if (RowPipeline::Worthwhile(*resampler))
    pipeline.Start(resampler);
  if (first > 0 && jpeg_skip_scanlines(&cinfo, first) != first) {
    MarkMissingFrom(&err, photo_row_of(cinfo.output_scanline));
    report_missing();
    jpeg_destroy_decompress(&cinfo);
    return Ok();
  }
  while (cinfo.output_scanline < end && cinfo.output_scanline < cinfo.output_height) {
    // Decoded straight into the resampler's rows (or the working image's),
    // two at a time: with 4:2:0 chroma libjpeg makes two rows in one go, and
    // asked for one it makes both and copies the second out later.
    const auto want = static_cast<int>(
        std::min<JDIMENSION>(AreaResampler::kRowsAhead, end - cinfo.output_scanline));
    std::array<uint32_t*, AreaResampler::kRowsAhead> targets{};
    std::array<JSAMPROW, AreaResampler::kRowsAhead> rows{};
    for (int k = 0; k < want; ++k) {
      targets[k] = pipeline.started() ? pipeline.NextRow(k) : resampler->RowBuffer(k);
      rows[k] = reinterpret_cast<JSAMPROW>(targets[k] + column_offset);
    }
    const int got =
        static_cast<int>(jpeg_read_scanlines(&cinfo, rows.data(), static_cast<JDIMENSION>(want)));
    if (got == 0) {
      MarkMissingFrom(&err, photo_row_of(cinfo.output_scanline));
      break;
    }
    for (int k = 0; k < got; ++k) {
      if (cmyk)
        CmykToBgrx(rows[k], static_cast<int>(cinfo.output_width));
      if (!pipeline.started())
        resampler->PushRow(targets[k]);
    }
    if (pipeline.started())
      pipeline.Commit(got);
  }
  pipeline.Close();
  // The rows below are not needed; abandon the image without reading them.
  report_missing();
  jpeg_destroy_decompress(&cinfo);
  pipeline.RethrowFailure();
  return Ok();
}

}  // namespace sarn
