#include "photo/area_resampler.h"

#include <sched.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// AVX2 paths for two and three taps, compiled for AVX2 whatever the baseline
// and taken when the processor has it (GCC and Clang on x86-64).
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define SARN_AVX2_PATHS 1
#endif

namespace sarn {

static_assert(std::endian::native == std::endian::little,
              "the 16-bit lanes and the output bytes follow the little-endian pixel layout");

namespace {

struct Footprint {
  int first = 0;
  int count = 0;
};

// The source cells [first, first + count) overlapping [a, b) clipped to
// [0, size), with an area outside the source taken from the nearest cell.
Footprint Cover(double a, double b, int size) {
  const double lo = std::max(a, 0.0);
  const double hi = std::min(b, static_cast<double>(size));
  if (hi <= lo) {
    const int nearest = b <= 0 ? 0 : size - 1;
    return {nearest, 1};
  }
  // Overlaps below a millionth of a pixel are rounding noise of x * f (4.8
  // computed as 4.8000000001), not coverage; leaving them out keeps the tap
  // count at its true value (2 for f = 1.2, not 3).
  constexpr double kNoise = 1e-6;
  const int first = static_cast<int>(std::floor(lo + kNoise));
  const int last = std::min(size - 1, static_cast<int>(std::ceil(hi - kNoise)) - 1);
  return {std::min(first, size - 1), std::max(1, last - first + 1)};
}

constexpr int kOne = 256;  // weight 1 in fixed point

bool g_baseline_only = false;  // see BaselineOnlyForTest

// The blends of two and three rows of bytes below are built twice, for AVX2
// (32 bytes a step) and for the baseline x86-64 (SSE2, 16), and the dynamic
// loader picks the one the processor runs; the integer sums are the same, so
// are the bytes.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define SARN_WITH_AVX2 __attribute__((target_clones("avx2", "default")))
#else
#define SARN_WITH_AVX2
#endif

// out = (b0 w0 + b1 w1 + 128) / 256 byte by byte (w0 + w1 = 256).
SARN_WITH_AVX2 void BlendTwoRows(const uint8_t* b0, const uint8_t* b1, uint16_t w0, uint16_t w1,
                                 size_t bytes, uint8_t* out) {
  for (size_t j = 0; j < bytes; ++j)
    out[j] = static_cast<uint8_t>(static_cast<uint16_t>(b0[j] * w0 + b1[j] * w1 + 128u) >> 8);
}

#if defined(SARN_AVX2_PATHS)
// BlendTwoRows with AVX2, 32 bytes a step, by the identity
// (b0 w0 + b1 w1 + 128) >> 8 = b0 + (((b1 - b0) w1 + 128) >> 8) for
// w0 = 256 - w1 (256 b0 is a multiple of 256, so the floor splits off), the
// second term as _mm256_mulhrs_epi16((b1 - b0) << 7, w1) =
// ((b1 - b0) 128 w1 + 16384) >> 15: the same floor, exactly
// ((b1 - b0) << 7 lies within +-32640, w1 within 0..256).
__attribute__((target("avx2"))) void BlendTwoRowsAvx2(const uint8_t* b0, const uint8_t* b1,
                                                      uint16_t w0, uint16_t w1, size_t bytes,
                                                      uint8_t* out) {
  const __m256i weight = _mm256_set1_epi16(static_cast<short>(w1));
  const __m256i zero = _mm256_setzero_si256();
  size_t j = 0;
  for (; j + 32 <= bytes; j += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b0 + j));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b1 + j));
    // Bytes widened within each 128-bit half; packing narrows them back in
    // the same order.
    const __m256i a_lo = _mm256_unpacklo_epi8(a, zero), a_hi = _mm256_unpackhi_epi8(a, zero);
    const __m256i d_lo =
        _mm256_slli_epi16(_mm256_sub_epi16(_mm256_unpacklo_epi8(b, zero), a_lo), 7);
    const __m256i d_hi =
        _mm256_slli_epi16(_mm256_sub_epi16(_mm256_unpackhi_epi8(b, zero), a_hi), 7);
    _mm256_storeu_si256(
        reinterpret_cast<__m256i*>(out + j),
        _mm256_packus_epi16(_mm256_add_epi16(a_lo, _mm256_mulhrs_epi16(d_lo, weight)),
                            _mm256_add_epi16(a_hi, _mm256_mulhrs_epi16(d_hi, weight))));
  }
  for (; j < bytes; ++j)
    out[j] = static_cast<uint8_t>(static_cast<uint16_t>(b0[j] * w0 + b1[j] * w1 + 128u) >> 8);
}
#endif

// The same for three rows (w0 + w1 + w2 = 256).
SARN_WITH_AVX2 void BlendThreeRows(const uint8_t* b0, const uint8_t* b1, const uint8_t* b2,
                                   uint16_t w0, uint16_t w1, uint16_t w2, size_t bytes,
                                   uint8_t* out) {
  for (size_t j = 0; j < bytes; ++j) {
    out[j] = static_cast<uint8_t>(
        static_cast<uint16_t>(b0[j] * w0 + b1[j] * w1 + b2[j] * w2 + 128u) >> 8);
  }
}

