// The saved-measurement file: written and read back to the same text with
// every field; a table of files that are refused, each with its problem and
// field; the photo digest against the FIPS 180-2 examples; and the fuzz entry
// over fixed mutations of a valid file.

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "session/saved_measurement.h"
#include "session/session_json.h"
#include "state/file_digest.h"
#include "support/temp_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace sarn {
namespace {

// Every field away from its default, so that a field the writer or the
// reader drops shows.
SavedMeasurement Example() {
  SavedMeasurement saved;
  saved.sarn_version = "0.1.0";
  saved.photo = "span.jpg";
  saved.photo_sha256 = std::string(64, 'a');
  saved.line = {164.25, 540.0000001, 1435.75, -3.5};
  SavedInputs& in = saved.inputs;
  in.conductor = "鋼心アルミ 240mm2";
  in.conductor_index = 7;
  in.span = "45m";
  in.air_temp = "12.5";
  in.distance = "80";
  in.height = "abc";
  in.design_temps = {"15", "-5"};
  in.threshold = "35";
  in.criterion = Criterion::Darkness;
  in.load = LoadSettings{"3000", false, false};
  in.corrections = {0, 1, 0};
  in.classes = WindCombination::AC;
  in.ticks = {1, 0, 1};
  in.view_width = 1266;
  saved.modes = SavedModes{true, "Canon|Canon EOS 5D|EF 24-70mm|35"};
  ShownResults& shown = saved.results.shown;
  shown.present_sag = "1.271";
  shown.estimates = {"31.2", std::nullopt, "31.3"};
  shown.present_tension = "31.2";
  shown.allow_a = "甲=344kGf";
  shown.allow_bc = "丙=204kGf";
  shown.ratio = "115";
  shown.specified_sag = "0.19";
  shown.ratio_red = true;
  saved.results.result_text = "鋼心アルミ 240mm2\r\n45m\r\n80\r\n31.2\r\n31.2\r\n\r\n31.3\r\n";
  return saved;
}

std::string ExampleText() {
  return *SavedMeasurementText(Example(), "m.sarn.json");
}

TEST(SavedMeasurement, WrittenAndReadBackWithEveryField) {
  const std::string text = ExampleText();
  const Result<SavedMeasurement> read = ParseSavedMeasurement(text, "m.sarn.json");
  ASSERT_TRUE(read.ok()) << read.failure().English();
  const SavedMeasurement& saved = *read;
  EXPECT_EQ(*SavedMeasurementText(saved, "m.sarn.json"), text);
  // Spot checks that the text is not merely stable but right.
  EXPECT_EQ(saved.line[1], 540.0000001);
  EXPECT_EQ(saved.inputs.criterion, Criterion::Darkness);
  EXPECT_EQ(saved.inputs.classes, WindCombination::AC);
  EXPECT_FALSE(saved.inputs.load.cut);
  EXPECT_EQ(saved.inputs.height, "abc");
  EXPECT_EQ(saved.inputs.ticks, (std::array<int, 3>{1, 0, 1}));
  EXPECT_TRUE(saved.modes.precision);
  EXPECT_TRUE(saved.results.shown.ratio_red);
  EXPECT_FALSE(saved.results.shown.estimates[1].has_value());  // not reached
  EXPECT_NE(text.find("\"format\": \"sarn-measurement\""), std::string::npos) << text;
  EXPECT_EQ(text.back(), '\n');
}

struct BadFile {
  const char* name;
  std::function<std::string()> text;
  MessageId problem;
  std::string field = {};  // kSavedBrokenField: the field
};

// The example with one change made to its JSON.
std::function<std::string()> Changed(std::function<void(Json&)> change) {
  return [change] {
    Json json = Json::parse(ExampleText());
    change(json);
    return json.dump();
  };
}

std::function<std::string()> Text(std::string text) {
  return [text] { return text; };
}

TEST(SavedMeasurement, RefusesWhatIsNotAReadableMeasurementOfThisVersion) {
  const std::vector<BadFile> table = {
      {"empty", Text(""), MessageId::kSavedBrokenAt},
      {"cut short", [] { return ExampleText().substr(0, 200); }, MessageId::kSavedBrokenAt},
      {"not JSON", Text("photo,x1,y1,x2,y2\n"), MessageId::kSavedBrokenAt},
      {"a JSON array", Text("[1, 2]"), MessageId::kSavedForeign},
      {"another program's JSON", Text(R"({"name": "sarn", "version": 1})"),
       MessageId::kSavedForeign},
      {"another format", Changed([](Json& j) { j["format"] = "sarn-report"; }),
       MessageId::kSavedForeign},
      {"a newer version", Changed([](Json& j) { j["version"] = 2; }),
       MessageId::kSavedNewerVersion},
      {"version 0", Changed([](Json& j) { j["version"] = 0; }), MessageId::kSavedBrokenField,
       "version"},
      {"version as text", Changed([](Json& j) { j["version"] = "1"; }),
       MessageId::kSavedBrokenField, "version"},
      {"no span", Changed([](Json& j) { j["inputs"].erase("span"); }), MessageId::kSavedBrokenField,
       "inputs.span"},
      {"span a number", Changed([](Json& j) { j["inputs"]["span"] = 40; }),
       MessageId::kSavedBrokenField, "inputs.span"},
      {"inputs not an object", Changed([](Json& j) { j["inputs"] = "none"; }),
       MessageId::kSavedBrokenField, "inputs"},
      {"unknown criterion", Changed([](Json& j) { j["inputs"]["criterion"] = "bright"; }),
       MessageId::kSavedBrokenField, "inputs.criterion"},
      {"classes B alone", Changed([](Json& j) { j["inputs"]["classes"] = "B"; }),
       MessageId::kSavedBrokenField, "inputs.classes"},
      {"a tick of 2", Changed([](Json& j) { j["inputs"]["ticks"][0] = 2; }),
       MessageId::kSavedBrokenField, "inputs.ticks[0]"},
      {"a conductor index beyond 16 bits",
       Changed([](Json& j) { j["inputs"]["conductor_index"] = 40000; }),
       MessageId::kSavedBrokenField, "inputs.conductor_index"},
      {"three line numbers", Changed([](Json& j) { j["line"].erase(3); }),
       MessageId::kSavedBrokenField, "line"},
      {"a line far outside any photo", Changed([](Json& j) { j["line"][1] = 1e300; }),
       MessageId::kSavedBrokenField, "line[1]"},
      {"a short digest", Changed([](Json& j) { j["photo"]["sha256"] = "abc"; }),
       MessageId::kSavedBrokenField, "photo.sha256"},
      {"no photo path", Changed([](Json& j) { j["photo"]["path"] = ""; }),
       MessageId::kSavedBrokenField, "photo.path"},
      {"a narrow view", Changed([](Json& j) { j["view_width"] = 50; }),
       MessageId::kSavedBrokenField, "view_width"},
      {"a green ratio", Changed([](Json& j) { j["results"]["ratio_colour"] = "green"; }),
       MessageId::kSavedBrokenField, "results.ratio_colour"},
      {"an empty lens", Changed([](Json& j) { j["modes"]["lens"] = ""; }),
       MessageId::kSavedBrokenField, "modes.lens"},
      {"a lens that is no mode", Changed([](Json& j) { j["modes"]["lens"] = "on"; }),
       MessageId::kSavedBrokenField, "modes.lens"},
  };
  for (const BadFile& row : table) {
    const Result<SavedMeasurement> read = ParseSavedMeasurement(row.text(), "bad.sarn.json");
    ASSERT_FALSE(read.ok()) << row.name;
    const Failure& failure = read.failure();
    EXPECT_EQ(failure.message(), row.problem) << row.name << ": " << failure.English();
    if (!row.field.empty()) {
      EXPECT_NE(failure.English().find("'" + row.field + "'"), std::string::npos)
          << row.name << ": " << failure.English();
    }
    if (row.problem == MessageId::kSavedNewerVersion) {
      EXPECT_NE(failure.English().find("format version 2; this Sarn reads up to version 1"),
                std::string::npos)
          << failure.English();
    }
    EXPECT_EQ(failure.English().rfind("bad.sarn.json: ", 0), 0u) << row.name;
    EXPECT_EQ(failure.Japanese().rfind("bad.sarn.json: ", 0), 0u) << row.name;
  }
  // A file from before lens correction existed measures without it.
  const Result<SavedMeasurement> without_lens =
      ParseSavedMeasurement(Changed([](Json& j) { j["modes"].erase("lens"); })(), "old.sarn.json");
  ASSERT_TRUE(without_lens.ok());
  EXPECT_EQ(without_lens->modes.lens, "off");
}

TEST(SavedMeasurement, PhotoDigestIsSha256) {
  // FIPS 180-2, appendix B: one block, the empty message, two blocks.
  const std::pair<std::string, std::string> examples[] = {
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
  };
  test::TempFolder folder;
  for (const auto& [message, digest] : examples) {
    const std::string path = folder.Write("m.bin", message);
    const Result<std::string> file_digest = FileSha256(path);
    ASSERT_TRUE(file_digest.ok()) << message;
    EXPECT_EQ(*file_digest, digest) << message;
  }
  const Result<std::string> missing = FileSha256(folder.PathOf("none.jpg"));
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.failure().message(), MessageId::kFileNotFound);
}

