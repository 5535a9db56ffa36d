#pragma once

// Plain area-average resampling, streamed row by row so that a large source
// (a decoded photo) never has to be held whole: each destination pixel is the
// mean colour of the source area it covers, every source pixel weighted by the
// part of it inside that area. No sharpening, no ringing: the scan reads these
// pixels and looks for brightness drops.
//
// Geometry, in continuous coordinates (pixel i spans i..i+1):
//   destination column x covers source columns [x fx, (x + 1) fx)
//   destination row y    covers source rows    [(y - top) fy, (y + 1 - top) fy)
// clipped to the source; an area that lies wholly outside the source takes the
// nearest source row or column (edge replicate), so no artificial band appears
// at the border. With fx = fy = 1 and a whole `top` rows are copied unchanged.
//
// Pixels are 32-bit 0x??RRGGBB (the top byte is ignored on input and written
// 0xFF). Cost: about 3 (fx + 1) multiply-adds per destination pixel of every
// pushed row, plus 3 (fy + 1) per destination pixel.

#include <cstdint>
#include <vector>

#include "photo/raster.h"

namespace sarn {

class AreaResampler {
 public:
  // `dest` must already have its size; it is written as rows complete and
  // must outlive the resampler.
  AreaResampler(int source_width, int source_height, double fx, double fy, double top,
                Raster* dest);

  // The source rows the destination needs: [FirstSourceRow, EndSourceRow).
  int FirstSourceRow() const { return first_row_; }
  int EndSourceRow() const { return end_row_; }

  // Rows must come in order, starting at FirstSourceRow; `row` holds
  // source_width pixels.
  void PushRow(const uint32_t* row);

  // Completes the destination when the source ended before EndSourceRow (a
  // broken file): the rows not reached repeat the last row made, or are mid
  // grey when none was.
  void Finish();

 private:
  struct Span {
    int first = 0;
    int count = 0;
    int weight_index = 0;
  };
  Span RowSpan(int y) const;
  void MakeRow(int y);
  void StoreRow(int y, const float* rgb);

  int source_width_, source_height_;
  double fy_, top_;
  Raster* dest_;
  bool identity_ = false;
  int first_row_ = 0, end_row_ = 0;
  int next_source_row_ = 0;  // the row PushRow expects
  int next_dest_row_ = 0;    // the first destination row not yet written

  std::vector<Span> column_spans_;
  std::vector<float> column_weights_;
  // Horizontally resampled source rows, a ring indexed by source row % capacity.
  int ring_capacity_ = 0;
  std::vector<float> ring_;
  std::vector<float> row_sum_;
};

}  // namespace sarn