// The same for four rows (w0 + w1 + w2 + w3 = 256): an overview's rows,
// about 2.6 working rows each, straddle three or four.
SARN_WITH_AVX2 void BlendFourRows(const uint8_t* b0, const uint8_t* b1, const uint8_t* b2,
                                  const uint8_t* b3, const uint16_t* w, size_t bytes,
                                  uint8_t* out) {
  const uint16_t w0 = w[0], w1 = w[1], w2 = w[2], w3 = w[3];
  for (size_t j = 0; j < bytes; ++j) {
    out[j] = static_cast<uint8_t>(
        static_cast<uint16_t>(b0[j] * w0 + b1[j] * w1 + b2[j] * w2 + b3[j] * w3 + 128u) >> 8);
  }
}

// Weights of the cells of `f` for the area [a, b), in 1/256 steps summing to
// exactly 256 (the rounding remainder goes to the largest weight).
void Weights(double a, double b, int size, Footprint f, uint16_t* out) {
  const double lo = std::max(a, 0.0);
  const double hi = std::min(b, static_cast<double>(size));
  if (hi <= lo) {
    out[0] = kOne;
    return;
  }
  const double total = hi - lo;
  int sum = 0, largest = 0;
  for (int i = 0; i < f.count; ++i) {
    const double c = f.first + i;
    const double w = std::max(0.0, std::min(hi, c + 1) - std::max(lo, c)) / total;
    out[i] = static_cast<uint16_t>(std::lround(w * kOne));
    sum += out[i];
    if (out[i] > out[largest])
      largest = i;
  }
  out[largest] = static_cast<uint16_t>(out[largest] + (kOne - sum));
}

}  // namespace

