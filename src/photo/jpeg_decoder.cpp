#include "photo/jpeg_decoder.h"

// clang-format off
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <bit>
#include <string>

namespace sarn {

namespace {

static_assert(std::endian::native == std::endian::little,
              "JCS_EXT_BGRX gives 0x??RRGGBB words on little-endian machines only");

// libjpeg reports fatal errors through error_exit, which must not return; it
// jumps back to the setjmp in the decoding function. Only libjpeg's own C
// frames lie between, so no destructor is skipped.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  int code;
  char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  err->code = cinfo->err->msg_code;
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings (corrupt data, premature end) are counted by libjpeg; nothing is
// printed.
void Silent(j_common_ptr) {}

void InitError(ErrorManager* err, jpeg_decompress_struct* cinfo) {
  cinfo->err = jpeg_std_error(&err->pub);
  err->pub.error_exit = OnError;
  err->pub.output_message = Silent;
  err->code = 0;
  err->message[0] = '\0';
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

LoadFailure FailureOf(const ErrorManager& err) {
  if (err.code == JERR_OUT_OF_MEMORY)
    return LoadFailure{kErrOutOfMemory, std::string("JPEG decoder: ") + err.message, true};
  return LoadFailure{kErrInvalidPicture, std::string("JPEG decoder: ") + err.message, false};
}

}  // namespace

bool LooksLikeJpeg(std::span<const uint8_t> bytes) {
  return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

std::variant<JpegSize, LoadFailure> ReadJpegSize(std::span<const uint8_t> bytes) {
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

std::optional<LoadFailure> DecodeJpegInto(std::span<const uint8_t> bytes, int scale_eighths,
                                          AreaResampler* resampler) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  InitError(&err, &cinfo);
  // 0: before the header, 1: header read, 2: rows being decoded.
  volatile int stage = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    if (stage == 2 && err.code != JERR_OUT_OF_MEMORY)
      return std::nullopt;  // keep what was decoded; the caller finishes the raster
    return FailureOf(err);
  }
  jpeg_create_decompress(&cinfo);
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
  const JpegSize expected = ScaledJpegSize(
      {static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height)}, scale_eighths);
  if (static_cast<int>(cinfo.output_width) != expected.width ||
      static_cast<int>(cinfo.output_height) != expected.height || cinfo.output_components != 4) {
    jpeg_destroy_decompress(&cinfo);
    return LoadFailure{kErrInvalidPicture, "JPEG decoder: unexpected output size", false};
  }
  stage = 2;
  const auto first = static_cast<JDIMENSION>(resampler->FirstSourceRow());
  const auto end = static_cast<JDIMENSION>(resampler->EndSourceRow());
  if (first > 0 && jpeg_skip_scanlines(&cinfo, first) != first) {
    jpeg_destroy_decompress(&cinfo);
    return std::nullopt;
  }
  while (cinfo.output_scanline < end && cinfo.output_scanline < cinfo.output_height) {
    // Decoded straight into the resampler's row (or the working image's).
    uint32_t* target = resampler->RowBuffer();
    JSAMPROW row = reinterpret_cast<JSAMPROW>(target);
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
      break;
    if (cmyk)
      CmykToBgrx(row, static_cast<int>(cinfo.output_width));
    resampler->PushRow(target);
  }
  // The rows below are not needed; abandon the image without reading them.
  jpeg_destroy_decompress(&cinfo);
  return std::nullopt;
}

}  // namespace sarn
