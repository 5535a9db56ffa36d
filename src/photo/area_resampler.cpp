#include "photo/area_resampler.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
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
                             Raster* dest)
    : source_width_(source_width), source_height_(source_height), fy_(fy), top_(top), dest_(dest) {
  const int dw = dest_->width;
  const int dh = dest_->height;
  if (dw <= 0 || dh <= 0 || source_width_ <= 0 || source_height_ <= 0) {
    first_row_ = end_row_ = 0;
    next_dest_row_ = std::max(dh, 0);
    // Nothing to draw from: the destination (whose pixels may be unset) is
    // black, as a new raster is.
    if (dw > 0 && dh > 0)
      std::fill(dest_->pixels.begin(), dest_->pixels.end(), 0xFF000000u);
    return;
  }
  identity_ = fx == 1.0 && fy == 1.0 && top == std::floor(top) && source_width_ >= dw && top <= 0 &&
              dh - top <= source_height_;
  if (identity_) {
    first_row_ = static_cast<int>(-top);
    end_row_ = first_row_ + dh;
    next_source_row_ = first_row_;
    return;
  }

  // Every column gets the same number of taps; a footprint near the right
  // edge is moved left and padded with zero weights in front.
  std::vector<Footprint> covers(dw);
  for (int x = 0; x < dw; ++x) {
    covers[x] = Cover(x * fx, (x + 1) * fx, source_width_);
    taps_ = std::max(taps_, covers[x].count);
  }
  taps_ = std::min(taps_, source_width_);
  column_first_.resize(dw);
  column_weights_.assign(static_cast<size_t>(dw) * taps_, 0);
  std::vector<uint16_t> w(taps_);
  for (int x = 0; x < dw; ++x) {
    const Footprint f = covers[x];
    Weights(x * fx, (x + 1) * fx, source_width_, f, w.data());
    const int first = std::min(f.first, source_width_ - taps_);
    column_first_[x] = first;
    for (int i = 0; i < f.count; ++i)
      column_weights_[static_cast<size_t>(x) * taps_ + (f.first - first) + i] = w[i];
  }

#if defined(__SSE2__)
  if (taps_ == 3 || taps_ == 4) {
    // Each column's weights spread over the 16-bit lanes of two SSE words:
    // (w0 x 4, w1 x 4) and (w2 x 4, w3 x 4), one per colour byte; w3 is 0 at
    // three taps.
    lane_weights_.assign(static_cast<size_t>(dw) * 16, 0);
    for (int x = 0; x < dw; ++x) {
      uint16_t* lanes = &lane_weights_[static_cast<size_t>(x) * 16];
      for (int t = 0; t < taps_; ++t)
        std::fill(lanes + 4 * t, lanes + 4 * t + 4,
                  column_weights_[static_cast<size_t>(x) * taps_ + t]);
    }
  }
#endif

  int widest = 1;
  for (int y = 0; y < dh; ++y)
    widest = std::max(widest, RowSpan(y).count);
  ring_capacity_ = widest;
  ring_.resize(static_cast<size_t>(ring_capacity_) * source_width_);
  ring_rows_.assign(ring_capacity_, nullptr);
  row_sum_.resize(static_cast<size_t>(4) * source_width_);
  row_mean_.resize(source_width_);
  expanded_.resize(source_width_);

  first_row_ = RowSpan(0).first;
  const Span last = RowSpan(dh - 1);
  end_row_ = last.first + last.count;
  next_source_row_ = first_row_;
}

AreaResampler::Span AreaResampler::RowSpan(int y) const {
  const Footprint f = Cover((y - top_) * fy_, (y + 1 - top_) * fy_, source_height_);
  return {f.first, f.count};
}