AreaResampler::AreaResampler(int source_width, int source_height, double fx, double fy, double top,
                             Raster* dest, int orientation)
    : source_width_(source_width),
      source_height_(source_height),
      fx_(fx),
      fy_(fy),
      top_(top),
      dest_(dest),
      orientation_(orientation >= 1 && orientation <= 8 ? orientation : 1) {
  transposed_ = orientation_ >= 5;
  // Stored rows run bottom to top (3, 4) or right to left (6, 7) of the
  // upright source; stored columns right to left (2, 3) or bottom to top (7, 8).
  rows_reversed_ = orientation_ == 3 || orientation_ == 4 || orientation_ == 6 || orientation_ == 7;
  const bool columns_reversed =
      orientation_ == 2 || orientation_ == 3 || orientation_ == 7 || orientation_ == 8;
  stored_width_ = transposed_ ? source_height_ : source_width_;
  stored_height_ = transposed_ ? source_width_ : source_height_;
  const int dw = dest_->width;
  const int dh = dest_->height;
  if (dw <= 0 || dh <= 0 || source_width_ <= 0 || source_height_ <= 0) {
    first_row_ = end_row_ = 0;
    next_dest_row_ = std::max(dh, 0);
    steps_ = next_step_ = 0;
    // Nothing to draw from: the destination (whose pixels may be unset) is
    // black, as a new raster is.
    if (dw > 0 && dh > 0)
      std::fill(dest_->pixels.begin(), dest_->pixels.end(), 0xFF000000u);
    return;
  }
  identity_ = orientation_ == 1 && fx == 1.0 && fy == 1.0 && top == std::floor(top) &&
              source_width_ >= dw && top <= 0 && dh - top <= source_height_;
  if (identity_) {
    first_row_ = static_cast<int>(-top);
    end_row_ = first_row_ + dh;
    end_column_ = stored_width_;
    next_source_row_ = first_row_;
    return;
  }

  // The pass across a stored row: over upright columns into destination
  // columns, or (transposed) over upright rows into destination rows. Every
  // output gets the same number of taps; a footprint near the far edge is
  // moved back and padded with zero weights in front.
  steps_ = transposed_ ? dw : dh;
  column_count_ = transposed_ ? dh : dw;
  const int across = stored_width_;
  const auto area = [&](int i, double* a, double* b) {
    if (transposed_) {
      *a = (i - top) * fy;
      *b = (i + 1 - top) * fy;
    } else {
      *a = i * fx;
      *b = (i + 1) * fx;
    }
  };
  std::vector<Footprint> covers(column_count_);
  for (int x = 0; x < column_count_; ++x) {
    double a = 0, b = 0;
    area(x, &a, &b);
    covers[x] = Cover(a, b, across);
    taps_ = std::max(taps_, covers[x].count);
  }
  taps_ = std::min(taps_, across);
  column_first_.resize(column_count_);
  column_weights_.assign(static_cast<size_t>(column_count_) * taps_, 0);
  std::vector<uint16_t> w(taps_);
  for (int x = 0; x < column_count_; ++x) {
    const Footprint f = covers[x];
    double a = 0, b = 0;
    area(x, &a, &b);
    Weights(a, b, across, f, w.data());
    const int first = std::min(f.first, across - taps_);
    uint16_t* cw = &column_weights_[static_cast<size_t>(x) * taps_];
    for (int i = 0; i < f.count; ++i)
      cw[(f.first - first) + i] = w[i];
    column_first_[x] = first;
    if (columns_reversed) {
      // The same taps read from the other end of the stored row.
      column_first_[x] = across - first - taps_;
      std::reverse(cw, cw + taps_);
    }
  }
  single_tap_ = taps_ == 1;
#if defined(SARN_AVX2_PATHS)
  avx2_ = __builtin_cpu_supports("avx2") && !g_baseline_only;
#endif
  if (column_count_ > 0) {
    first_column_ = *std::min_element(column_first_.begin(), column_first_.end());
    end_column_ = *std::max_element(column_first_.begin(), column_first_.end()) + taps_;
  }

#if defined(__SSE2__)
  if (taps_ == 3 || taps_ == 4 || (taps_ == 2 && avx2_)) {
    // Each column's weights spread over the 16-bit lanes of SSE words, one
    // per colour byte: (w0 x 4, w1 x 4), and at three and four taps (w2 x 4,
    // w3 x 4), w3 0 at three.
    const size_t per_column = taps_ == 2 ? 8 : 16;
    lane_weights_.assign(static_cast<size_t>(column_count_) * per_column, 0);
    for (int x = 0; x < column_count_; ++x) {
      uint16_t* lanes = &lane_weights_[static_cast<size_t>(x) * per_column];
      for (int t = 0; t < taps_; ++t)
        std::fill(lanes + 4 * t, lanes + 4 * t + 4,
                  column_weights_[static_cast<size_t>(x) * taps_ + t]);
    }
  }
#endif

#if defined(SARN_AVX2_PATHS)
  if (taps_ == 3 && avx2_) {
    // Most columns of a three-tap ratio cover two source pixels only (their
    // third weight, in front or behind, is 0; at 6000 -> 5000 rows with a
    // half-row top four in five): every column is made as two taps from
    // where its weights start, and the few with three weights again.
    pair_first_.resize(column_count_);
    pair_lanes_.assign(static_cast<size_t>(column_count_) * 8, 0);
    for (int x = 0; x < column_count_; ++x) {
      const uint16_t* cw = &column_weights_[static_cast<size_t>(x) * 3];
      const int skip = cw[0] == 0 ? 1 : 0;
      if (cw[0] != 0 && cw[2] != 0)
        three_tap_columns_.push_back(x);
      pair_first_[x] = column_first_[x] + skip;
      uint16_t* lanes = &pair_lanes_[static_cast<size_t>(x) * 8];
      std::fill(lanes, lanes + 4, cw[skip]);
      std::fill(lanes + 4, lanes + 8, cw[skip + 1]);
    }
  }
#endif

  int widest = 1;
  first_row_ = stored_height_;
  end_row_ = 0;
  for (int j = 0; j < steps_; ++j) {
    const Span s = StepSpan(j);
    widest = std::max(widest, s.count);
    first_row_ = std::min(first_row_, s.first);
    end_row_ = std::max(end_row_, s.first + s.count);
  }
  // A ring slot holds a stored row, or (transposed) what the pass across made
  // of one.
  const int slot_width = transposed_ ? column_count_ : stored_width_;
  // One slot more than a destination row reads, so that the row after the
  // next can be written (RowBuffer(1)) while the next one's destination rows
  // still read the slots before it.
  ring_capacity_ = widest + kRowsAhead - 1;
  ring_.resize(static_cast<size_t>(ring_capacity_) * slot_width);
  ring_rows_.assign(ring_capacity_, nullptr);
  row_sum_.resize(static_cast<size_t>(4) * slot_width);
  row_mean_.resize(slot_width);
  rows_.resize(widest);
  expanded_.resize(stored_width_);
  next_source_row_ = first_row_;
}

bool AreaResampler::MakeRowsOnly(int first, int end) {
  if (identity_ || transposed_ || rows_reversed_ || steps_ == 0 || next_step_ != 0 ||
      next_source_row_ != first_row_)
    return false;
  first = std::max(first, 0);
  end = std::min(end, steps_);
  if (first >= end)
    return false;
  first_step_ = next_step_ = first;
  steps_ = end;
  first_row_ = stored_height_;
  end_row_ = 0;
  for (int j = first; j < end; ++j) {
    const Span s = StepSpan(j);
    first_row_ = std::min(first_row_, s.first);
    end_row_ = std::max(end_row_, s.first + s.count);
  }
  if (end_row_ <= first_row_)
    first_row_ = end_row_ = 0;
  next_source_row_ = first_row_;
  return true;
}

bool TwoProcessorsAllowed() {
  cpu_set_t allowed;
  if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0)
    return CPU_COUNT(&allowed) > 1;
  return std::thread::hardware_concurrency() > 1;
}

