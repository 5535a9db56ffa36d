// Detail figures of photo loading, warm, inside one process (the headline
// figure is bench/first_load.sh: whole fresh processes against djpeg).
//   BM_FullDecode/24MP, /48MP:  TurboJPEG tjDecompress2 of the whole JPEG to
//                   RGB (output buffer allocated once), the plain-decode
//                   baseline.
//   BM_LoadPhoto/24MP, /48MP:   LoadPhotoWithRecovery at the default settings
//                   (limit 5000, cut on): file -> 5000-wide working image ->
//                   overview. 6000 -> 5000 resamples with two taps per pixel,
//                   8000 -> 5000 with three.
// The photos (the sample span scene, noise 4, quality 90, 4:2:0) are rendered
// in code into a temporary folder before the runs.
// `photo_load_bench --probe-load=FILE` instead loads FILE once at the default
// settings and prints the peak resident memory of the process (nothing else
// runs, so it is the memory of loading).

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <turbojpeg.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "photo/photo_loader.h"
#include "support/span_photo.h"
#include "support/temp_folder.h"

namespace {

constexpr int kInnerWidth = 1004;

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

void FullDecode(benchmark::State& state, const std::vector<uint8_t>& jpeg) {
  tjhandle handle = tjInitDecompress();
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  tjDecompressHeader3(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), &width, &height,
                      &subsampling, &colourspace);
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
  for (auto _ : state) {
    const int rc = tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                                 rgb.data(), width, width * 3, height, TJPF_RGB, 0);
    if (rc != 0)
      state.SkipWithError(tjGetErrorStr2(handle));
    benchmark::DoNotOptimize(rgb.data());
  }
  tjDestroy(handle);
  state.counters["megapixels"] = width * static_cast<double>(height) / 1e6;
}

void LoadPhoto(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    sarn::LoadOutcome out =
        sarn::LoadPhotoWithRecovery(path, sarn::LoadSettings{}, kInnerWidth, {});
    if (!out.photo || out.attempts != 1) {
      state.SkipWithError("the photo did not load on the first attempt");
      break;
    }
    benchmark::DoNotOptimize(out.photo->overview.pixels.data());
  }
  state.counters["peak_rss_MiB"] = PeakRssMiB();
}

int ProbeLoad(const std::string& path) {
  const double before = PeakRssMiB();
  const sarn::LoadOutcome out =
      sarn::LoadPhotoWithRecovery(path, sarn::LoadSettings{}, kInnerWidth, {});
  if (!out.photo) {
    std::fprintf(stderr, "load failed: %s\n", out.failure ? out.failure->English().c_str() : "?");
    return 1;
  }
  std::printf("photo %d x %d, case %c, working %d x %d, attempts %d\n", out.photo->photo_width,
              out.photo->photo_height, sarn::LoadCaseLetter(out.photo->plan.load_case),
              out.photo->working.width, out.photo->working.height, out.attempts);
  std::printf("peak RSS before loading %.1f MiB, after %.1f MiB\n", before, PeakRssMiB());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string probe = "--probe-load=";
  if (argc == 2 && std::string(argv[1]).rfind(probe, 0) == 0)
    return ProbeLoad(std::string(argv[1]).substr(probe.size()));

  sarn::test::TempFolder dir;
  for (auto [name, w, h] : {std::tuple{"24MP", 6000, 4000}, {"48MP", 8000, 6000}}) {
    sarn::test::SpanScene scene = sarn::test::ScaledScene(sarn::test::SampleSpanScene(), w, h);
    scene.noise = 4;
    scene.quality = 90;
    const std::vector<uint8_t> jpeg = sarn::test::RenderSpanJpeg(scene);
    const std::string path = dir.Write(std::string("span") + name + ".jpg", jpeg);
    benchmark::RegisterBenchmark((std::string("BM_FullDecode/") + name).c_str(), FullDecode, jpeg)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark((std::string("BM_LoadPhoto/") + name).c_str(), LoadPhoto, path)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
