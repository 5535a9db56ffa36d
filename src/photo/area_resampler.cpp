#include "photo/area_resampler.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace sarn {

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
  const int first = static_cast<int>(std::floor(lo));
  const int last = std::min(size - 1, static_cast<int>(std::ceil(hi)) - 1);
  return {first, std::max(1, last - first + 1)};
}

// Weights of the cells of `f` for the area [a, b), summing to 1.
void Weights(double a, double b, int size, Footprint f, float* out) {
  const double lo = std::max(a, 0.0);
  const double hi = std::min(b, static_cast<double>(size));
  if (hi <= lo) {
    out[0] = 1.0f;
    return;
  }
  double total = 0;
  for (int i = 0; i < f.count; ++i) {
    const double c = f.first + i;
    const double w = std::max(0.0, std::min(hi, c + 1) - std::max(lo, c));
    out[i] = static_cast<float>(w);
    total += w;
  }
  for (int i = 0; i < f.count; ++i)
    out[i] = static_cast<float>(out[i] / total);
}

uint8_t ToByte(float v) {
  const float r = std::floor(v + 0.5f);
  return static_cast<uint8_t>(std::clamp(r, 0.0f, 255.0f));
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

  column_spans_.resize(dw);
  for (int x = 0; x < dw; ++x) {
    const double a = x * fx;
    const double b = (x + 1) * fx;
    const Footprint f = Cover(a, b, source_width_);
    Span& s = column_spans_[x];
    s.first = f.first;
    s.count = f.count;
    s.weight_index = static_cast<int>(column_weights_.size());
    column_weights_.resize(column_weights_.size() + f.count);
    Weights(a, b, source_width_, f, &column_weights_[s.weight_index]);
  }

  int widest = 1;
  for (int y = 0; y < dh; ++y)
    widest = std::max(widest, RowSpan(y).count);
  ring_capacity_ = widest;
  ring_.resize(static_cast<size_t>(ring_capacity_) * 3 * dw);
  row_sum_.resize(static_cast<size_t>(3) * dw);

  first_row_ = RowSpan(0).first;
  const Span last = RowSpan(dh - 1);
  end_row_ = last.first + last.count;
  next_source_row_ = first_row_;
}

AreaResampler::Span AreaResampler::RowSpan(int y) const {
  const Footprint f = Cover((y - top_) * fy_, (y + 1 - top_) * fy_, source_height_);
  return {f.first, f.count, 0};
}

void AreaResampler::PushRow(const uint32_t* row) {
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

  float* h = &ring_[static_cast<size_t>(r % ring_capacity_) * 3 * dw];
  const float* weights = column_weights_.data();
  for (int x = 0; x < dw; ++x) {
    const Span& s = column_spans_[x];
    const uint32_t* p = row + s.first;
    const float* w = weights + s.weight_index;
    float red = 0, green = 0, blue = 0;
    for (int i = 0; i < s.count; ++i) {
      const uint32_t c = p[i];
      red += w[i] * static_cast<float>((c >> 16) & 0xFFu);
      green += w[i] * static_cast<float>((c >> 8) & 0xFFu);
      blue += w[i] * static_cast<float>(c & 0xFFu);
    }
    h[3 * x] = red;
    h[3 * x + 1] = green;
    h[3 * x + 2] = blue;
  }

  while (next_dest_row_ < dh) {
    const Span s = RowSpan(next_dest_row_);
    if (s.first + s.count - 1 > r)
      break;
    MakeRow(next_dest_row_++);
  }
}

void AreaResampler::MakeRow(int y) {
  const int dw = dest_->width;
  const double a = (y - top_) * fy_;
  const double b = (y + 1 - top_) * fy_;
  const Footprint f = Cover(a, b, source_height_);
  float w[64];
  std::vector<float> many;
  float* weights = w;
  if (f.count > 64) {
    many.resize(f.count);
    weights = many.data();
  }
  Weights(a, b, source_height_, f, weights);
  const size_t n = static_cast<size_t>(3) * dw;
  std::fill(row_sum_.begin(), row_sum_.end(), 0.0f);
  for (int i = 0; i < f.count; ++i) {
    const float* h = &ring_[static_cast<size_t>((f.first + i) % ring_capacity_) * n];
    const float wi = weights[i];
    float* sum = row_sum_.data();
    for (size_t j = 0; j < n; ++j)
      sum[j] += wi * h[j];
  }
  StoreRow(y, row_sum_.data());
}

void AreaResampler::StoreRow(int y, const float* rgb) {
  const int dw = dest_->width;
  uint32_t* out = dest_->pixels.data() + static_cast<size_t>(y) * dw;
  for (int x = 0; x < dw; ++x) {
    out[x] = 0xFF000000u | (uint32_t{ToByte(rgb[3 * x])} << 16) |
             (uint32_t{ToByte(rgb[3 * x + 1])} << 8) | ToByte(rgb[3 * x + 2]);
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