void AreaResampler::BaselineOnlyForTest(bool on) {
  g_baseline_only = on;
}

AreaResampler::Span AreaResampler::RowSpan(int y) const {
  const Footprint f = Cover((y - top_) * fy_, (y + 1 - top_) * fy_, source_height_);
  return {f.first, f.count};
}

int AreaResampler::StepIndex(int j) const {
  return rows_reversed_ ? steps_ - 1 - j : j;
}

int AreaResampler::StoredRow(int upright) const {
  return rows_reversed_ ? stored_height_ - 1 - upright : upright;
}

AreaResampler::Span AreaResampler::StepSpan(int j) const {
  const int d = StepIndex(j);
  const Footprint f = transposed_ ? Cover(d * fx_, (d + 1) * fx_, source_width_)
                                  : Cover((d - top_) * fy_, (d + 1 - top_) * fy_, source_height_);
  if (!rows_reversed_)
    return {f.first, f.count};
  return {stored_height_ - f.first - f.count, f.count};
}

uint32_t* AreaResampler::RowBuffer(int ahead) {
  ahead = std::clamp(ahead, 0, kRowsAhead - 1);
  const int r = next_source_row_ + ahead;
  if (identity_) {
    const int y = r + static_cast<int>(top_);
    if (y >= 0 && y < dest_->height && source_width_ == dest_->width)
      return dest_->pixels.data() + static_cast<size_t>(y) * dest_->width;
  } else if (ring_capacity_ > 0 && !transposed_) {
    return &ring_[static_cast<size_t>(r % ring_capacity_) * stored_width_];
  }
  const size_t width = std::max(stored_width_, 1);
  scratch_.resize(width * kRowsAhead);
  return scratch_.data() + width * ahead;
}

void AreaResampler::PushRow(const uint32_t* row, bool row_stays) {
  const int r = next_source_row_++;
  const int dw = dest_->width;
  const int dh = dest_->height;
  if (identity_) {
    const int y = r + static_cast<int>(top_);
    if (y >= 0 && y < dh) {
      uint32_t* out = dest_->pixels.data() + static_cast<size_t>(y) * dw;
      for (int x = 0; x < dw; ++x)
        out[x] = row[x] | 0xFF000000u;
      next_dest_row_ = y + 1;
    }
    return;
  }
  if (r < first_row_ || r >= end_row_)
    return;
  const size_t slot = static_cast<size_t>(r % ring_capacity_);
  if (transposed_) {
    // The upright vertical pass comes first: this stored row (an upright
    // column) is averaged across into one value per destination row.
    uint32_t* reduced = &ring_[slot * column_count_];
    Across(row, reduced);
    ring_rows_[slot] = reduced;
  } else {
    uint32_t* own = &ring_[slot * stored_width_];
    if (row_stays || row == own) {
      ring_rows_[slot] = row;
    } else {
      std::copy(row, row + stored_width_, own);
      ring_rows_[slot] = own;
    }
  }
  while (next_step_ < steps_) {
    const Span s = StepSpan(next_step_);
    if (s.first + s.count - 1 > r)
      break;
    const int d = StepIndex(next_step_++);
    if (transposed_)
      MakeColumn(d);
    else
      MakeRow(d);
  }
  if (transposed_ && next_step_ == steps_)
    FlushBlock();
}

const uint32_t* AreaResampler::StoredRowsMean(double a, double b, int upright_count, size_t n,
                                              uint32_t* mean_out) {
  const Footprint f = Cover(a, b, upright_count);
  for (int i = 0; i < f.count; ++i)
    rows_[i] = ring_rows_[StoredRow(f.first + i) % ring_capacity_];
  if (f.count == 1)
    return rows_[0];
  // A weight of at most 256 times a byte, summed over weights totalling
  // 256, stays below 65536.
  uint16_t w[64];
  std::vector<uint16_t> many;
  uint16_t* weights = w;
  if (f.count > 64) {
    many.resize(f.count);
    weights = many.data();
  }
  Weights(a, b, upright_count, f, weights);
  const size_t bytes = 4 * n;
  auto* out = reinterpret_cast<uint8_t*>(mean_out);
  if (f.count == 2) {
    // The common case (fy below 2, every row straddling two): one pass.
    const auto* b0 = reinterpret_cast<const uint8_t*>(rows_[0]);
    const auto* b1 = reinterpret_cast<const uint8_t*>(rows_[1]);
#if defined(SARN_AVX2_PATHS)
    if (avx2_) {
      BlendTwoRowsAvx2(b0, b1, weights[0], weights[1], bytes, out);
      return mean_out;
    }
#endif
    BlendTwoRows(b0, b1, weights[0], weights[1], bytes, out);
  } else if (f.count == 3) {
    // fy between 1 and 2 where a row straddles three (8000 -> 5000 wide
    // photos at full scale): one pass, the same sums as the loop below.
    BlendThreeRows(
        reinterpret_cast<const uint8_t*>(rows_[0]), reinterpret_cast<const uint8_t*>(rows_[1]),
        reinterpret_cast<const uint8_t*>(rows_[2]), weights[0], weights[1], weights[2], bytes, out);
  } else if (f.count == 4) {
    BlendFourRows(reinterpret_cast<const uint8_t*>(rows_[0]),
                  reinterpret_cast<const uint8_t*>(rows_[1]),
                  reinterpret_cast<const uint8_t*>(rows_[2]),
                  reinterpret_cast<const uint8_t*>(rows_[3]), weights, bytes, out);
  } else {
    uint16_t* sum = row_sum_.data();
    std::fill(sum, sum + bytes, uint16_t{0});
    for (int i = 0; i < f.count; ++i) {
      const auto* row_bytes = reinterpret_cast<const uint8_t*>(rows_[i]);
      const uint16_t wi = weights[i];
      for (size_t j = 0; j < bytes; ++j)
        sum[j] = static_cast<uint16_t>(sum[j] + row_bytes[j] * wi);
    }
    for (size_t j = 0; j < bytes; ++j)
      out[j] = static_cast<uint8_t>((sum[j] + 128u) >> 8);
  }
  return mean_out;
}

