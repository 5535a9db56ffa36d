// Lens correction: finding the camera and lens from a photo's EXIF, and the
// point mapping against lensfun's own transform; what needs libheif, lensfun
// or libcrypto on a machine without them.

#include "photo/lens_correction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string_view>

#include "photo/heif_decoder.h"
#include "state/file_digest.h"
#include "state/shared_library.h"
#include "support/exif_block.h"
#include "support/heic_photo.h"
#include "support/lens_photo.h"
#include "support/span_photo.h"
#include "support/temp_folder.h"

namespace sarn {
namespace {

test::ExifFields Fields(const char* make, const char* model, const char* lens, double focal_mm) {
  test::ExifFields f;
  f.make = make;
  f.model = model;
  f.lens_model = lens;
  f.focal_length_mm = focal_mm;
  return f;
}

struct LookupCase {
  const char* name;
  test::ExifFields exif;
  const char* camera;  // "" when none is expected
  const char* lens;
  const char* model;
  float focal_mm;
};

// The campaign's cameras (a fixed-lens drone and compact found without a lens
// name, reflex and mirrorless kit zooms by their EXIF lens names), and the
// refusals: an unknown camera, an interchangeable-lens camera whose photo
// names no lens, a zoom without a focal length.
const LookupCase kLookups[] = {
    {"drone", Fields("DJI", "FC6310", "", 8.8), "DJI FC6310", "DJI FC6310 & compatibles", "ptlens",
     8.8f},
    {"compact", Fields("SONY", "DSC-RX100", "", 10.4), "Sony DSC-RX100",
     "Sony DSC-RX100 & compatibles (Standard)", "ptlens", 10.4f},
    {"reflex", Fields("Canon", "Canon EOS 600D", "EF-S18-55mm f/3.5-5.6 IS II", 18),
     "Canon EOS 600D", "Canon EF-S 18-55mm f/3.5-5.6 IS II", "ptlens", 18},
    {"mirrorless", Fields("SONY", "ILCE-6000", "E PZ 16-50mm F3.5-5.6 OSS", 16), "Sony ILCE-6000",
     "Sony E PZ 16-50mm f/3.5-5.6 OSS", "ptlens", 16},
    {"drone_prime_without_focal", Fields("DJI", "FC6310", "", 0), "DJI FC6310",
     "DJI FC6310 & compatibles", "ptlens", 8.8f},
    {"unknown_camera", Fields("Nobody", "Camera 1", "", 5), "", "", "", 0},
    {"reflex_without_lens", Fields("Canon", "Canon EOS 600D", "", 18), "", "", "", 0},
    {"zoom_without_focal", Fields("SONY", "DSC-RX100", "", 0), "", "", "", 0},
};

class LensLookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(LensLookupTest, FromTheExifOfAJpeg) {
  const LookupCase& c = GetParam();
  const PhotoExif read = ReadPhotoExif(
      test::WithExif(test::RenderSpanJpeg(test::ScaledScene(test::SpanScene{}, 160, 120)), c.exif));
  // With correction off only the files naming the camera are read: the same
  // answer as the whole database.
  for (bool whole : {false, true}) {
    const LensLookup found = LensDatabase::Find(read, whole);
    if (*c.camera == '\0') {
      EXPECT_FALSE(found.profile) << whole;
      EXPECT_TRUE(found.why_not);
      continue;
    }
    ASSERT_TRUE(found.profile) << found.why_not->English();
    EXPECT_EQ(found.profile->CameraName(), c.camera);
    EXPECT_EQ(found.profile->LensName(), c.lens);
    EXPECT_EQ(found.profile->model, c.model);
    EXPECT_FLOAT_EQ(found.profile->focal_mm, c.focal_mm);
  }
}

INSTANTIATE_TEST_SUITE_P(Cameras, LensLookupTest, ::testing::ValuesIn(kLookups),
                         [](const ::testing::TestParamInfo<LookupCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(LensLookupTest, ManualChoiceAndItsText) {
  const std::optional<LensChoice> choice = ParseLensChoice("DJI|FC6310||");
  ASSERT_TRUE(choice);
  EXPECT_EQ(choice->mode, LensMode::Manual);
  EXPECT_EQ(LensChoiceText(*choice), "DJI|FC6310||");
  const LensLookup found = LensDatabase::Find(*choice);
  ASSERT_TRUE(found.profile) << found.why_not->English();
  EXPECT_EQ(found.profile->terms.size(), 3u);
  EXPECT_NEAR(found.profile->terms[0], 0.0096, 1e-4);
  EXPECT_NEAR(found.profile->terms[1], -0.0583, 1e-4);
  EXPECT_NEAR(found.profile->terms[2], -0.0055, 1e-4);
  EXPECT_EQ(ParseLensChoice("Canon|Canon EOS 600D|EF-S 18-55mm|24")->focal_mm, 24.0f);
  for (const char* bad : {"", "on", "DJI|FC6310", "DJI||lens|8", "DJI|FC6310||x", "DJI|FC6310||-1"})
    EXPECT_FALSE(ParseLensChoice(bad)) << bad;
}

// The mapping undoes lensfun's own distortion to a hundredth of a pixel over
// the whole frame (lensfun's own inversion is off by 0.02 px in the corners),
// where the distortion itself moves points by pixels.
TEST(LensMapperTest, UndoesLensfunsDistortionAcrossTheFrame) {
  for (const test::CampaignCamera& camera : test::CampaignCameras()) {
    const LensLookup found = LensDatabase::Find(test::ReadBack(camera.exif));
    ASSERT_TRUE(found.profile) << camera.label << ": " << found.why_not->English();
    const LensMapper mapper(*found.profile, camera.width, camera.height);
    double largest_shift = 0;
    for (double fy : {0.02, 0.2, 0.5, 0.8, 0.98}) {
      for (double fx : {0.02, 0.3, 0.5, 0.7, 0.98}) {
        const PhotoPoint p{fx * camera.width, fy * camera.height};
        const PhotoPoint d = mapper.Distort(p);
        largest_shift = std::max(largest_shift, std::hypot(d.x - p.x, d.y - p.y));
        const PhotoPoint back = mapper.Undistort(d);
        EXPECT_NEAR(back.x, p.x, 0.01) << camera.label << " " << fx << "," << fy;
        EXPECT_NEAR(back.y, p.y, 0.01) << camera.label << " " << fx << "," << fy;
      }
    }
    EXPECT_GT(largest_shift, 5.0) << camera.label;
    // The centre stays where it is.
    const PhotoPoint centre = mapper.Undistort({camera.width / 2.0, camera.height / 2.0});
    EXPECT_NEAR(centre.x, camera.width / 2.0, 1e-3);
    EXPECT_NEAR(centre.y, camera.height / 2.0, 1e-3);
  }
}

// Without the library's package (a soname no library has stands for it), a
// HEIC photo, lens correction and the photo digest of a saved measurement
// fail naming the package, the lookup with correction off finds no profile
// (so nothing is advised), the camera search finds nothing; none crashes,
// and once the library is back the same call succeeds.
struct MissingLibraryCase {
  const char* name;
  const char* soname;
  const char* expected;  // in the failure's English text
  // The call's failure in English, or "" when it succeeded.
  std::string (*run)();
};

std::string FailureText(const LensLookup& found) {
  if (found.profile)
    return "";
  return found.why_not ? found.why_not->English() : "no profile and no reason";
}

PhotoExif DroneExif() {
  return test::ReadBack(Fields("DJI", "FC6310", "", 8.8));
}

const MissingLibraryCase kMissingLibraries[] = {
    {"heic_photo", kHeifSoname, "install the package libheif1",
     [] {
       const test::RgbImage image =
           test::RenderSpanPhoto(test::ScaledScene(test::SpanScene{}, 64, 48));
       const auto decoded = DecodeHeif(test::EncodeHeic(image, 90), 1e9);
       return decoded ? std::string() : decoded.failure().English();
     }},
    {"lens_auto", kLensfunSoname, "install the package liblensfun1",
     [] { return FailureText(LensDatabase::Find(DroneExif(), true)); }},
    {"lens_off", kLensfunSoname, "install the package liblensfun1",
     [] { return FailureText(LensDatabase::Find(DroneExif(), false)); }},
    {"lens_manual", kLensfunSoname, "install the package liblensfun1",
     [] { return FailureText(LensDatabase::Find(*ParseLensChoice("DJI|FC6310||"))); }},
    {"camera_search", kLensfunSoname, "no camera",
     [] { return LensDatabase::SearchCameras("fc6310").empty() ? std::string("no camera") : ""; }},
    {"photo_digest", kCryptoSoname, "install the package libssl3",
     [] {
       const test::TempFolder folder;
       const Result<std::string> digest = FileSha256(folder.Write("photo.jpg", "abc"));
       return digest ? std::string() : digest.failure().English();
     }},
};

class MissingLibraryTest : public ::testing::TestWithParam<MissingLibraryCase> {};

TEST_P(MissingLibraryTest, FailsNamingThePackageAndWorksOnceItIsBack) {
  const MissingLibraryCase& c = GetParam();
  if (std::string_view(c.soname) == kHeifSoname) {
    if (const std::string missing = test::HeicEncoderMissing(); !missing.empty())
      GTEST_SKIP() << missing;
  }
  {
    const ReplaceLibraryForTest absent(c.soname, "libsarn-absent.so.0");
    const std::string failed = c.run();
    EXPECT_NE(failed.find(c.expected), std::string::npos) << failed;
  }
  EXPECT_EQ(c.run(), "");
}

INSTANTIATE_TEST_SUITE_P(Libraries, MissingLibraryTest, ::testing::ValuesIn(kMissingLibraries),
                         [](const ::testing::TestParamInfo<MissingLibraryCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
}  // namespace sarn