uint32_t* AreaResampler::RowBuffer() {
  const int r = next_source_row_;
  if (identity_) {
    const int y = r + static_cast<int>(top_);
    if (y >= 0 && y < dest_->height && source_width_ == dest_->width)
      return dest_->pixels.data() + static_cast<size_t>(y) * dest_->width;
  } else if (ring_capacity_ > 0) {
    return &ring_[static_cast<size_t>(r % ring_capacity_) * source_width_];
  }
  scratch_.resize(std::max(source_width_, 1));
  return scratch_.data();
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
  uint32_t* own = &ring_[slot * source_width_];
  if (row_stays || row == own) {
    ring_rows_[slot] = row;
  } else {
    std::copy(row, row + source_width_, own);
    ring_rows_[slot] = own;
  }
  while (next_dest_row_ < dh) {
    const Span s = RowSpan(next_dest_row_);
    if (s.first + s.count - 1 > r)
      break;
    MakeRow(next_dest_row_++);
  }
}

void AreaResampler::MakeRow(int y) {
  const double a = (y - top_) * fy_;
  const double b = (y + 1 - top_) * fy_;
  const Footprint f = Cover(a, b, source_height_);
  const uint32_t* mean = ring_rows_[f.first % ring_capacity_];
  if (f.count > 1) {
    // A weight of at most 256 times a byte, summed over weights totalling
    // 256, stays below 65536.
    uint16_t w[64];
    std::vector<uint16_t> many;
    uint16_t* weights = w;
    if (f.count > 64) {
      many.resize(f.count);
      weights = many.data();
    }
    Weights(a, b, source_height_, f, weights);
    const size_t n = static_cast<size_t>(4) * source_width_;
    auto* out = reinterpret_cast<uint8_t*>(row_mean_.data());
    if (f.count == 2) {
      // The common case (fy below 2, every row straddling two): one pass.
      const auto* b0 = reinterpret_cast<const uint8_t*>(ring_rows_[f.first % ring_capacity_]);
      const auto* b1 = reinterpret_cast<const uint8_t*>(ring_rows_[(f.first + 1) % ring_capacity_]);
      const uint16_t w0 = weights[0], w1 = weights[1];
      for (size_t j = 0; j < n; ++j)
        out[j] = static_cast<uint8_t>(static_cast<uint16_t>(b0[j] * w0 + b1[j] * w1 + 128u) >> 8);
    } else if (f.count == 3) {
      // fy between 1 and 2 where a row straddles three (8000 -> 5000 wide
      // photos at full scale): one pass, the same sums as the loop below.
      const auto* b0 = reinterpret_cast<const uint8_t*>(ring_rows_[f.first % ring_capacity_]);
      const auto* b1 = reinterpret_cast<const uint8_t*>(ring_rows_[(f.first + 1) % ring_capacity_]);
      const auto* b2 = reinterpret_cast<const uint8_t*>(ring_rows_[(f.first + 2) % ring_capacity_]);
      const uint16_t w0 = weights[0], w1 = weights[1], w2 = weights[2];
      for (size_t j = 0; j < n; ++j) {
        out[j] = static_cast<uint8_t>(
            static_cast<uint16_t>(b0[j] * w0 + b1[j] * w1 + b2[j] * w2 + 128u) >> 8);
      }
    } else {
      uint16_t* sum = row_sum_.data();
      std::fill(row_sum_.begin(), row_sum_.end(), uint16_t{0});
      for (int i = 0; i < f.count; ++i) {
        const auto* bytes =
            reinterpret_cast<const uint8_t*>(ring_rows_[(f.first + i) % ring_capacity_]);
        const uint16_t wi = weights[i];
        for (size_t j = 0; j < n; ++j)
          sum[j] = static_cast<uint16_t>(sum[j] + bytes[j] * wi);
      }
      for (size_t j = 0; j < n; ++j)
        out[j] = static_cast<uint8_t>((sum[j] + 128u) >> 8);
    }
    mean = row_mean_.data();
  }
  uint32_t* out = dest_->pixels.data() + static_cast<size_t>(y) * dest_->width;
  switch (taps_) {
    case 1:
      ResampleColumns<1>(mean, out);
      break;
    case 2:
#if defined(__SSE2__)
      ResampleTwoColumnsSse2(mean, out);
#else
      ResampleColumns<2>(mean, out);
#endif
      break;
    case 3:
#if defined(__SSE2__)
      ResampleThreeColumnsSse2(mean, out);
#else
      ResampleColumns<3>(mean, out);
#endif
      break;
    case 4:
#if defined(__SSE2__)
      ResampleFourColumnsSse2(mean, out);
#else
      ResampleColumns<4>(mean, out);
#endif
      break;
    default:
      ResampleColumns<0>(mean, out);
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

// Two taps per column (fx below 2, the usual working image): both source
// pixels widened to eight 16-bit lanes, multiplied by their weights (at most
// 255 x 256, no overflow), the halves added, rounded and packed back.
void AreaResampler::ResampleTwoColumnsSse2(const uint32_t* row, uint32_t* out) {
  const int dw = dest_->width;
  const __m128i zero = _mm_setzero_si128();
  const uint16_t* w = column_weights_.data();
  for (int x = 0; x < dw; ++x, w += 2) {
    const __m128i pixels = _mm_unpacklo_epi8(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + column_first_[x])), zero);
    const __m128i weights = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<short>(w[0])),
                                               _mm_set1_epi16(static_cast<short>(w[1])));
    out[x] = PackHalves(_mm_mullo_epi16(pixels, weights));
  }
}