void AreaResampler::MakeRow(int y) {
  const uint32_t* mean = StoredRowsMean((y - top_) * fy_, (y + 1 - top_) * fy_, source_height_,
                                        static_cast<size_t>(stored_width_), row_mean_.data());
  Across(mean, dest_->pixels.data() + static_cast<size_t>(y) * dest_->width);
}

void AreaResampler::MakeColumn(int x) {
  const int dh = dest_->height;
  const int first = x - x % kBlock;
  if (first != block_first_) {
    FlushBlock();
    block_.resize(static_cast<size_t>(dh) * kBlock);
    block_first_ = first;
    block_lo_ = block_hi_ = x;
  }
  // Columns come in one direction, left to right or right to left.
  block_lo_ = std::min(block_lo_, x);
  block_hi_ = std::max(block_hi_, x + 1);
  uint32_t* column = block_.data() + static_cast<size_t>(x - first) * dh;
  const uint32_t* mean =
      StoredRowsMean(x * fx_, (x + 1) * fx_, source_width_, static_cast<size_t>(dh), column);
  if (mean != column)
    std::copy(mean, mean + dh, column);
}

#if defined(SARN_AVX2_PATHS)
namespace {
// Rows [0, rows - rows % 8) of a whole block: eight columns of `height`
// pixels each (column-major, `block`) written as eight pixels of each
// destination row (`to`, rows `stride` pixels apart), top byte 0xFF. Each
// 8 x 8 tile is turned in registers: pairs of columns interleaved
// (unpacklo/hi), pairs of pairs (shuffle), then the 128-bit halves swapped
// between the two groups of four columns (permute2f128).
__attribute__((target("avx2"))) int TurnBlockAvx2(const uint32_t* block, int height, uint32_t* to,
                                                  int stride) {
  const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const uint32_t* c0 = block;
  const auto h = static_cast<size_t>(height);
  int y = 0;
  for (; y + 8 <= height; y += 8) {
    // Column c's pixels of rows y .. y + 7 (a lambda would not be built
    // for AVX2).
#define SARN_COLUMN(c) \
  _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(c0 + (c)*h + y)))
    const __m256 r0 = SARN_COLUMN(0), r1 = SARN_COLUMN(1), r2 = SARN_COLUMN(2), r3 = SARN_COLUMN(3);
    const __m256 r4 = SARN_COLUMN(4), r5 = SARN_COLUMN(5), r6 = SARN_COLUMN(6), r7 = SARN_COLUMN(7);
#undef SARN_COLUMN
    const __m256 t0 = _mm256_unpacklo_ps(r0, r1), t1 = _mm256_unpackhi_ps(r0, r1);
    const __m256 t2 = _mm256_unpacklo_ps(r2, r3), t3 = _mm256_unpackhi_ps(r2, r3);
    const __m256 t4 = _mm256_unpacklo_ps(r4, r5), t5 = _mm256_unpackhi_ps(r4, r5);
    const __m256 t6 = _mm256_unpacklo_ps(r6, r7), t7 = _mm256_unpackhi_ps(r6, r7);
    const __m256 s0 = _mm256_shuffle_ps(t0, t2, 0x44), s1 = _mm256_shuffle_ps(t0, t2, 0xEE);
    const __m256 s2 = _mm256_shuffle_ps(t1, t3, 0x44), s3 = _mm256_shuffle_ps(t1, t3, 0xEE);
    const __m256 s4 = _mm256_shuffle_ps(t4, t6, 0x44), s5 = _mm256_shuffle_ps(t4, t6, 0xEE);
    const __m256 s6 = _mm256_shuffle_ps(t5, t7, 0x44), s7 = _mm256_shuffle_ps(t5, t7, 0xEE);
    const __m256 rows[8] = {
        _mm256_permute2f128_ps(s0, s4, 0x20), _mm256_permute2f128_ps(s1, s5, 0x20),
        _mm256_permute2f128_ps(s2, s6, 0x20), _mm256_permute2f128_ps(s3, s7, 0x20),
        _mm256_permute2f128_ps(s0, s4, 0x31), _mm256_permute2f128_ps(s1, s5, 0x31),
        _mm256_permute2f128_ps(s2, s6, 0x31), _mm256_permute2f128_ps(s3, s7, 0x31)};
    for (int k = 0; k < 8; ++k) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + static_cast<size_t>(y + k) * stride),
                          _mm256_or_si256(_mm256_castps_si256(rows[k]), opaque));
    }
  }
  return y;
}
}  // namespace
#endif

