// `sarn measure` end to end: a rendered span photo in, the result text, the
// JSON record, hi.dat and the batch CSV out.

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <nlohmann/json.hpp>

#include "e2e/measure_fixture.h"
#include "photo/photo_exif.h"
#include "support/exif_block.h"
#include "support/heic_photo.h"
#include "support/span_photo.h"

namespace sarn::test {
namespace {

SpanScene SmallSpan() {
  SpanScene scene;
  scene.width = 2000;
  scene.height = 1400;
  scene.left_x = 150;
  scene.left_y = 560;
  scene.right_x = 1850;
  scene.right_y = 520;
  scene.sag = 60;
  scene.thickness = 4;
  scene.seed = 3;
  scene.quality = 85;
  return scene;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start) + "<no CR LF>");
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

class MeasureCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    scene_ = SmallSpan();
    photo_ = fixture_.folder().Write("span.jpg", RenderSpanJpeg(scene_));
  }
  MeasureFixture fixture_;
  SpanScene scene_;
  std::string photo_;
};

TEST_F(MeasureCommand, PlainOutputIsTheSevenLineResultText) {
  CliRun run = fixture_.Run({"measure", photo_, "--line", LineArgument(scene_)});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = SplitCrLf(run.out);
  ASSERT_EQ(lines.size(), 7u) << run.out;
  // The first conductor's name keeps its padding to 20 characters.
  EXPECT_EQ(lines[0].rfind("硬銅より線 22mm2", 0), 0u) << lines[0];
  EXPECT_EQ(lines[0].back(), ' ');
  EXPECT_EQ(lines[1], "40");
  EXPECT_EQ(lines[2], "60");
  for (int i = 3; i < 7; ++i) {
    EXPECT_FALSE(lines[i].empty()) << "line " << i + 1;
    EXPECT_EQ(lines[i].find_first_not_of("0123456789."), std::string::npos) << lines[i];
    EXPECT_EQ(lines[i].substr(lines[i].size() - 2, 1), ".") << "one decimal: " << lines[i];
  }
}

