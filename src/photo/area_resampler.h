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
// 0xFF). Rows first: the source rows under a destination row are averaged
// (16-bit sums of bytes times weights, in a loop the compiler vectorises)
// into one source-wide row, rounded to whole levels, and that row's columns
// are averaged into the destination row. Weights are in steps of 1/256 and
// sum to exactly 1, so a flat area keeps its value; the result is within 1.5
// levels of the exact area average (half a level from the weights on each
// axis, half from the rounding between the passes), well under the JPEG noise. Cost per destination
// row: 4 (ceil(fy) + 1) byte multiply-adds per source pixel, then ceil(fx) + 1 64-bit multiply-adds
// per destination pixel (the four bytes ride in 16-bit lanes of one word;
// every column has the same number of taps, padded with zero weights, so the
// loop does not branch; two, three and four taps have SSE2 loops with the
// same sums and rounding, and where the processor runs AVX2 two taps are made
// four columns a step and three taps as two taps plus the columns that use
// all three; the row blends are built for AVX2 too; the bytes are the same).

#include <cstdint>
#include <vector>

#include "photo/raster.h"

namespace sarn {

// Whether this process may run on more than one processor (its affinity
// mask), so that a second thread can share a large resampling.
bool TwoProcessorsAllowed();

// A source stored turned or mirrored (EXIF orientation 2 to 8) is resampled
// as the same source shown upright: the geometry above, the weights and the
// sums are those of the upright source, only the order in which its pixels
// arrive differs, and the integer sums do not depend on it, so the result is
// the upright source's to the bit. The stored rows come top to bottom as
// they are decoded; no upright copy of the source is made:
//  - orientations 2 to 4 (stored rows are upright rows): each destination row
//    is made when its stored rows are in (from the bottom up for 3 and 4),
//    and a mirrored row's columns are read from the right;
//  - orientations 5 to 8 (stored rows are upright columns): each stored row is
//    first averaged across into one value per destination row (the upright
//    vertical pass, which comes first), and when the stored rows under a
//    destination column are in, they are averaged into that column.
class AreaResampler {
 public:
  // `dest` must already have its size; every pixel of it is written (as rows
  // complete, and by Finish), so its pixels may be unset at the start. It
  // must outlive the resampler. source_width x source_height is the source
  // upright; `orientation` (EXIF, 1..8) how it is stored.
  AreaResampler(int source_width, int source_height, double fx, double fy, double top, Raster* dest,
                int orientation = 1);

  // The stored source rows the destination needs: [FirstSourceRow,
  // EndSourceRow).
  int FirstSourceRow() const { return first_row_; }
  int EndSourceRow() const { return end_row_; }
  // Pixels of one stored row: source_width, or source_height for
  // orientations 5 to 8.
  int StoredWidth() const { return stored_width_; }
  // The stored columns the destination reads: [FirstSourceColumn,
  // EndSourceColumn). Less than the whole row only for orientations 5 to 8
  // with the cut (the cut rows are stored columns); a decoder may leave the
  // other columns of each row unset.
  int FirstSourceColumn() const { return first_column_; }
  int EndSourceColumn() const { return end_column_; }

  // How many of the last stored rows pushed with `row_stays` the resampler
  // may still read: a row must stay in place until this many more are
  // pushed.
  int RowsHeld() const { return ring_capacity_; }

  // Stored rows must come in order, starting at FirstSourceRow; `row` holds
  // StoredWidth() pixels. With `row_stays` the caller promises the row stays
  // in place until the resampler is done (an in-memory source) and it is not
  // copied.
  void PushRow(const uint32_t* row, bool row_stays = false);

  // Where the caller may write the next row (StoredWidth() pixels) before
  // pushing it, to save a copy: a slot of the resampler's own, or the
  // destination row itself when rows are copied unchanged. RowBuffer(1) is
  // the place of the row after it, so that a decoder can write two rows
  // before pushing them in order.
  static constexpr int kRowsAhead = 2;
  uint32_t* RowBuffer(int ahead = 0);

  // Makes destination rows [first, end) only, so that two resamplers can
  // make one destination in parts at the same time; FirstSourceRow and
  // EndSourceRow then bound the rows those need, and Finish completes that
  // part only. Only for an upright source that is not copied unchanged, and
  // before the first row is pushed: false (and nothing changed) otherwise.
  bool MakeRowsOnly(int first, int end);

  // Tests: resamplers made from now on use the baseline (SSE2) loops even
  // where the processor runs AVX2, so that both can be checked to give the
  // same bytes.
  static void BaselineOnlyForTest(bool on);

