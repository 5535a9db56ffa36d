// Regenerates the sample photo and its scan line:
//   sarn_render_sample OUT_DIR                 -> OUT_DIR/span.jpg, OUT_DIR/span.line
//   sarn_render_sample --size W H OUT_FILE [--quality Q] [--noise SIGMA] [--trees RISE]
//                      [--orientation N]
//                                              -> the sample scene at W x H (JPEG
//                                                 quality Q, noise SIGMA grey levels;
//                                                 stored turned as EXIF Orientation N
//                                                 says, and tagged so);
//                                                 prints its scan line X1,Y1,X2,Y2
//                                                 (in the upright photo)
// The scene is deterministic (fixed seed), so the files are the same on every run.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/exif_block.h"
#include "support/span_photo.h"

namespace {

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

int Usage() {
  std::fprintf(stderr,
               "usage: sarn_render_sample OUT_DIR\n"
               "       sarn_render_sample --size WIDTH HEIGHT OUT_FILE [--quality Q] "
               "[--noise SIGMA] [--trees RISE] [--orientation N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace sarn::test;
  const SpanScene sample = SampleSpanScene();
  if (argc >= 5 && std::string(argv[1]) == "--size") {
    const int w = std::atoi(argv[2]);
    const int h = std::atoi(argv[3]);
    if (w <= 0 || h <= 0)
      return Usage();
    SpanScene scene = ScaledScene(sample, w, h);
    int orientation = 1;
    for (int i = 5; i < argc; i += 2) {
      const std::string option = argv[i];
      if (i + 1 >= argc)
        return Usage();
      if (option == "--quality")
        scene.quality = std::atoi(argv[i + 1]);
      else if (option == "--noise")
        scene.noise = std::atof(argv[i + 1]);
      else if (option == "--orientation")
        orientation = std::atoi(argv[i + 1]);
      else if (option == "--trees") {  // a tree line rising RISE px above the conductor
        scene.backdrop = SpanScene::Backdrop::Trees;
        scene.backdrop_from = scene.left_x + (scene.right_x - scene.left_x) * 0.3;
        scene.backdrop_to = scene.left_x + (scene.right_x - scene.left_x) * 0.75;
        scene.backdrop_rise = std::atof(argv[i + 1]);
      } else
        return Usage();
    }
    if (scene.quality < 1 || scene.quality > 100 || !(scene.noise >= 0) || orientation < 1 ||
        orientation > 8)
      return Usage();
    std::vector<uint8_t> jpeg = RenderSpanJpeg(scene);
    if (orientation != 1)
      jpeg = StoredWithOrientation(jpeg, orientation);
    if (jpeg.empty() || !WriteBytes(argv[4], jpeg)) {
      std::fprintf(stderr, "cannot write %s\n", argv[4]);
      return 1;
    }
    const PhotoLine line = SampleScanLine(scene);
    std::printf("%ld,%ld,%ld,%ld\n", static_cast<long>(line.x1), static_cast<long>(line.y1),
                static_cast<long>(line.x2), static_cast<long>(line.y2));
    return 0;
  }
  if (argc != 2)
    return Usage();
  const std::string dir = argv[1];
  const std::vector<uint8_t> jpeg = RenderSpanJpeg(sample);
  if (jpeg.empty() || !WriteBytes(dir + "/span.jpg", jpeg)) {
    std::fprintf(stderr, "cannot write %s/span.jpg\n", dir.c_str());
    return 1;
  }
  const PhotoLine line = SampleScanLine(sample);
  std::ofstream text(dir + "/span.line", std::ios::trunc);
  text << static_cast<long>(line.x1) << ',' << static_cast<long>(line.y1) << ','
       << static_cast<long>(line.x2) << ',' << static_cast<long>(line.y2) << '\n';
  if (!text) {
    std::fprintf(stderr, "cannot write %s/span.line\n", dir.c_str());
    return 1;
  }
  std::printf("span.jpg: %zu bytes; sag %.1f px; line %ld,%ld,%ld,%ld\n", jpeg.size(), sample.sag,
              static_cast<long>(line.x1), static_cast<long>(line.y1), static_cast<long>(line.x2),
              static_cast<long>(line.y2));
  return 0;
}
