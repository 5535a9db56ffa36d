// The recomputation chain from a released scan line to the copied result text
// (scan, hi.dat, guide lines, sag, preselection with its nested evaluations,
// tension evaluation, result text) over a 5000 x 1667 working image held in
// memory, and the same chain as started by one keystroke in Text1, both run
// by the measurement session as the window runs them. Target: under 2 ms
// each.
//
// With precision tracing the chain also traces the conductor across the whole
// span and forms the sag from the fitted rows; target under 10 ms. Its photo
// adds camera noise and a band of foliage behind a third of the span, so that
// the consensus search meets clutter.
//
// `chain_bench --first-run=default|precision` instead runs the chain once in
// this fresh process and prints its wall and CPU time in milliseconds (what a user meets
// on the first line drawn); run it alternately for both to compare medians.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "session/measurement_session.h"
#include "state/wire_table.h"
#include "tracing/hi_dat.h"
#include "tracing/precision_trace.h"
#include "tracing/scan.h"

namespace sarn {
namespace {

constexpr int32_t kWidth = 5000;
constexpr int32_t kHeight = 1667;
constexpr float kImgScale = 4.0f;  // working-image pixels per overview unit

// A grey sky with a faint vertical gradient and a 6-pixel dark conductor
// hanging as a catenary between rows 600 at both ends and about 720 at the
// middle of the picture.
class SyntheticPhoto : public PixelSource {
 public:
  SyntheticPhoto() : pixels_(static_cast<size_t>(kWidth) * kHeight) {
    for (int32_t y = 0; y < kHeight; ++y) {
      const int32_t sky = 200 + y * 40 / kHeight;
      const int32_t grey = sky | (sky << 8) | (sky << 16);
      for (int32_t x = 0; x < kWidth; ++x)
        pixels_[Index(x, y)] = grey;
    }
    const double middle = kWidth / 2.0;
    const double c = 12000.0;  // catenary parameter, pixels
    const double lift = c * std::cosh(middle / c) - c;
    for (int32_t x = 0; x < kWidth; ++x) {
      const double sag_here = lift - (c * std::cosh((x - middle) / c) - c);
      const auto top = static_cast<int32_t>(std::lround(600.0 + sag_here * 120.0 / lift));
      for (int32_t y = top; y < top + 6; ++y)
        pixels_[Index(x, y)] = 0x202828;
    }
  }

  int32_t Point(int32_t x, int32_t y) const override {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight)
      return -1;
    return pixels_[Index(x, y)];
  }

  // The pixels as precision tracing reads them (grey, so 0x00BBGGRR and
  // 0xFFRRGGBB name the same colours).
  ImageView View() const {
    return {reinterpret_cast<const uint32_t*>(pixels_.data()), kWidth, kHeight};
  }

