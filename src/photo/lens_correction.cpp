#include "photo/lens_correction.h"

#include <lensfun/lensfun.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <sstream>

#include "state/shared_library.h"

namespace sarn {
namespace {

// lensfun's functions (its C interface), resolved from the library at the
// first lens lookup.
#define SARN_LENSFUN_FUNCTIONS(F)          \
  F(lf_free)                               \
  F(lf_db_new)                             \
  F(lf_db_load_file)                       \
  F(lf_db_find_cameras)                    \
  F(lf_db_find_lenses_hd)                  \
  F(lf_db_get_cameras)                     \
  F(lf_lens_new)                           \
  F(lf_lens_copy)                          \
  F(lf_lens_destroy)                       \
  F(lf_lens_interpolate_distortion)        \
  F(lf_modifier_new)                       \
  F(lf_modifier_initialize)                \
  F(lf_modifier_apply_geometry_distortion) \
  F(lf_modifier_destroy)
struct LensfunApi {
  SARN_LIBRARY_API(SARN_LENSFUN_FUNCTIONS)
};

// lensfun's database as Debian installs it (liblensfun-data-v1).
constexpr const char* kDatabaseFolder = "/usr/share/lensfun/version_1";

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trimmed(std::string text) {
  const auto not_space = [](unsigned char c) { return !std::isspace(c) && c != '\0'; };
  text.erase(std::find_if(text.rbegin(), text.rend(), not_space).base(), text.end());
  text.erase(text.begin(), std::find_if(text.begin(), text.end(), not_space));
  return text;
}

std::string Text(const char* text) {
  return text ? std::string(text) : std::string();
}

// The one database of the process; files are added as lookups need them.
// Made with lensfun at the first lookup and kept to the end of the process.
struct SharedDatabase {
  std::mutex mutex;
  const LensfunApi* api = nullptr;  // the library the database was made with
  lfDatabase* db = nullptr;
  std::set<std::string> loaded;
  bool whole = false;

  static SharedDatabase& Get() {
    static SharedDatabase shared;
    return shared;
  }

  // Loads lensfun and makes the database at the first lookup (caller holds
  // the mutex); why not when lensfun cannot be loaded.
  std::optional<Failure> Open() {
    const LensfunApi& library = LoadLibraryOnce<LensfunApi>(kLensfunSoname);
    if (!library.error.empty())
      return Failure(MessageId::kLensLibraryMissing, {library.error});
    if (db == nullptr) {
      db = library.lf_db_new();
      if (db == nullptr)
        return Failure(MessageId::kLensLibraryMissing, {"lf_db_new failed"});
      api = &library;
    }
    return std::nullopt;
  }