TEST_F(MeasureCommand, JsonRecordsTheStationsNearTheConductor) {
  CliRun run = fixture_.Run({"measure", photo_, "--line", LineArgument(scene_), "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string& json = run.out;
  for (const char* key :
       {"\"working_image\"", "\"case\":\"C\"", "\"stations\"", "\"sag\"", "\"chord_length\"",
        "\"tension_estimates\"", "\"ticks\"", "\"present_tension\"", "\"allowable_a\"",
        "\"allowable_bc\"", "\"bc_class\":\"B\"", "\"governing\"", "\"ratio\"", "\"specified_sag\"",
        "\"shown\"", "\"ratio_colour\"", "\"error\":null", "\"result_text\""}) {
    EXPECT_NE(json.find(key), std::string::npos) << key << " missing in " << json;
  }
  // Case C: the working image is the photo's middle half; row y shows photo
  // row y + H2/2. Every station's conductor row lies within 2 px of the truth.
  EXPECT_EQ(JsonNumber(json, "width"), 2000);
  EXPECT_EQ(JsonNumber(json, "height"), 700);
  const double offset = 350;
  size_t pos = json.find("\"stations\"");
  for (int i = 0; i < 9; ++i) {
    pos = json.find("\"x\":", pos);
    ASSERT_NE(pos, std::string::npos);
    const std::string station = json.substr(pos - 1);
    const double x = JsonNumber(station, "x");
    const double wire_y = JsonNumber(station, "wire_y");
    const double truth = ConductorTopRow(scene_, x + 0.5) - offset;
    EXPECT_NEAR(wire_y, truth, 2.0) << "station " << i;
    pos += 4;
  }
  // The sag of the chord between stations 0 and 8, at the scale the command
  // uses (span 40 m over the chord's horizontal extent).
  const double x0 = scene_.left_x + 14, x8 = scene_.right_x - 14;
  const double truth_px = ConductorCentreRow(scene_, (x0 + x8) / 2) -
                          (ConductorCentreRow(scene_, x0) + ConductorCentreRow(scene_, x8)) / 2;
  const double metres_per_px = 40.0 / (x8 - x0);
  EXPECT_NEAR(JsonNumber(json, "sag", 0), truth_px * metres_per_px,
              1.5 * metres_per_px + 0.01 * truth_px * metres_per_px);
}

TEST_F(MeasureCommand, WritesHiDatWholeBesideTheProgram) {
  // A longer stale file must not keep its tail.
  fixture_.folder().Write("hi.dat", std::vector<uint8_t>(9000, 0xAB));
  CliRun run = fixture_.Run({"measure", photo_, "--line", LineArgument(scene_)});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::filesystem::file_size(fixture_.folder().PathOf("hi.dat")), 7272u);
}

TEST_F(MeasureCommand, LoadCasesFollowCutAndLimit) {
  CliRun no_cut =
      fixture_.Run({"measure", photo_, "--line", LineArgument(scene_), "--no-cut", "--json"});
  ASSERT_EQ(no_cut.status, 0) << no_cut.err;
  EXPECT_NE(no_cut.out.find("\"case\":\"A\""), std::string::npos);
  EXPECT_EQ(JsonNumber(no_cut.out, "height"), 1400);

  CliRun scaled = fixture_.Run(
      {"measure", photo_, "--line", LineArgument(scene_), "--limit", "1000", "--json"});
  ASSERT_EQ(scaled.status, 0) << scaled.err;
  EXPECT_NE(scaled.out.find("\"case\":\"D\""), std::string::npos);
  EXPECT_EQ(JsonNumber(scaled.out, "width"), 1000);
  EXPECT_FLOAT_EQ(static_cast<float>(JsonNumber(scaled.out, "scale")), 0.5f);
  // The line is mapped into the working image: halved, less the cut quarter.
  EXPECT_NEAR(JsonNumber(scaled.out, "line", 0), (scene_.left_x + 14) / 2, 1e-3);
  // The sag in metres does not depend on the working-image scale (within a
  // working pixel's worth).
  const double full = JsonNumber(no_cut.out, "sag", 0);
  const double half = JsonNumber(scaled.out, "sag", 0);
  EXPECT_NEAR(half, full, 2 * 40.0 / 850);
}

TEST_F(MeasureCommand, RightToLeftLineGivesTheSameSag) {
  CliRun ltr = fixture_.Run({"measure", photo_, "--line", LineArgument(scene_), "--json"});
  CliRun rtl = fixture_.Run({"measure", photo_, "--line", LineArgument(scene_, true), "--json"});
  ASSERT_EQ(ltr.status, 0) << ltr.err;
  ASSERT_EQ(rtl.status, 0) << rtl.err;
  EXPECT_NEAR(JsonNumber(rtl.out, "sag", 0), JsonNumber(ltr.out, "sag", 0), 40.0 / 1672);
}

TEST_F(MeasureCommand, BottomPanelInputsReachTheResult) {
  const std::string line = LineArgument(scene_);
  CliRun base = fixture_.Run({"measure", photo_, "--line", line, "--json"});
  CliRun heavier =
      fixture_.Run({"measure", photo_, "--line", line, "--json", "--wire", "7", "--span", "80m"});
  ASSERT_EQ(base.status, 0) << base.err;
  ASSERT_EQ(heavier.status, 0) << heavier.err;
  // T = chord^2 w / (8 sag): doubling the span doubles both chord and sag in
  // metres (2x), and w goes from 0.198 to 1.110 kg/m.
  const double ratio = JsonNumber(heavier.out, "tension_estimates", 0) /
                       JsonNumber(base.out, "tension_estimates", 0);
  EXPECT_NEAR(ratio, 2.0 * 1.110 / 0.198, 0.01 * ratio);
  EXPECT_NE(heavier.out.find("\"wire\":\"鋼心アルミ 240mm2\""), std::string::npos);

  CliRun c_only = fixture_.Run({"measure", photo_, "--line", line, "--json", "--classes", "C"});
  ASSERT_EQ(c_only.status, 0) << c_only.err;
  EXPECT_NE(c_only.out.find("\"allowable_a\":null"), std::string::npos);
  EXPECT_NE(c_only.out.find("\"bc_class\":\"C\""), std::string::npos);

  CliRun corrected = fixture_.Run({"measure", photo_, "--line", line, "--json",
                                   "--height-correction", "--distance", "60", "--height", "10"});
  ASSERT_EQ(corrected.status, 0) << corrected.err;
  EXPECT_GT(JsonNumber(corrected.out, "sag", 0), JsonNumber(base.out, "sag", 0));
}

TEST_F(MeasureCommand, UnreadablePhotosExitWithStatusTwo) {
  const std::string empty = fixture_.folder().Write("empty.jpg", std::vector<uint8_t>{});
  const std::string text = fixture_.folder().Write("notes.jpg", std::string("not a photo"));
  for (const std::string& path : {fixture_.folder().PathOf("missing.jpg"), empty, text}) {
    CliRun run = fixture_.Run({"measure", path, "--line", "0,0,10,10"});
    EXPECT_EQ(run.status, 2) << path;
    EXPECT_NE(run.err.find("エラーコード="), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(path), run.err.rfind(path)) << "the path named once: " << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

TEST_F(MeasureCommand, BadArgumentsExitWithStatusTwo) {
  const std::vector<std::vector<std::string>> bad = {
      {"measure"},
      {"measure", photo_},
      {"measure", photo_, "--line", "1,2,3"},
      {"measure", photo_, "--line", "1,2,3,x"},
      {"measure", photo_, "--line", "1,2,3,4", "--criterion", "bright"},
      {"measure", photo_, "--line", "1,2,3,4", "--threshold", "abc"},
      {"measure", photo_, "--line", "1,2,3,4", "--classes", "B"},
      {"measure", photo_, "--line", "1,2,3,4", "--height", ""},
      {"measure", photo_, "--line", "1,2,3,4", "--design-temps", "15"},
      {"measure", photo_, "--line", "1,2,3,4", "--wire", "1.5"},
      {"measure", photo_, "--line", "1,2,3,4", "--unknown"},
      {"measure", photo_, "--line"},
      {"measure", photo_, "--line", "1,2,3,4", "--data", fixture_.folder().PathOf("none.dat")},
      {"measure", photo_, "--line", "1,2,3,4", "--json=x"},
      {"measure", photo_, "--line", "1,2,3,4", "--precision=no"},
      {"measure", photo_, "--line", "1,2,3,4", "--span", "1e39"},
      {"measure", photo_, "--line", "1,2,3,4", "--step", "x"},
      {"evaluate", "--span", "1e39"},
      {"chart", "--present-tension", "1e39"},
      {"chart"},
  };
  for (const auto& args : bad) {
    CliRun run = fixture_.Run(args);
    std::string joined;
    for (const std::string& a : args)
      joined += a + " ";
    EXPECT_EQ(run.status, 2) << joined;
    EXPECT_FALSE(run.err.empty()) << joined;
  }
}

TEST_F(MeasureCommand, BatchGoesOnPastBadRows) {
  std::filesystem::create_directories(fixture_.folder().PathOf("photos"));
  SpanScene other = scene_;
  other.sag = 90;
  other.seed = 11;
  fixture_.folder().Write("photos/b.jpg", RenderSpanJpeg(other));
  const std::string csv = fixture_.folder().Write("lines.csv",
                                                  "photo,x1,y1,x2,y2\n"
                                                  "span.jpg," +
                                                      LineArgument(scene_) +
                                                      "\n"
                                                      "photos/missing.jpg,1,2,3,4\n"
                                                      "photos/b.jpg," +
                                                      LineArgument(other) +
                                                      "\n"
                                                      "span.jpg,1,2,three,4\n"
                                                      "span.jpg,1,2\n");
  CliRun run = fixture_.Run({"measure", "--batch", csv});
  EXPECT_EQ(run.status, 1) << "some rows failed";
  std::vector<std::string> rows;
  size_t start = 0;
  while (start < run.out.size()) {
    const size_t end = run.out.find('\n', start);
    rows.push_back(run.out.substr(start, end - start));
    start = end + 1;
  }
  ASSERT_EQ(rows.size(), 6u) << run.out;
  EXPECT_EQ(rows[0].rfind("photo,present_sag,", 0), 0u);
  auto cells = [](const std::string& row) {
    std::vector<std::string> out;
    size_t s = 0;
    while (true) {
      const size_t c = row.find(',', s);
      out.push_back(row.substr(s, c == std::string::npos ? std::string::npos : c - s));
      if (c == std::string::npos)
        break;
      s = c + 1;
    }
    return out;
  };
  std::vector<std::string> good = cells(rows[1]);
  ASSERT_EQ(good.size(), 10u) << rows[1];
  EXPECT_EQ(good[0], "span.jpg");
  EXPECT_FALSE(good[1].empty());
  EXPECT_TRUE(good[9].empty()) << good[9];
  std::vector<std::string> missing = cells(rows[2]);
  EXPECT_TRUE(missing[1].empty());
  EXPECT_FALSE(missing.back().empty());
  std::vector<std::string> second = cells(rows[3]);
  EXPECT_TRUE(second.back().empty()) << rows[3];
  EXPECT_GT(std::stod(second[1]), std::stod(good[1])) << "the deeper sag is measured deeper";
  EXPECT_NE(rows[4].find("is not a number"), std::string::npos) << rows[4];
  EXPECT_NE(rows[5].find("expected photo,x1,y1,x2,y2"), std::string::npos) << rows[5];
}

// A CSV saved by a spreadsheet starts with a byte-order mark; a folder, a FIFO
// or a binary file given as the CSV is refused rather than read as rows.
TEST_F(MeasureCommand, BatchTakesAByteOrderMarkAndRefusesWhatIsNotACsv) {
  const std::string csv = fixture_.folder().Write(
      "bom.csv", "\xEF\xBB\xBFphoto,x1,y1,x2,y2\nspan.jpg," + LineArgument(scene_) + "\n");
  CliRun run = fixture_.Run({"measure", "--batch", csv});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2) << run.out;

  const std::string fifo = fixture_.folder().PathOf("lines.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string binary =
      fixture_.folder().Write("photo.csv", std::vector<uint8_t>{0xFF, 0xD8, 0x00, 0x10, 0x00});
  for (const std::string& bad : {fixture_.folder().path(), fifo, binary}) {
    CliRun refused = fixture_.Run({"measure", "--batch", bad});
    EXPECT_EQ(refused.status, 2) << bad;
    EXPECT_EQ(refused.out, "") << bad;
    EXPECT_FALSE(refused.err.empty()) << bad;
  }
}

// A photo cut off after part of its data is shown as far as it goes, but no
// station that reaches the missing rows gives a number.
TEST_F(MeasureCommand, IncompletePhotoWarnsAndGivesNoNumberFromMissingRows) {
  std::vector<uint8_t> bytes = RenderSpanJpeg(scene_);
  bytes.resize(bytes.size() * 2 / 5);
  const std::string cut = fixture_.folder().Write("cut.jpg", bytes);
  CliRun run = fixture_.Run({"measure", cut, "--line", LineArgument(scene_), "--json"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("the photo is incomplete: rows below"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("\"warnings\":[\"the photo is incomplete"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("reaches the missing rows"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"ratio\":null"), std::string::npos) << run.out;
}

// Precision tracing and the stringing chart reach the JSON; the default
// mode's JSON carries the metres one pixel row is worth.
TEST_F(MeasureCommand, PrecisionAndChartKeys) {
  CliRun plain = fixture_.Run({"measure", photo_, "--line", LineArgument(scene_), "--json"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_NE(plain.out.find("\"sag_resolution_m\":0.0"), std::string::npos) << plain.out;
  EXPECT_EQ(plain.out.find("\"precision\""), std::string::npos);
  CliRun precise = fixture_.Run(
      {"measure", photo_, "--line", LineArgument(scene_), "--json", "--precision", "--chart"});
  ASSERT_EQ(precise.status, 0) << precise.err;
  for (const char* key : {"\"precision\":{\"station_rows\":[", "\"residual_px\":",
                          "\"columns_used\":", "\"sag_uncertainty_m\":", "\"credible\":true",
                          "\"rows\":[{\"temperature\":-20,", "{\"class\":\"C\",\"temperature\":"})
    EXPECT_NE(precise.out.find(key), std::string::npos) << key << " in " << precise.out;
}

TEST_F(MeasureCommand, GoesOnWithoutHiDatWhereTheFolderIsNotWritable) {
  const std::string data = fixture_.folder().PathOf("SetDT.dat");
  CliContext context;
  context.program_folder = fixture_.folder().PathOf("no/such/folder");
  std::ostringstream out, err;
  const int status = RunCli({"measure", photo_, "--line", LineArgument(scene_), "--data", data},
                            out, err, context);
  EXPECT_EQ(status, 0) << err.str();
  EXPECT_NE(err.str().find("hi.dat"), std::string::npos);
  EXPECT_EQ(SplitCrLf(out.str()).size(), 7u);
}

// A photo stored turned or mirrored and tagged with its EXIF orientation is
// measured as the upright photo: the same line, in the upright photo's
// pixels, gives the same result text and JSON (but for the file name and the
// orientation it records), for every orientation and every working-image
// case. The stored photos are the upright one's DCT blocks moved losslessly.
TEST_F(MeasureCommand, EveryOrientationMeasuresAsTheUprightPhoto) {
  // Both sides multiples of 16, as lossless turns of 4:2:0 need.
  SpanScene scene = SmallSpan();
  scene.height = 1408;
  const std::vector<uint8_t> upright = RenderSpanJpeg(scene);
  const std::string upright_path = fixture_.folder().Write("upright.jpg", upright);
  const std::vector<std::vector<std::string>> settings = {
      {}, {"--no-cut"}, {"--limit", "1200"}, {"--no-cut", "--limit", "1200"}};
  const auto measure = [&](const std::string& path, const std::vector<std::string>& options,
                           bool json) {
    std::vector<std::string> args = {"measure", path, "--line", LineArgument(scene)};
    args.insert(args.end(), options.begin(), options.end());
    if (json)
      args.push_back("--json");
    return fixture_.Run(args);
  };
  const auto comparable = [](const std::string& text) {
    nlohmann::json json = nlohmann::json::parse(text);
    json.erase("photo");
    json["working_image"].erase("orientation");
    return json.dump();
  };
  for (int orientation = 1; orientation <= 8; ++orientation) {
    const std::vector<uint8_t> stored = StoredWithOrientation(upright, orientation);
    ASSERT_FALSE(stored.empty()) << orientation;
    const std::string path =
        fixture_.folder().Write("stored" + std::to_string(orientation) + ".jpg", stored);
    for (const auto& options : settings) {
      const std::string name = "orientation " + std::to_string(orientation) + ", " +
                               (options.empty() ? "default" : options[0]) +
                               (options.size() > 1 ? " " + options.back() : "");
      const CliRun a = measure(upright_path, options, false);
      const CliRun b = measure(path, options, false);
      ASSERT_EQ(a.status, 0) << a.err;
      EXPECT_EQ(b.status, 0) << name;
      EXPECT_EQ(b.out, a.out) << name;
      const CliRun ja = measure(upright_path, options, true);
      const CliRun jb = measure(path, options, true);
      EXPECT_EQ(comparable(jb.out), comparable(ja.out)) << name;
      EXPECT_EQ(JsonNumber(jb.out, "orientation"), orientation) << name;
    }
  }
}

// The bundled sample encoded as HEIC (from its decoded pixels, so both carry
// the same scene) is measured as the JPEG within one pixel row at every
// station; its EXIF gives the date and the camera, and an Orientation tag
// in it is not applied again (libheif shows a HEIC upright by its own
// rotation).
TEST_F(MeasureCommand, HeicOfTheSampleMeasuresAsTheJpeg) {
  if (const std::string missing = HeicEncoderMissing(); !missing.empty())
    GTEST_SKIP() << missing;
  const std::string sample = std::string(SARN_SOURCE_DIR) + "/samples/span.jpg";
  std::ifstream line_file(std::string(SARN_SOURCE_DIR) + "/samples/span.line");
  std::string line;
  std::getline(line_file, line);
  std::ifstream in(sample, std::ios::binary);
  const std::vector<uint8_t> jpeg((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  RgbImage rgb;
  tjhandle decoder = tjInitDecompress();
  int subsampling = 0, colorspace = 0;
  ASSERT_EQ(tjDecompressHeader3(decoder, jpeg.data(), jpeg.size(), &rgb.width, &rgb.height,
                                &subsampling, &colorspace),
            0);
  rgb.rgb.resize(static_cast<size_t>(rgb.width) * rgb.height * 3);
  ASSERT_EQ(tjDecompress2(decoder, jpeg.data(), jpeg.size(), rgb.rgb.data(), rgb.width, 0,
                          rgb.height, TJPF_RGB, 0),
            0);
  tjDestroy(decoder);
  ExifFields fields;
  fields.orientation = 6;
  fields.date = "2025:06:01 09:30:00";
  fields.make = "Apple";
  fields.model = "iPhone 13";
  const std::vector<uint8_t> heic = EncodeHeic(rgb, 90, ExifBlock(fields));
  ASSERT_FALSE(heic.empty());
  const CliRun a = fixture_.Run({"measure", sample, "--line", line, "--json"});
  ASSERT_EQ(a.status, 0) << a.err;
  const nlohmann::json ja = nlohmann::json::parse(a.out);
  for (const char* name : {"span.heic", "span.HEIF"}) {
    const std::string path = fixture_.folder().Write(name, heic);
    const CliRun b = fixture_.Run({"measure", path, "--line", line, "--json"});
    ASSERT_EQ(b.status, 0) << b.err;
    const nlohmann::json jb = nlohmann::json::parse(b.out);
    EXPECT_EQ(jb["working_image"], ja["working_image"]);
    ASSERT_EQ(jb["stations"].size(), ja["stations"].size());
    for (size_t i = 0; i < ja["stations"].size(); ++i) {
      const int jpeg_row = ja["stations"][i]["wire_y"];
      const int heic_row = jb["stations"][i]["wire_y"];
      EXPECT_LE(std::abs(heic_row - jpeg_row), 1) << name << ", station " << i;
    }
    const std::optional<PhotoExif> exif = ReadPhotoExif(path);
    ASSERT_TRUE(exif);
    EXPECT_EQ(exif->capture_date, "2025-06-01 09:30:00");
    EXPECT_EQ(exif->make, "Apple");
    EXPECT_EQ(exif->model, "iPhone 13");
    EXPECT_EQ(exif->orientation, 1);
  }
}

// Round trip: `sarn measure --from` on a file saved by `sarn measure --save`
// prints what `sarn measure --json` prints for the same photo, line and
// inputs, byte for byte, then the added "saved" key; the plain text likewise.
TEST_F(MeasureCommand, SavedMeasurementReproducesTheMeasurementByteForByte) {
  std::filesystem::create_directories(fixture_.folder().PathOf("elsewhere"));
  const std::vector<std::vector<std::string>> inputs = {
      {},
      {"--precision", "--wire", "7", "--span", "80m", "--air-temp", "25.5", "--classes", "A+C",
       "--height-correction", "--distance", "70", "--height", "12", "--design-temps", "10,-10",
       "--threshold", "35"},
      {"--no-cut", "--limit", "1500", "--criterion", "dark", "--threshold", "60", "--classes", "C",
       "--view-width", "1266"},
      {"--precision", "--lens", "DJI|FC6310||8.8"},
  };
  for (size_t row = 0; row < inputs.size(); ++row) {
    const std::vector<std::string>& options = inputs[row];
    // The first file lies beside the photo, the others elsewhere.
    const bool beside = row == 0;
    const std::string file = fixture_.folder().PathOf(
        (beside ? "" : "elsewhere/") + std::string("m") + std::to_string(row) + ".sarn.json");
    std::vector<std::string> args = {"measure", photo_, "--line", LineArgument(scene_)};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<std::string> json_args = args, save_args = args;
    json_args.push_back("--json");
    save_args.insert(save_args.end(), {"--save", file});
    const CliRun measured = fixture_.Run(json_args);
    const CliRun saved = fixture_.Run(save_args);
    ASSERT_TRUE(std::filesystem::exists(file)) << saved.err;
    const CliRun from_json = fixture_.Run({"measure", "--from", file, "--json"});
    const CliRun from_text = fixture_.Run({"measure", "--from", file});

    EXPECT_EQ(from_json.status, measured.status) << from_json.err;
    EXPECT_EQ(from_text.status, saved.status) << from_text.err;
    EXPECT_EQ(from_text.out, saved.out);
    // Everything but the closing "}\n", then the added key.
    ASSERT_GT(measured.out.size(), 2u) << measured.err;
    const std::string shared = measured.out.substr(0, measured.out.size() - 2);
    EXPECT_EQ(from_json.out.substr(0, shared.size()), shared);
    EXPECT_EQ(from_json.out.compare(shared.size(), 9, ",\"saved\":"), 0) << from_json.out;
    // The lens mode is saved and measured with again.
    const auto lens = std::find(options.begin(), options.end(), "--lens");
    const std::string lens_text = lens == options.end() ? "off" : *(lens + 1);
    EXPECT_NE(from_json.out.find("\"photo_matches\":true,\"lens\":\"" + lens_text +
                                 "\",\"results_match\":true"),
              std::string::npos)
        << from_json.out;
    const std::vector<uint8_t> bytes = ReadBytes(file);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find(beside ? "\"path\": \"span.jpg\"" : "\"path\": \"/"), std::string::npos)
        << "relative beside the photo, else absolute: " << text;
  }
}

// A saved measurement that cannot be used is refused with a message and
// exit status 2, printing nothing; one whose photo or results differ is
// measured and said to differ (exit status 1). A folder of them is a batch.
TEST_F(MeasureCommand, BadSavedMeasurementsAreRefusedOrSaidToDiffer) {
  const TempFolder& folder = fixture_.folder();
  const std::string good = folder.PathOf("good.sarn.json");
  ASSERT_EQ(
      fixture_.Run({"measure", photo_, "--line", LineArgument(scene_), "--save", good}).status, 0);
  const std::vector<uint8_t> bytes = ReadBytes(good);
  const std::string text(bytes.begin(), bytes.end());
  auto replaced = [&text](const std::string& from, const std::string& to) {
    std::string changed = text;
    changed.replace(changed.find(from), from.size(), to);
    return changed;
  };
  std::filesystem::create_directories(folder.PathOf("moved"));
  std::filesystem::create_directories(folder.PathOf("other"));
  SpanScene other = scene_;
  other.sag = 75;
  folder.Write("other/span.jpg", RenderSpanJpeg(other));
  folder.Write("other/changed.sarn.json", text);

  struct Row {
    std::string name, path, content;
    int status;
    std::string said;
  };
  const std::vector<Row> table = {
      {"broken", "broken.sarn.json", text.substr(0, text.size() / 2), 2, "is damaged"},
      {"foreign", "foreign.sarn.json", R"({"type": "FeatureCollection", "features": []})", 2,
       "not a Sarn measurement file"},
      {"newer", "newer.sarn.json", replaced("\"version\": 1,", "\"version\": 3,"), 2,
       "saved by a newer Sarn (format version 3"},
      {"missing photo", "moved/m.sarn.json", text, 2, "cannot read the photo of the measurement"},
      {"photo differs", "other/changed.sarn.json", "", 1,
       "the photo differs from the one saved (its SHA-256 does not match)"},
      {"results differ", "edited.sarn.json",
       replaced("\"present_sag\": \"", "\"present_sag\": \"9"), 1,
       "warning:   present sag: saved 9"},
  };
  for (const Row& row : table) {
    const std::string path =
        row.content.empty() ? folder.PathOf(row.path) : folder.Write(row.path, row.content);
    const CliRun run = fixture_.Run({"measure", "--from", path, "--json"});
    EXPECT_EQ(run.status, row.status) << row.name << ": " << run.err;
    EXPECT_NE(run.err.find(row.said), std::string::npos) << row.name << ": " << run.err;
    if (row.status == 2) {
      EXPECT_EQ(run.out, "") << row.name;
    } else {
      EXPECT_NE(run.out.find(row.name == "photo differs" ? "\"photo_matches\":false"
                                                         : "\"results_match\":false"),
                std::string::npos)
          << row.name << ": " << run.out;
    }
  }

  // The folder holds good, broken, foreign, newer, edited: one row each.
  const CliRun batch = fixture_.Run({"measure", "--batch", folder.path()});
  EXPECT_EQ(batch.status, 1) << batch.err;
  EXPECT_EQ(batch.out.rfind("measurement,present_sag,", 0), 0u) << batch.out;
  EXPECT_EQ(std::count(batch.out.begin(), batch.out.end(), '\n'), 6) << batch.out;
  EXPECT_NE(batch.out.find("\ngood.sarn.json,"), std::string::npos) << batch.out;
  EXPECT_NE(batch.out.find("\nnewer.sarn.json,,,,,,,,,"), std::string::npos) << batch.out;
  // Inputs come from the file only.
  EXPECT_EQ(fixture_.Run({"measure", "--from", good, "--span", "30"}).status, 2);
  EXPECT_EQ(fixture_.Run({"measure", "--from", good, "--from", good}).status, 2);
}

}  // namespace
}  // namespace sarn::test
