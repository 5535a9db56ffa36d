#pragma once

// A 32-bit raster in the layout of a Qt RGB32 image (0xFFRRGGBB per pixel,
// rows top to bottom, no padding), so that the window can show it without a
// copy, while the scan reads colours as 0x00BBGGRR through Point().

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace sarn {

// The pixels of a raster, used like a std::vector<uint32_t> of fixed size.
// Two differences, both for the first load of a photo in a fresh process,
// where every new page of memory is a page fault: a buffer of 2 MiB or more is
// mapped on its own, 2 MiB aligned and whole 2 MiB long, and asks for
// transparent huge pages (one fault per 2 MiB instead of 512); and
// PixelBuffer(count) leaves the pixels unset, for a writer that writes every
// one (the area resampler), so that the memory is touched once, not twice.
class PixelBuffer {
 public:
  using value_type = uint32_t;
  using iterator = uint32_t*;
  using const_iterator = const uint32_t*;

  PixelBuffer() = default;
  explicit PixelBuffer(size_t count);  // pixels unset
  PixelBuffer(size_t count, uint32_t value);
  PixelBuffer(std::initializer_list<uint32_t> values);
  PixelBuffer(const PixelBuffer& other);
  PixelBuffer(PixelBuffer&& other) noexcept;
  PixelBuffer& operator=(const PixelBuffer& other);
  PixelBuffer& operator=(PixelBuffer&& other) noexcept;
  PixelBuffer& operator=(std::initializer_list<uint32_t> values);
  ~PixelBuffer();

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  uint32_t* data() { return data_; }
  const uint32_t* data() const { return data_; }
  uint32_t& operator[](size_t i) { return data_[i]; }
  const uint32_t& operator[](size_t i) const { return data_[i]; }
  uint32_t* begin() { return data_; }
  uint32_t* end() { return data_ + size_; }
  const uint32_t* begin() const { return data_; }
  const uint32_t* end() const { return data_ + size_; }

  // `count` pixels: the first ones kept, any new ones 0 (as std::vector).
  void resize(size_t count);
  // `count` pixels, all `value`.
  void assign(size_t count, uint32_t value);

  friend bool operator==(const PixelBuffer& a, const PixelBuffer& b);

 private:
  void Release() noexcept;

  uint32_t* data_ = nullptr;
  size_t size_ = 0;
};

struct Raster {
  int width = 0;
  int height = 0;
  PixelBuffer pixels;  // width * height, 0xFFRRGGBB

  // The colour at (x, y) as 0x00BBGGRR (red in the low byte), or -1 outside.
  int32_t Point(int32_t x, int32_t y) const;
};

// A raster of width x height pixels, all `colour` (0xFFRRGGBB). Throws
// std::bad_alloc when it cannot be allocated.
Raster MakeRaster(int width, int height, uint32_t colour = 0xFF000000u);

// A raster of width x height pixels whose pixels are unset, for a writer that
// writes every one of them. Throws std::bad_alloc like MakeRaster.
Raster MakeUnsetRaster(int width, int height);

// Plain area-average resampling of `source` to width x height (no
// sharpening: the scan reads these pixels).
Raster ResampleArea(const Raster& source, int width, int height);

// The same with the footprint given: destination pixel (x, y) is the mean of
// source area [x fx, (x+1) fx) x [(y - top) fy, (y+1 - top) fy) (see
// area_resampler.h).
Raster ResampleAreaScaled(const Raster& source, int width, int height, double fx, double fy,
                          double top = 0.0);

}  // namespace sarn