#if defined(__SSE2__)
namespace {
// The same with SSE2: 4 x 4 tiles, the two groups of four columns apart.
int TurnBlockSse2(const uint32_t* block, int height, uint32_t* to, int stride) {
  const __m128 opaque = _mm_castsi128_ps(_mm_set1_epi32(static_cast<int>(0xFF000000u)));
  const auto h = static_cast<size_t>(height);
  int y = 0;
  for (; y + 4 <= height; y += 4) {
    for (int half = 0; half < 8; half += 4) {
      const uint32_t* c = block + static_cast<size_t>(half) * h + y;
      __m128 r0 = _mm_loadu_ps(reinterpret_cast<const float*>(c));
      __m128 r1 = _mm_loadu_ps(reinterpret_cast<const float*>(c + h));
      __m128 r2 = _mm_loadu_ps(reinterpret_cast<const float*>(c + 2 * h));
      __m128 r3 = _mm_loadu_ps(reinterpret_cast<const float*>(c + 3 * h));
      _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
      uint32_t* out = to + static_cast<size_t>(y) * stride + half;
      _mm_storeu_ps(reinterpret_cast<float*>(out), _mm_or_ps(r0, opaque));
      _mm_storeu_ps(reinterpret_cast<float*>(out + stride), _mm_or_ps(r1, opaque));
      _mm_storeu_ps(reinterpret_cast<float*>(out + 2 * static_cast<size_t>(stride)),
                    _mm_or_ps(r2, opaque));
      _mm_storeu_ps(reinterpret_cast<float*>(out + 3 * static_cast<size_t>(stride)),
                    _mm_or_ps(r3, opaque));
    }
  }
  return y;
}
}  // namespace
#endif

void AreaResampler::FlushBlock() {
  if (block_first_ < 0)
    return;
  const int dw = dest_->width;
  const int dh = dest_->height;
  const uint32_t* block = block_.data();
  uint32_t* to = dest_->pixels.data();
  int y = 0;
#if defined(SARN_AVX2_PATHS)
  static_assert(kBlock == 8, "TurnBlockAvx2 turns 8 x 8 tiles");
  if (avx2_ && block_lo_ == block_first_ && block_hi_ == block_first_ + kBlock)
    y = TurnBlockAvx2(block, dh, to + block_first_, dw);
#endif
#if defined(__SSE2__)
  if (y == 0 && block_lo_ == block_first_ && block_hi_ == block_first_ + kBlock)
    y = TurnBlockSse2(block, dh, to + block_first_, dw);
#endif
  for (; y < dh; ++y) {
    uint32_t* row = to + static_cast<size_t>(y) * dw;
    for (int x = block_lo_; x < block_hi_; ++x)
      row[x] = block[static_cast<size_t>(x - block_first_) * dh + y] | 0xFF000000u;
  }
  block_first_ = -1;
}

void AreaResampler::Across(const uint32_t* row, uint32_t* out) {
  if (single_tap_) {
    // One tap of weight 256: (256 b + 128) >> 8 is b itself.
    for (int x = 0; x < column_count_; ++x)
      out[x] = row[column_first_[x]] | 0xFF000000u;
    return;
  }
  switch (taps_) {
    case 2:
#if defined(SARN_AVX2_PATHS)
      if (avx2_) {
        ResampleTwoColumnsAvx2(row, out, column_first_.data(), lane_weights_.data());
        break;
      }
#endif
#if defined(__SSE2__)
      ResampleTwoColumnsSse2(row, out);
#else
      ResampleColumns<2>(row, out);
#endif
      break;
    case 3:
#if defined(SARN_AVX2_PATHS)
      if (avx2_) {
        // Every column as two taps, then the few with three weights made
        // again with three.
        ResampleTwoColumnsAvx2(row, out, pair_first_.data(), pair_lanes_.data());
        for (const int x : three_tap_columns_)
          out[x] = ThreeTapColumn(row, x);
        break;
      }
#endif
#if defined(__SSE2__)
      ResampleThreeColumnsSse2(row, out);
#else
      ResampleColumns<3>(row, out);
#endif
      break;
    case 4:
#if defined(__SSE2__)
      ResampleFourColumnsSse2(row, out);
#else
      ResampleColumns<4>(row, out);
#endif
      break;
    default:
      ResampleColumns<0>(row, out);
      break;
  }
}