int Feed(const std::string& input) {
  return LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

// The fuzz entry over every truncation of a valid file and seeded random
// changes of it; the entry aborts when a written file does not read back.
TEST(SavedMeasurementFuzzRegression, TruncationsAndSeededChanges) {
  const std::string text = ExampleText();
  for (size_t size = 0; size <= text.size(); size += 3)
    EXPECT_EQ(Feed(text.substr(0, size)), 0);
  std::mt19937 random(20121221);
  int accepted = 0;  // inputs that reach the entry's write-and-read-back check
  static constexpr char kSpecial[] = {'"', '{', '}', '[',  ']',    ',',    ':',
                                      '0', '-', 'e', '\\', '\x80', '\xFF', '\0'};
  for (int round = 0; round < 1500; ++round) {
    std::string input = text;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int c = 0; c < changes; ++c) {
      const size_t at = random() % input.size();
      switch (random() % 3) {
        case 0:
          input[at] = kSpecial[random() % sizeof kSpecial];
          break;
        case 1:
          input.erase(at, 1 + random() % 8);
          break;
        default:
          input.insert(at, 1, static_cast<char>(random()));
          break;
      }
      if (input.empty())
        input = "{";
    }
    EXPECT_EQ(Feed(input), 0);
    accepted += ParseSavedMeasurement(input, "m").ok() ? 1 : 0;
  }
  EXPECT_GT(accepted, 20);
}

}  // namespace
}  // namespace sarn