  // The picture as a loaded photo whose overview is kImgScale times smaller:
  // the working raster (0xFFRRGGBB) the session scans and traces.
  LoadedPhoto Loaded() const {
    LoadedPhoto photo;
    photo.plan.W2 = static_cast<int16_t>(kWidth);
    photo.plan.H2 = static_cast<int16_t>(kHeight);
    photo.photo_width = kWidth;
    photo.photo_height = kHeight;
    photo.working.width = kWidth;
    photo.working.height = kHeight;
    photo.working.pixels = PixelBuffer(pixels_.size());
    for (size_t i = 0; i < pixels_.size(); ++i) {
      const auto bgr = static_cast<uint32_t>(pixels_[i]);  // 0x00BBGGRR
      photo.working.pixels[i] =
          0xFF000000u | (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
    }
    photo.overview_plan.ImgScale = kImgScale;
    photo.limit = kWidth;
    return photo;
  }

  // Adds camera noise (+-6 grey levels) everywhere and a dark, textured
  // band of foliage behind columns 400..2000 from row 560 down (above the
  // conductor there), drawn behind the conductor.
  void AddClutter() {
    uint64_t state = 12345;
    auto next = [&state] {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      return static_cast<int32_t>((state >> 33) % 13) - 6;
    };
    for (int32_t y = 0; y < kHeight; ++y) {
      for (int32_t x = 0; x < kWidth; ++x) {
        int32_t& p = pixels_[Index(x, y)];
        const bool conductor = p == 0x202828;
        int32_t grey = (p >> 16) & 0xFF;
        if (!conductor && x >= 400 && x < 2000 && y >= 560)
          grey = 70 + ((x / 3 + y / 5) % 7) * 6;  // foliage
        grey = std::clamp(grey + next(), 0, 255);
        p = grey | (grey << 8) | (grey << 16);
      }
    }
  }

 private:
  static size_t Index(int32_t x, int32_t y) {
    return static_cast<size_t>(y) * kWidth + static_cast<size_t>(x);
  }
  std::vector<int32_t> pixels_;
};

// One conductor in the table; span 200 m at 15 degC, distance 60 m, height
// 10 m, both design temperatures 20 degC.
WireData BenchWires() {
  WireRecord wire;
  wire.Name = "ACSR 240            ";
  wire.Weight = 1.1f;
  wire.BreakLoad = 90;
  wire.SafetyFactor = 2.2f;
  wire.Elasticity = 90;
  wire.Expansion = 19;
  wire.Diameter = 22.4f;
  wire.WindFactor = 1;
  wire.Area = 300;
  WireData data;
  data.WireLast = 0;
  data.DesignTemp = {20, 20};
  data.WireTable = {wire};
  return data;
}

SessionInputs BenchInputs() {
  SessionInputs inputs;
  inputs.span_text = "200";
  inputs.air_temp_text = "15";
  inputs.distance_text = "60";
  inputs.height_text = "10";
  return inputs;
}

// A folder for hi.dat, removed at exit.
class BenchFolder {
 public:
  BenchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sarn_bench_XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
  }
  ~BenchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;
  std::string HiDatPath() const { return (path_ / "hi.dat").string(); }
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

struct ChainResult {
  std::string text;   // the clipboard text
  float sag = 0;      // m, SagEst(0)
  float present = 0;  // kgf, PresentTension
};

// Keeps the result text the session copies.
class CopiedText : public SessionEvents {
 public:
  void ResultCopied(const std::string& text) override { last = text; }
  std::string last;
};

// The session with the bench's inputs and photo (with clutter: camera noise
// and foliage behind a third of the span).
struct Fixture {
  explicit Fixture(bool cluttered = false) {
    if (cluttered)
      photo.AddClutter();
    session.SetEvents(&copied);
    session.SetInputs(BenchWires(), BenchInputs());
    session.SetPhoto(photo.Loaded(), "synthetic", static_cast<int>(kWidth / kImgScale));
  }
  SyntheticPhoto photo;
  BenchFolder folder;
  MeasurementSession session{folder.Path()};
  CopiedText copied;
  // Drawn in overview units from near the left end to near the right end,
  // about 30 pixels above the conductor's ends.
  ScanLine line{20, 142, 1230, 142};