// Three taps per column (fx between 1 and 2 where a column straddles three
// source pixels, as 8000 -> 5000): the first two source pixels in eight
// 16-bit lanes, the third in four, each times its weight, the three summed
// per colour byte (at most 255 x 256 + 128, no overflow), rounded and packed.
// The same sums and rounding as ResampleColumns<3>, which also writes the top
// byte as 0xFF.
void AreaResampler::ResampleThreeColumnsSse2(const uint32_t* row, uint32_t* out) {
  const int dw = dest_->width;
  const __m128i zero = _mm_setzero_si128();
  const auto* w = reinterpret_cast<const __m128i*>(lane_weights_.data());
  for (int x = 0; x < dw; ++x, w += 2) {
    const uint32_t* p = row + column_first_[x];
    const __m128i first_two =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
    const __m128i third = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(p[2])), zero);
    out[x] = PackHalves(_mm_add_epi16(_mm_mullo_epi16(first_two, _mm_loadu_si128(w)),
                                      _mm_mullo_epi16(third, _mm_loadu_si128(w + 1)))) |
             0xFF000000u;
  }
}

// Four taps per column (fx between 2 and 3, as the overview of a 5000 pixel
// wide working image): two pairs of source pixels in eight 16-bit lanes each,
// times their weights, summed per colour byte (at most 255 x 256 + 128), then
// rounded and packed as ResampleColumns<4> does.
void AreaResampler::ResampleFourColumnsSse2(const uint32_t* row, uint32_t* out) {
  const int dw = dest_->width;
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

// kTaps 0: any number (taps_), in a loop.
template <int kTaps>
void AreaResampler::ResampleColumns(const uint32_t* row, uint32_t* out) {
  // Each byte of a pixel in its own 16-bit lane, in memory order B, G, R, A
  // (A set to 255): a weight of at most 256 times a byte, summed over
  // weights totalling 256, stays below 65536.
  uint64_t* e = expanded_.data();
  for (int i = 0; i < source_width_; ++i) {
    const uint64_t c = row[i];
    e[i] = (c & 0xFFu) | ((c & 0xFF00u) << 8) | ((c & 0xFF0000u) << 16) | (uint64_t{0xFF} << 48);
  }
  const int dw = dest_->width;
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
  for (int y = next_dest_row_; y < dh; ++y) {
    uint32_t* out = dest_->pixels.data() + static_cast<size_t>(y) * dw;
    if (y > 0) {
      std::copy(out - dw, out, out);
    } else {
      std::fill(out, out + dw, 0xFF808080u);
    }
  }
  next_dest_row_ = std::max(next_dest_row_, dh);
}

}  // namespace sarn