  // Completes the destination when the source ended before EndSourceRow (a
  // broken file): the rows not reached repeat the last row made, or are mid
  // grey when none was.
  void Finish();

 private:
  struct Span {
    int first = 0;
    int count = 0;
  };
  Span RowSpan(int y) const;
  // The stored rows under destination step `j` (a destination row, or for
  // orientations 5 to 8 a destination column), in the order the steps
  // complete as stored rows come in.
  Span StepSpan(int j) const;
  int StepIndex(int j) const;  // the destination row or column of step j
  int StoredRow(int upright) const;
  // The weighted mean of the upright rows (or, transposed, columns) of the
  // area [a, b) along the stored rows' axis, `n` pixels wide, into `out`;
  // returns `out` or, for a single row, the row itself.
  const uint32_t* StoredRowsMean(double a, double b, int upright_count, size_t n, uint32_t* out);
  void MakeRow(int y);
  void MakeColumn(int x);
  // The pass across one stored row (or a mean of rows) into `out`.
  void Across(const uint32_t* row, uint32_t* out);
  template <int kTaps>
  void ResampleColumns(const uint32_t* row, uint32_t* out);
  void ResampleTwoColumnsSse2(const uint32_t* row, uint32_t* out);
  void ResampleThreeColumnsSse2(const uint32_t* row, uint32_t* out);
  uint32_t ThreeTapColumn(const uint32_t* row, int x) const;
  void ResampleTwoColumnsAvx2(const uint32_t* row, uint32_t* out, const int* first,
                              const uint16_t* lanes);
  bool avx2_ = false;  // the processor runs AVX2
  void ResampleFourColumnsSse2(const uint32_t* row, uint32_t* out);

  int source_width_, source_height_;
  double fx_, fy_, top_;
  Raster* dest_;
  int orientation_ = 1;
  bool transposed_ = false;     // orientations 5..8: stored rows are upright columns
  bool rows_reversed_ = false;  // the stored rows run against the upright axis they follow
  int stored_width_ = 0, stored_height_ = 0;
  int steps_ = 0;            // destination rows, or columns when transposed
  int next_step_ = 0;        // the first step not yet made
  int first_step_ = 0;       // the first step this resampler makes (MakeRowsOnly)
  int column_count_ = 0;     // outputs of the pass across a stored row
  bool single_tap_ = false;  // every output of that pass copies one pixel
  bool identity_ = false;
  int first_row_ = 0, end_row_ = 0;
  int first_column_ = 0, end_column_ = 0;
  int next_source_row_ = 0;  // the row PushRow expects
  int next_dest_row_ = 0;    // the first destination row not yet written

  int taps_ = 0;                          // source columns per destination column
  std::vector<int> column_first_;         // first source column of each
  std::vector<uint16_t> column_weights_;  // taps_ per column, 1/256 steps
  // Each column's weights spread over 16-bit lanes, one per colour byte:
  // (w0 x4, w1 x4) at two taps (AVX2), and (w2 x4, w3 x4) after them at three
  // and four (SSE2).
  std::vector<uint16_t> lane_weights_;
  // Three taps with AVX2: each column as two taps (its first source pixel
  // with a weight, and those two weights spread over lanes), and the columns
  // whose three weights are all used.
  std::vector<int> pair_first_;
  std::vector<uint16_t> pair_lanes_;
  std::vector<int> three_tap_columns_;
  std::vector<uint64_t> expanded_;  // a row with each byte in a 16-bit lane
  // The last source rows, a ring indexed by source row % capacity: each
  // points into `ring_` or at a row the caller keeps in place.
  int ring_capacity_ = 0;
  std::vector<uint32_t> ring_;
  std::vector<const uint32_t*> ring_rows_;
  std::vector<uint32_t> scratch_;      // RowBuffer for rows outside the destination
  std::vector<uint16_t> row_sum_;      // the rows under a destination row, 256 x each byte
  std::vector<uint32_t> row_mean_;     // their average, one source-wide row
  std::vector<const uint32_t*> rows_;  // the rows of one mean
  // Transposed, the destination is made a column at a time. Writing a column
  // straight into the destination touches one page per row (a 5000-wide
  // raster's rows are 20 kB apart), so kBlock columns are gathered, each as
  // one run, and the block is turned into the destination's rows (8 x 8
  // pixels at a time with AVX2).
  static constexpr int kBlock = 8;
  std::vector<uint32_t> block_;      // kBlock columns of dest height, column-major
  int block_first_ = -1;             // the block's first destination column, -1: empty
  int block_lo_ = 0, block_hi_ = 0;  // the columns made in it, [lo, hi)
  void FlushBlock();
};

}  // namespace sarn