#if defined(__SSE2__)
namespace {
// Four 16-bit colour sums in each half of `sum` (each at most 255 x 256):
// the halves added, rounded half up, divided by 256 and packed to one pixel.
uint32_t PackHalves(__m128i sum) {
  sum = _mm_add_epi16(sum, _mm_srli_si128(sum, 8));
  sum = _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(128)), 8);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
}
}  // namespace

// Two taps per column (fx below 2, the usual working image), two columns at a
// time: each column's two source pixels widened to eight 16-bit lanes and
// multiplied by their weights (at most 255 x 256, no overflow), the products
// of the first taps of both columns added to those of the second taps, then
// rounded, divided by 256 and packed to two pixels. The weights come as
// (w0, w1) pairs spread over the lanes by three shuffles. The same sums and
// rounding as PackHalves, which makes an odd last column.
void AreaResampler::ResampleTwoColumnsSse2(const uint32_t* row, uint32_t* out) {
  const int dw = column_count_;
  const __m128i zero = _mm_setzero_si128();
  const __m128i half = _mm_set1_epi16(128);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const uint16_t* w = column_weights_.data();
  const int* first = column_first_.data();
  int x = 0;
  for (; x + 2 <= dw; x += 2, w += 4) {
    const __m128i a =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + first[x])), zero);
    const __m128i b = _mm_unpacklo_epi8(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + first[x + 1])), zero);
    // (w0a, w1a, w0b, w1b) -> (w0a w0a w1a w1a w0b w0b w1b w1b) -> each
    // weight over the four bytes of its pixel.
    const __m128i pairs = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(w));
    const __m128i doubled = _mm_unpacklo_epi16(pairs, pairs);
    const __m128i ma = _mm_mullo_epi16(a, _mm_unpacklo_epi32(doubled, doubled));
    const __m128i mb = _mm_mullo_epi16(b, _mm_unpackhi_epi32(doubled, doubled));
    __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(ma, mb), _mm_unpackhi_epi64(ma, mb));
    sum = _mm_srli_epi16(_mm_add_epi16(sum, half), 8);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x),
                     _mm_or_si128(_mm_packus_epi16(sum, sum), opaque));
  }
  for (; x < dw; ++x, w += 2) {
    const __m128i pixels =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + first[x])), zero);
    const __m128i weights = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<short>(w[0])),
                                               _mm_set1_epi16(static_cast<short>(w[1])));
    out[x] = PackHalves(_mm_mullo_epi16(pixels, weights)) | 0xFF000000u;
  }
}

// Three taps per column (fx between 1 and 2 where a column straddles three
// source pixels, as 8000 -> 5000): the first two source pixels in eight
// 16-bit lanes, the third in four, each times its weight, the three summed
// per colour byte (at most 255 x 256 + 128, no overflow), rounded and packed.
// The same sums and rounding as ResampleColumns<3>, which also writes the top
// byte as 0xFF.
uint32_t AreaResampler::ThreeTapColumn(const uint32_t* row, int x) const {
  const __m128i zero = _mm_setzero_si128();
  const auto* w = reinterpret_cast<const __m128i*>(lane_weights_.data()) + 2 * x;
  const uint32_t* p = row + column_first_[x];
  const __m128i first_two =
      _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
  const __m128i third = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(p[2])), zero);
  return PackHalves(_mm_add_epi16(_mm_mullo_epi16(first_two, _mm_loadu_si128(w)),
                                  _mm_mullo_epi16(third, _mm_loadu_si128(w + 1)))) |
         0xFF000000u;
}

void AreaResampler::ResampleThreeColumnsSse2(const uint32_t* row, uint32_t* out) {
  for (int x = 0; x < column_count_; ++x)
    out[x] = ThreeTapColumn(row, x);
}

// Four taps per column (fx between 2 and 3, as the overview of a 5000 pixel
// wide working image): two pairs of source pixels in eight 16-bit lanes each,
// times their weights, summed per colour byte (at most 255 x 256 + 128), then
// rounded and packed as ResampleColumns<4> does.
void AreaResampler::ResampleFourColumnsSse2(const uint32_t* row, uint32_t* out) {
  const int dw = column_count_;
  const __m128i zero = _mm_setzero_si128();
  const auto* w = reinterpret_cast<const __m128i*>(lane_weights_.data());
  for (int x = 0; x < dw; ++x, w += 2) {
    const uint32_t* p = row + column_first_[x];
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    out[x] = PackHalves(_mm_add_epi16(
                 _mm_mullo_epi16(_mm_unpacklo_epi8(four, zero), _mm_loadu_si128(w)),
                 _mm_mullo_epi16(_mm_unpackhi_epi8(four, zero), _mm_loadu_si128(w + 1)))) |
             0xFF000000u;
  }
}
#endif