  ChainResult Result() const {
    if (session.MeasurementFailure())
      return {session.MeasurementFailure()->English()};
    return {copied.last, session.Sag().SagEst[0], session.PresentTension()};
  }
};

// The line released: scan, hi.dat, guide lines, (precision tracing,) sag,
// preselection with its nested evaluations, evaluation, result text.
ChainResult RunChain(Fixture& f) {
  f.session.SetLine(f.line);
  return f.Result();
}

// Shows what the chain found, so that a broken picture or line is noticed.
void ReportResult(benchmark::State& state, const ChainResult& result) {
  state.counters["sag_m"] = result.sag;
  state.counters["present_kgf"] = result.present;
}

void BM_ChainFromReleasedLine(benchmark::State& state) {
  Fixture f;
  ChainResult result;
  for (auto _ : state) {
    result = RunChain(f);
    benchmark::DoNotOptimize(result);
  }
  ReportResult(state, result);
}
BENCHMARK(BM_ChainFromReleasedLine)->Unit(benchmark::kMicrosecond);

// One keystroke in Text1 ("4" -> "45"): the threshold is parsed afresh and the
// whole chain runs again from the scan.
void BM_Text1KeystrokeRescan(benchmark::State& state) {
  Fixture f;
  f.session.TrackLine(f.line);
  f.session.SetLine(f.line);
  f.session.SetCriterion(Criterion::Darkness);
  const std::array<std::string, 2> texts = {"4", "45"};
  size_t keystrokes = 0;
  ChainResult result;
  for (auto _ : state) {
    f.session.SetThresholdText(texts[keystrokes++ % texts.size()]);
    result = f.Result();
    benchmark::DoNotOptimize(result);
  }
  ReportResult(state, result);
}
BENCHMARK(BM_Text1KeystrokeRescan)->Unit(benchmark::kMicrosecond);

// The parts on their own, to see where the time goes.
void BM_ScanOnly(benchmark::State& state) {
  Fixture f;
  for (auto _ : state) {
    ScanResult scan = RunScan(f.line, kImgScale, f.photo, Criterion::ChangeValue, 40);
    benchmark::DoNotOptimize(scan);
  }
}
BENCHMARK(BM_ScanOnly)->Unit(benchmark::kMicrosecond);

void BM_HiDatWrite(benchmark::State& state) {
  Fixture f;
  const ScanResult scan = RunScan(f.line, kImgScale, f.photo, Criterion::ChangeValue, 40);
  for (auto _ : state) {
    benchmark::DoNotOptimize(WriteHiDat(f.folder.HiDatPath(), scan));
  }
}
BENCHMARK(BM_HiDatWrite)->Unit(benchmark::kMicrosecond);

void BM_ChainWithPrecisionTracing(benchmark::State& state) {
  Fixture f(true);
  f.session.SetPrecision(true);
  ChainResult result;
  for (auto _ : state) {
    result = RunChain(f);
    benchmark::DoNotOptimize(result);
  }
  ReportResult(state, result);
  if (!result.text.empty() && result.sag == 0)
    state.SkipWithError(result.text.c_str());
}
BENCHMARK(BM_ChainWithPrecisionTracing)->Unit(benchmark::kMicrosecond);

void BM_PrecisionTraceOnly(benchmark::State& state) {
  Fixture f(true);
  const ImageView view = f.photo.View();
  PrecisionTrace trace;
  for (auto _ : state) {
    trace = TracePrecisely(view, f.line, kImgScale);
    benchmark::DoNotOptimize(trace);
  }
  state.counters["sag_px"] = trace.sag_px;
  state.counters["columns_used"] = trace.columns_used;
  state.counters["residual_px"] = trace.residual_px;
}
BENCHMARK(BM_PrecisionTraceOnly)->Unit(benchmark::kMicrosecond);

// One chain in this fresh process; prints milliseconds.
int FirstRun(const char* mode) {
  Fixture f(true);
  f.session.SetPrecision(std::strcmp(mode, "precision") == 0);
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpu_start = std::clock();
  const ChainResult result = RunChain(f);
  const std::clock_t cpu_end = std::clock();
  const auto end = std::chrono::steady_clock::now();
  std::printf("%s %.3f ms wall %.3f ms cpu sag %.4f m\n", mode,
              std::chrono::duration<double, std::milli>(end - start).count(),
              1000.0 * static_cast<double>(cpu_end - cpu_start) / CLOCKS_PER_SEC,
              static_cast<double>(result.sag));
  if (!(result.sag > 0))
    std::printf("no result: %s\n", result.text.c_str());
  return result.sag > 0 ? 0 : 1;
}

}  // namespace
}  // namespace sarn

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--first-run=", 12) == 0)
      return sarn::FirstRun(argv[i] + 12);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