  static std::vector<std::string> Files() {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(kDatabaseFolder, error)) {
      if (entry.path().extension() == ".xml")
        files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  void LoadFile(const std::string& file) {
    if (loaded.insert(file).second)
      api->lf_db_load_file(db, file.c_str());
  }

  // Every file (caller holds the mutex).
  void LoadWhole() {
    if (whole)
      return;
    for (const std::string& file : Files())
      LoadFile(file);
    whole = true;
  }

  // The files whose text names `model` between tags, case-insensitively
  // (caller holds the mutex).
  void LoadMentioning(const std::string& model) {
    if (whole || model.empty())
      return;
    const std::string needle = ">" + Lower(model) + "<";
    for (const std::string& file : Files()) {
      if (loaded.count(file))
        continue;
      std::ifstream in(file, std::ios::binary);
      const std::string text = Lower(std::string(std::istreambuf_iterator<char>(in), {}));
      if (text.find(needle) != std::string::npos)
        LoadFile(file);
    }
  }
};

const char* ModelName(lfDistortionModel model) {
  switch (model) {
    case LF_DIST_MODEL_POLY3:
      return "poly3";
    case LF_DIST_MODEL_POLY5:
      return "poly5";
    case LF_DIST_MODEL_PTLENS:
      return "ptlens";
    default:
      return nullptr;
  }
}

int TermCount(lfDistortionModel model) {
  return model == LF_DIST_MODEL_PTLENS ? 3 : model == LF_DIST_MODEL_POLY5 ? 2 : 1;
}

// A fixed-lens camera: lensfun names the mount of such a camera in lower
// case (interchangeable mounts start with a capital: "Canon EF-S").
bool FixedLens(const lfCamera* camera) {
  return camera->Mount && std::islower(static_cast<unsigned char>(camera->Mount[0]));
}

// The camera's lens: the named one, else for a fixed-lens camera its own.
const lfLens* FindLens(const SharedDatabase& shared, const lfCamera* camera,
                       const std::string& lens_make, const std::string& lens_model,
                       std::optional<Failure>* why_not) {
  const LensfunApi& api = *shared.api;
  const lfLens* found = nullptr;
  if (!lens_model.empty()) {
    if (const lfLens** lenses = api.lf_db_find_lenses_hd(
            shared.db, camera, lens_make.empty() ? nullptr : lens_make.c_str(), lens_model.c_str(),
            0)) {
      found = lenses[0];
      api.lf_free(lenses);
    }
  }
  if (found == nullptr && FixedLens(camera)) {
    if (const lfLens** lenses = api.lf_db_find_lenses_hd(shared.db, camera, nullptr, nullptr, 0)) {
      found = lenses[0];
      api.lf_free(lenses);
    }
  }
  if (found == nullptr) {
    *why_not = lens_model.empty() ? Failure(MessageId::kLensNoLensNamed, {Text(camera->Model)})
                                  : Failure(MessageId::kLensUnknown, {lens_model});
  }
  return found;
}

LensLookup ProfileOf(const LensfunApi& api, const lfCamera* camera, const lfLens* lens,
                     float focal_mm) {
  LensLookup lookup;
  float focal = focal_mm;
  if (focal <= 0) {
    if (lens->MinFocal > 0 && lens->MinFocal == lens->MaxFocal) {
      focal = lens->MinFocal;
    } else {
      lookup.why_not = Failure(MessageId::kLensNoFocalLength, {Text(lens->Model)});
      return lookup;
    }
  }
  lfLensCalibDistortion calibration{};
  const char* name = nullptr;
  if (api.lf_lens_interpolate_distortion(lens, focal, &calibration))
    name = ModelName(calibration.Model);
  if (name == nullptr) {
    lookup.why_not = Failure(MessageId::kLensNoCalibration, {Text(lens->Model)});
    return lookup;
  }
  LensProfile p;
  p.camera_maker = Text(camera->Maker);
  p.camera_model = Text(camera->Model);
  p.lens_maker = Text(lens->Maker);
  p.lens_model = Text(lens->Model);
  p.focal_mm = focal;
  p.camera_crop = camera->CropFactor > 0 ? camera->CropFactor : 1.0f;
  p.model = name;
  for (int i = 0; i < TermCount(calibration.Model); ++i)
    p.terms.push_back(calibration.Terms[i]);
  // A copy of the database's lens, for the modifier.
  lfLens* copy = api.lf_lens_new();
  api.lf_lens_copy(copy, lens);
  p.lens = std::shared_ptr<const lfLens>(
      copy, [destroy = api.lf_lens_destroy](const lfLens* l) { destroy(const_cast<lfLens*>(l)); });
  lookup.profile = std::move(p);
  return lookup;
}

LensLookup FindIn(SharedDatabase& shared, const std::string& make, const std::string& model,
                  const std::string& lens_make, const std::string& lens_model, float focal_mm) {
  LensLookup lookup;
  const LensfunApi& api = *shared.api;
  const lfCamera** cameras = api.lf_db_find_cameras(shared.db, make.c_str(), model.c_str());
  if (cameras == nullptr) {
    lookup.why_not = Failure(MessageId::kLensCameraUnknown, {Trimmed(make + " " + model)});
    return lookup;
  }
  const lfCamera* camera = cameras[0];
  api.lf_free(cameras);
  const lfLens* lens = FindLens(shared, camera, lens_make, lens_model, &lookup.why_not);
  if (lens == nullptr)
    return lookup;
  return ProfileOf(api, camera, lens, focal_mm);
}

}  // namespace

std::optional<LensChoice> ParseLensChoice(const std::string& text) {
  LensChoice choice;
  if (text == "auto") {
    choice.mode = LensMode::Auto;
    return choice;
  }
  if (text == "off")
    return choice;
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, '|'))
    parts.push_back(Trimmed(part));
  if (!text.empty() && text.back() == '|')
    parts.emplace_back();
  if (parts.size() != 4 || parts[0].empty() || parts[1].empty())
    return std::nullopt;
  choice.mode = LensMode::Manual;
  choice.maker = parts[0];
  choice.model = parts[1];
  choice.lens = parts[2];
  if (!parts[3].empty()) {
    char* end = nullptr;
    const double focal = std::strtod(parts[3].c_str(), &end);
    if (end == parts[3].c_str() || *end != '\0' || !(focal > 0) || focal > 10000)
      return std::nullopt;
    choice.focal_mm = static_cast<float>(focal);
  }
  return choice;
}

