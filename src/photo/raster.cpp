#include "photo/raster.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "photo/area_resampler.h"

namespace sarn {

namespace {

// The size of a transparent huge page on x86-64 and of the alignment that
// lets the kernel back a mapping with them.
constexpr size_t kHugePage = size_t{2} << 20;

// From half a huge page on, a buffer takes whole huge pages: a fresh 4 kB
// page costs a fault when first touched (10-20 us on a virtual machine, so
// 3-5 ms for the 1-2 MB a turned photo's decoding batches take in the
// window, whose heap hands such blocks out freshly mapped), a huge page one
// fault for 2 MB; at most 1 MB more is resident.
constexpr size_t kMappedFrom = kHugePage / 2;

size_t RoundUpToHugePage(size_t bytes) {
  return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

// Mapped whole huge pages from kMappedFrom bytes on, from the heap below.
uint32_t* Allocate(size_t count) {
  if (count == 0)
    return nullptr;
  if (count > std::numeric_limits<size_t>::max() / sizeof(uint32_t) / 2)
    throw std::bad_alloc();
  const size_t bytes = count * sizeof(uint32_t);
  if (bytes < kMappedFrom) {
    void* p = std::malloc(bytes);
    if (p == nullptr)
      throw std::bad_alloc();
    return static_cast<uint32_t*>(p);
  }
  // Map one huge page more than needed and trim the ends so that the rest
  // starts on a 2 MiB boundary.
  const size_t length = RoundUpToHugePage(bytes);
  void* raw = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (raw == MAP_FAILED)
    throw std::bad_alloc();
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
  if (aligned > start)
    ::munmap(raw, aligned - start);
  const size_t tail = start + length + kHugePage - (aligned + length);
  if (tail > 0)
    ::munmap(reinterpret_cast<void*>(aligned + length), tail);
  // Only a hint: without huge pages the buffer works the same, just slower
  // to touch the first time.
  ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
  return reinterpret_cast<uint32_t*>(aligned);
}

void Free(uint32_t* data, size_t count) noexcept {
  if (data == nullptr)
    return;
  const size_t bytes = count * sizeof(uint32_t);
  if (bytes < kMappedFrom)
    std::free(data);
  else
    ::munmap(data, RoundUpToHugePage(bytes));
}

}  // namespace

PixelBuffer::PixelBuffer(size_t count) : data_(Allocate(count)), size_(count) {}

PixelBuffer::PixelBuffer(size_t count, uint32_t value) : PixelBuffer(count) {
  std::fill(begin(), end(), value);
}

PixelBuffer::PixelBuffer(std::initializer_list<uint32_t> values) : PixelBuffer(values.size()) {
  std::copy(values.begin(), values.end(), begin());
}

PixelBuffer::PixelBuffer(const PixelBuffer& other) : PixelBuffer(other.size_) {
  if (size_ > 0)
    std::memcpy(data_, other.data_, size_ * sizeof(uint32_t));
}

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

PixelBuffer& PixelBuffer::operator=(const PixelBuffer& other) {
  if (this != &other) {
    PixelBuffer copy(other);
    *this = std::move(copy);
  }
  return *this;
}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

PixelBuffer& PixelBuffer::operator=(std::initializer_list<uint32_t> values) {
  return *this = PixelBuffer(values);
}

PixelBuffer::~PixelBuffer() {
  Release();
}

void PixelBuffer::Release() noexcept {
  Free(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

void PixelBuffer::resize(size_t count) {
  if (count == size_)
    return;
  PixelBuffer grown(count);
  const size_t kept = std::min(count, size_);
  if (kept > 0)
    std::memcpy(grown.data_, data_, kept * sizeof(uint32_t));
  std::fill(grown.begin() + kept, grown.end(), 0u);
  *this = std::move(grown);
}

void PixelBuffer::assign(size_t count, uint32_t value) {
  *this = PixelBuffer(count, value);
}

bool operator==(const PixelBuffer& a, const PixelBuffer& b) {
  return a.size_ == b.size_ && std::equal(a.begin(), a.end(), b.begin());
}

int32_t Raster::Point(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width || y >= height)
    return -1;
  const uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + x];
  const uint32_t red = (p >> 16) & 0xFFu;
  const uint32_t green = (p >> 8) & 0xFFu;
  const uint32_t blue = p & 0xFFu;
  return static_cast<int32_t>((blue << 16) | (green << 8) | red);
}

Raster MakeRaster(int width, int height, uint32_t colour) {
  Raster r;
  if (width <= 0 || height <= 0)
    return r;
  r.width = width;
  r.height = height;
  r.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), colour);
  return r;
}

Raster MakeUnsetRaster(int width, int height) {
  Raster r;
  if (width <= 0 || height <= 0)
    return r;
  r.width = width;
  r.height = height;
  r.pixels = PixelBuffer(static_cast<size_t>(width) * static_cast<size_t>(height));
  return r;
}

Raster ResampleAreaScaled(const Raster& source, int width, int height, double fx, double fy,
                          double top) {
  if (width <= 0 || height <= 0 || source.pixels.empty())
    return MakeRaster(width, height);
  // The resampler writes every pixel of the destination.
  Raster out = MakeUnsetRaster(width, height);
  const auto feed = [&source](AreaResampler* resampler) {
    for (int r = resampler->FirstSourceRow(); r < resampler->EndSourceRow(); ++r)
      resampler->PushRow(source.pixels.data() + static_cast<size_t>(r) * source.width, true);
    resampler->Finish();
  };
  AreaResampler resampler(source.width, source.height, fx, fy, top, &out);
  // A large destination (the window's overview of a working image, 2 M
  // pixels read per 0.3 M made) is made in two halves of its rows at once
  // when a second processor may run: each destination row depends only on
  // the source rows under it, so the bytes are the same.
  const int split = height / 2;
  const bool halves = static_cast<long long>(source.width) * source.height >= (1LL << 20) &&
                      split > 0 && TwoProcessorsAllowed() && resampler.MakeRowsOnly(0, split);
  if (!halves) {
    feed(&resampler);
    return out;
  }
  std::exception_ptr failure;
  std::thread lower;
  try {
    lower = std::thread([&] {
      try {
        AreaResampler below(source.width, source.height, fx, fy, top, &out);
        below.MakeRowsOnly(split, height);
        feed(&below);
      } catch (...) {
        failure = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    // No thread to be had: the lower half here too.
    AreaResampler below(source.width, source.height, fx, fy, top, &out);
    below.MakeRowsOnly(split, height);
    feed(&below);
  }
  try {
    feed(&resampler);
  } catch (...) {
    if (lower.joinable())
      lower.join();
    throw;
  }
  if (lower.joinable())
    lower.join();
  if (failure)
    std::rethrow_exception(failure);
  return out;
}

Raster ResampleArea(const Raster& source, int width, int height) {
  if (width <= 0 || height <= 0)
    return Raster{};
  return ResampleAreaScaled(source, width, height, static_cast<double>(source.width) / width,
                            static_cast<double>(source.height) / height);
}

}  // namespace sarn
