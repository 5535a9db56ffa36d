#pragma once

// Lens distortion correction of measured points, with the lensfun database
// (/usr/share/lensfun) and its image modifier.
//
// A wide lens images a straight line as a curve: radially, a point at
// normalised radius r (r = 1 at half the shorter side of a sensor of the
// calibration's crop factor) lands at r_d = r * f(r), with
//   ptlens: f = a r^3 + b r^2 + c r + 1 - a - b - c
//   poly3:  f = 1 - k1 + k1 r^2
//   poly5:  f = 1 + k1 r^2 + k2 r^4
// Sarn corrects coordinates, not pixels: each measured point of the photo
// (a station's conductor point, a chord end) is mapped to where a distortion-
// free lens of the same focal length would have imaged it. That is one
// evaluation of the model per point (a Newton inversion inside lensfun), so
// correcting a measurement costs microseconds; the photo itself is never
// resampled.
//
// Finding the lens: the camera from the EXIF Make and Model; the lens from
// LensMake and LensModel, or, when the photo names none and the camera has a
// fixed lens (lensfun gives such cameras a mount of their own, named in lower
// case), the camera's own lens; the model at the EXIF FocalLength
// (interpolated between calibrated focal lengths; a prime's own when the
// photo gives none).
//
// lensfun is opened at the first lookup (state/shared_library.h), not at
// start-up. Without it (the package liblensfun1) a lookup fails with a
// message naming the package, the camera search finds nothing, and with
// correction off nothing is advised.
//
// Photo coordinates here are continuous: pixel i spans i..i+1, so its centre
// is i + 0.5 (lensfun's own puts pixel centres at whole numbers).

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "photo/photo_exif.h"
#include "state/failure.h"

struct lfLens;

namespace sarn {

// lensfun's runtime name, opened at the first lens lookup.
inline constexpr const char* kLensfunSoname = "liblensfun.so.1";

enum class LensMode {
  Off,     // no correction (the chain is as without this feature)
  Auto,    // the camera and lens the photo's EXIF names
  Manual,  // a camera, lens and focal length chosen by the user
};

// What the user chose: a mode, and for Manual the names and focal length.
struct LensChoice {
  LensMode mode = LensMode::Off;
  std::string maker, model, lens;  // camera maker and model, lens model (Manual)
  float focal_mm = 0;              // Manual; 0: the lens's own for a prime
  bool operator==(const LensChoice&) const = default;
};

// "auto", "off" or "MAKER|MODEL|LENS|FOCAL_MM" (LENS may be empty for a
// fixed-lens camera, FOCAL_MM empty for a prime). nullopt for anything else.
std::optional<LensChoice> ParseLensChoice(const std::string& text);
// The text ParseLensChoice reads back.
std::string LensChoiceText(const LensChoice& choice);

// A camera and lens found in the database, with the distortion model at the
// focal length of the photo.
struct LensProfile {
  std::string camera_maker, camera_model;
  std::string lens_maker, lens_model;
  float focal_mm = 0;
  float camera_crop = 1;               // the camera's crop factor
  std::string model;                   // "ptlens", "poly3" or "poly5"
  std::vector<double> terms;           // a, b, c / k1 / k1, k2
  std::shared_ptr<const lfLens> lens;  // lensfun's lens, for the modifier
  // The camera, as "Maker Model", and the lens, as "Maker Model".
  std::string CameraName() const;
  std::string LensName() const;
};

// The outcome of a lookup: a profile, or why there is none (a catalogue
// entry, kLens…).
struct LensLookup {
  std::optional<LensProfile> profile;
  std::optional<Failure> why_not;
};

// Whether the EXIF names a camera at all (Make or Model).
inline bool NamesCamera(const PhotoExif& exif) {
  return !exif.make.empty() || !exif.model.empty();
}

// The database, loaded once per process and shared. Loading all of it takes
// about 0.2 s; a lookup for a photo with correction off loads only the files
// that name its camera model (the check whether correction would matter must
// not slow every photo down).
class LensDatabase {
 public:
  // Finds the camera and lens of `exif`. `whole` false: only the database
  // files that mention the camera model are read.
  static LensLookup Find(const PhotoExif& exif, bool whole = true);
  // Finds the user's choice (Manual).
  static LensLookup Find(const LensChoice& choice);

  struct Camera {
    std::string maker, model;
    float crop = 1;
  };
  // Cameras whose "maker model" contains every word of `query` (case-
  // insensitive), at most `limit`.
  static std::vector<Camera> SearchCameras(const std::string& query, size_t limit = 200);
  // The lenses that fit the camera and carry a distortion calibration.
  struct Lens {
    std::string maker, model;
    float min_focal = 0, max_focal = 0;
  };
  static std::vector<Lens> LensesFor(const std::string& maker, const std::string& model);
};

struct PhotoPoint {
  double x = 0, y = 0;
};

// Maps points of a photo of `width` x `height` pixels taken with `profile`
// between the distorted photo and the undistorted one (the same size and
// scale at the centre).
class LensMapper {
 public:
  LensMapper(const LensProfile& profile, int width, int height);
  ~LensMapper();
  LensMapper(const LensMapper&) = delete;
  LensMapper& operator=(const LensMapper&) = delete;
  // Distorted (as the photo shows it) -> undistorted.
  PhotoPoint Undistort(PhotoPoint p) const;
  // Undistorted -> distorted (lensfun's correction direction).
  PhotoPoint Distort(PhotoPoint p) const;
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  struct Modifiers;
  std::unique_ptr<Modifiers> m_;
  int width_ = 0, height_ = 0;
};

}  // namespace sarn