std::string LensChoiceText(const LensChoice& choice) {
  switch (choice.mode) {
    case LensMode::Off:
      return "off";
    case LensMode::Auto:
      return "auto";
    case LensMode::Manual:
      break;
  }
  std::ostringstream focal;
  if (choice.focal_mm > 0)
    focal << choice.focal_mm;
  return choice.maker + "|" + choice.model + "|" + choice.lens + "|" + focal.str();
}

std::string LensProfile::CameraName() const {
  // lensfun's models usually repeat the maker ("Canon EOS 600D").
  if (Lower(camera_model).rfind(Lower(camera_maker), 0) == 0)
    return camera_model;
  return Trimmed(camera_maker + " " + camera_model);
}

std::string LensProfile::LensName() const {
  if (Lower(lens_model).rfind(Lower(lens_maker), 0) == 0)
    return lens_model;
  return Trimmed(lens_maker + " " + lens_model);
}

LensLookup LensDatabase::Find(const PhotoExif& exif, bool whole) {
  if (!NamesCamera(exif))
    return LensLookup{std::nullopt, Failure(MessageId::kLensNoCamera)};
  SharedDatabase& shared = SharedDatabase::Get();
  const std::lock_guard<std::mutex> lock(shared.mutex);
  if (std::optional<Failure> why_not = shared.Open())
    return LensLookup{std::nullopt, std::move(why_not)};
  if (whole)
    shared.LoadWhole();
  else
    shared.LoadMentioning(exif.model);
  return FindIn(shared, exif.make, exif.model, exif.lens_make, exif.lens_model,
                static_cast<float>(exif.focal_length_mm.value_or(0.0)));
}

LensLookup LensDatabase::Find(const LensChoice& choice) {
  SharedDatabase& shared = SharedDatabase::Get();
  const std::lock_guard<std::mutex> lock(shared.mutex);
  if (std::optional<Failure> why_not = shared.Open())
    return LensLookup{std::nullopt, std::move(why_not)};
  shared.LoadWhole();
  return FindIn(shared, choice.maker, choice.model, "", choice.lens, choice.focal_mm);
}

std::vector<LensDatabase::Camera> LensDatabase::SearchCameras(const std::string& query,
                                                              size_t limit) {
  std::vector<std::string> words;
  std::istringstream in(Lower(query));
  for (std::string word; in >> word;)
    words.push_back(word);
  SharedDatabase& shared = SharedDatabase::Get();
  const std::lock_guard<std::mutex> lock(shared.mutex);
  std::vector<Camera> found;
  if (shared.Open())
    return found;
  shared.LoadWhole();
  const lfCamera* const* cameras = shared.api->lf_db_get_cameras(shared.db);
  for (size_t i = 0; cameras && cameras[i] && found.size() < limit; ++i) {
    const std::string maker = Text(cameras[i]->Maker), model = Text(cameras[i]->Model);
    const std::string name = Lower(maker + " " + model);
    if (std::all_of(words.begin(), words.end(),
                    [&name](const std::string& w) { return name.find(w) != std::string::npos; }))
      found.push_back(Camera{maker, model, cameras[i]->CropFactor});
  }
  return found;
}