#if defined(SARN_AVX2_PATHS)
// Two taps, four columns a step (a, b, c, d), from the columns' first
// source pixels `first` and their weights spread over the lanes (w0 x4,
// w1 x4) in `lanes`: the pixel pairs of a and b, and of c and d, widened to
// sixteen 16-bit lanes, a's in the low 128-bit half and b's in the high one,
// times their weights; the products of the first taps added to those of the
// second, rounded, divided by 256 and packed, then put in column order. The
// same sums and rounding as ResampleTwoColumnsSse2.
__attribute__((target("avx2"))) void AreaResampler::ResampleTwoColumnsAvx2(const uint32_t* row,
                                                                           uint32_t* out,
                                                                           const int* first,
                                                                           const uint16_t* lanes) {
  const int dw = column_count_;
  const __m256i half = _mm256_set1_epi16(128);
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const auto pair = [row, first](int x) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + first[x]));
  };
  int x = 0;
  for (; x + 4 <= dw; x += 4) {
    const __m256i ab = _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(pair(x), pair(x + 1)));
    const __m256i cd = _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(pair(x + 2), pair(x + 3)));
    // a's and b's weights make one AVX word, c's and d's the next.
    const auto* w = reinterpret_cast<const __m256i*>(lanes + 8 * static_cast<size_t>(x));
    const __m256i mab = _mm256_mullo_epi16(ab, _mm256_loadu_si256(w));
    const __m256i mcd = _mm256_mullo_epi16(cd, _mm256_loadu_si256(w + 1));
    // Low half: a, c; high half: b, d.
    __m256i sum =
        _mm256_add_epi16(_mm256_unpacklo_epi64(mab, mcd), _mm256_unpackhi_epi64(mab, mcd));
    sum = _mm256_srli_epi16(_mm256_add_epi16(sum, half), 8);
    const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(sum, sum), order);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                     _mm_or_si128(_mm256_castsi256_si128(packed), opaque));
  }
  for (; x < dw; ++x) {
    const __m128i pixels = _mm_unpacklo_epi8(pair(x), _mm_setzero_si128());
    const __m128i weights =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes + 8 * static_cast<size_t>(x)));
    out[x] = PackHalves(_mm_mullo_epi16(pixels, weights)) | 0xFF000000u;
  }
}
#endif

// kTaps 0: any number (taps_), in a loop.
template <int kTaps>
void AreaResampler::ResampleColumns(const uint32_t* row, uint32_t* out) {
  // Each byte of a pixel in its own 16-bit lane, in memory order B, G, R, A
  // (A set to 255): a weight of at most 256 times a byte, summed over
  // weights totalling 256, stays below 65536.
  uint64_t* e = expanded_.data();
  for (int i = 0; i < stored_width_; ++i) {
    const uint64_t c = row[i];
    e[i] = (c & 0xFFu) | ((c & 0xFF00u) << 8) | ((c & 0xFF0000u) << 16) | (uint64_t{0xFF} << 48);
  }
  const int dw = column_count_;
  const int taps = kTaps > 0 ? kTaps : taps_;
  const uint16_t* w = column_weights_.data();
  for (int x = 0; x < dw; ++x, w += taps) {
    const uint64_t* p = e + column_first_[x];
    uint64_t sum = 0;
    for (int i = 0; i < taps; ++i)
      sum += p[i] * w[i];
    // Round each lane (256 x the byte) half up; at most 65408, no carry.
    sum = ((sum + 0x0080008000800080u) >> 8) & 0x00FF00FF00FF00FFu;
    out[x] = static_cast<uint32_t>((sum & 0xFF) | ((sum >> 8) & 0xFF00) | ((sum >> 16) & 0xFF0000) |
                                   ((sum >> 24) & 0xFF000000u));
  }
}

void AreaResampler::Finish() {
  const int dw = dest_->width;
  const int dh = dest_->height;
  if (identity_ || steps_ == 0) {
    for (int y = next_dest_row_; y < dh; ++y) {
      uint32_t* out = dest_->pixels.data() + static_cast<size_t>(y) * dw;
      if (y > 0) {
        std::copy(out - dw, out, out);
      } else {
        std::fill(out, out + dw, 0xFF808080u);
      }
    }
    next_dest_row_ = std::max(next_dest_row_, dh);
    return;
  }
  FlushBlock();
  // The steps not made repeat the last one made (the neighbour in the order
  // the steps complete), or are mid grey when none was.
  for (int j = next_step_; j < steps_; ++j) {
    const int d = StepIndex(j);
    const int from = j > first_step_ ? StepIndex(j - 1) : -1;
    if (transposed_) {
      for (int y = 0; y < dh; ++y) {
        uint32_t* row = dest_->pixels.data() + static_cast<size_t>(y) * dw;
        row[d] = from >= 0 ? row[from] : 0xFF808080u;
      }
    } else {
      uint32_t* out = dest_->pixels.data() + static_cast<size_t>(d) * dw;
      if (from >= 0) {
        const uint32_t* src = dest_->pixels.data() + static_cast<size_t>(from) * dw;
        std::copy(src, src + dw, out);
      } else {
        std::fill(out, out + dw, 0xFF808080u);
      }
    }
  }
  next_step_ = steps_;
}

}  // namespace sarn