std::vector<LensDatabase::Lens> LensDatabase::LensesFor(const std::string& maker,
                                                        const std::string& model) {
  SharedDatabase& shared = SharedDatabase::Get();
  const std::lock_guard<std::mutex> lock(shared.mutex);
  std::vector<Lens> found;
  if (shared.Open())
    return found;
  shared.LoadWhole();
  const LensfunApi& api = *shared.api;
  const lfCamera** cameras = api.lf_db_find_cameras(shared.db, maker.c_str(), model.c_str());
  if (cameras == nullptr)
    return found;
  if (const lfLens** lenses =
          api.lf_db_find_lenses_hd(shared.db, cameras[0], nullptr, nullptr, 0)) {
    for (size_t i = 0; lenses[i]; ++i) {
      lfLensCalibDistortion calibration{};
      if (api.lf_lens_interpolate_distortion(lenses[i], lenses[i]->MinFocal, &calibration) &&
          ModelName(calibration.Model))
        found.push_back(Lens{Text(lenses[i]->Maker), Text(lenses[i]->Model), lenses[i]->MinFocal,
                             lenses[i]->MaxFocal});
    }
    api.lf_free(lenses);
  }
  api.lf_free(cameras);
  return found;
}

namespace {

struct ModifierRelease {
  const LensfunApi* api;
  void operator()(lfModifier* m) const { api->lf_modifier_destroy(m); }
};
using ModifierPtr = std::unique_ptr<lfModifier, ModifierRelease>;

}  // namespace

struct LensMapper::Modifiers {
  const LensfunApi* api = nullptr;
  ModifierPtr undistort;  // reverse: distorted -> undistorted
  ModifierPtr distort;    // correction: undistorted -> distorted
};

LensMapper::LensMapper(const LensProfile& profile, int width, int height)
    : m_(std::make_unique<Modifiers>()), width_(width), height_(height) {
  const lfLens* lens = profile.lens.get();
  {
    // The library the profile's lens was made with.
    SharedDatabase& shared = SharedDatabase::Get();
    const std::lock_guard<std::mutex> lock(shared.mutex);
    m_->api = shared.api;
  }
  if (m_->api == nullptr || lens == nullptr)
    return;  // no profile comes without lensfun: points stay as they are
  const LensfunApi& api = *m_->api;
  for (bool reverse : {true, false}) {
    ModifierPtr modifier(api.lf_modifier_new(lens, profile.camera_crop, width, height),
                         ModifierRelease{&api});
    // Aperture and focus distance matter to vignetting only.
    api.lf_modifier_initialize(modifier.get(), lens, LF_PF_F32, profile.focal_mm, 4.0f, 1000.0f,
                               1.0f, lens->Type, LF_MODIFY_DISTORTION, reverse);
    (reverse ? m_->undistort : m_->distort) = std::move(modifier);
  }
}

LensMapper::~LensMapper() = default;

namespace {

PhotoPoint Apply(const LensfunApi* api, lfModifier* modifier, PhotoPoint p) {
  if (modifier == nullptr)
    return p;
  // lensfun's pixel centres are at whole numbers, ours at halves.
  alignas(16) float out[2] = {0, 0};
  if (!api->lf_modifier_apply_geometry_distortion(modifier, static_cast<float>(p.x - 0.5),
                                                  static_cast<float>(p.y - 0.5), 1, 1, out))
    return p;
  return PhotoPoint{double{out[0]} + 0.5, double{out[1]} + 0.5};
}

}  // namespace

// lensfun inverts the model by Newton's method to about 0.02 px at the
// corners; two fixed-point steps on the forward model, u += p - D(u) (D is
// close to the identity), bring the point to the float precision of D.
PhotoPoint LensMapper::Undistort(PhotoPoint p) const {
  PhotoPoint u = Apply(m_->api, m_->undistort.get(), p);
  for (int step = 0; step < 2; ++step) {
    const PhotoPoint d = Apply(m_->api, m_->distort.get(), u);
    u.x += p.x - d.x;
    u.y += p.y - d.y;
  }
  return u;
}

PhotoPoint LensMapper::Distort(PhotoPoint p) const {
  return Apply(m_->api, m_->distort.get(), p);
}

}  // namespace sarn
