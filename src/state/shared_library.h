#pragma once

// Libraries that only some photos need (libheif for HEIC/HEIF, lensfun for
// lens correction), opened when first needed rather than by the dynamic
// loader at start-up: libheif brings its HEVC and AV1 codecs, lensfun GLib,
// and a JPEG user would pay their loading and relocation on every start.
//
// A library is opened with dlopen (RTLD_NOW | RTLD_LOCAL) by its runtime
// soname, once per process, and never closed. Its functions are resolved at
// once; a library that is missing or lacks one of them is reported by the
// dynamic loader's own words, and its functions stay null. No Qt.

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace sarn {

// One opened library, for resolving its functions.
class SharedLibrary {
 public:
  explicit SharedLibrary(const std::string& soname);
  // Sets `function` to the library's `name`; on failure it stays null and
  // error() says why.
  template <typename Function>
  void Resolve(Function*& function, const char* name) {
    function = reinterpret_cast<Function*>(Symbol(name));
  }
  // Empty while the library and every function asked for were found.
  const std::string& error() const { return error_; }

 private:
  void* Symbol(const char* name);
  void* handle_ = nullptr;
  std::string error_;
};

// The soname looked up for `soname`: itself, or the replacement a test set.
std::string LibrarySoname(const std::string& soname);

// For tests: while one lives, `soname` is looked up as `replacement` (a
// name no library has simulates a machine without the package).
class ReplaceLibraryForTest {
 public:
  ReplaceLibraryForTest(const std::string& soname, const std::string& replacement);
  ~ReplaceLibraryForTest();
  ReplaceLibraryForTest(const ReplaceLibraryForTest&) = delete;
  ReplaceLibraryForTest& operator=(const ReplaceLibraryForTest&) = delete;

 private:
  std::string soname_;
};

// A library's function table, from FUNCTIONS(F) naming each function once
// as F(name): a member `name` pointing to the library's own function (null
// until resolved), `error` (why the library cannot be used; empty when it
// can) and the Resolve that LoadLibraryOnce calls.
#define SARN_LIBRARY_FUNCTION_MEMBER(name) decltype(&::name) name = nullptr;
#define SARN_LIBRARY_FUNCTION_RESOLVE(name) library.Resolve(name, #name);
#define SARN_LIBRARY_API(FUNCTIONS)          \
  std::string error;                         \
  FUNCTIONS(SARN_LIBRARY_FUNCTION_MEMBER)    \
  void Resolve(SharedLibrary& library) {     \
    FUNCTIONS(SARN_LIBRARY_FUNCTION_RESOLVE) \
  }

// The function table `Api` of the library `soname`, filled once per process
// (thread-safe) by `Api::Resolve(SharedLibrary&)`; `Api::error` holds why it
// cannot be used, empty when it can. The table lives to the end of the
// process.
template <typename Api>
const Api& LoadLibraryOnce(const std::string& soname) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<const Api>> opened;
  const std::string name = LibrarySoname(soname);
  const std::lock_guard<std::mutex> lock(mutex);
  std::unique_ptr<const Api>& api = opened[name];
  if (!api) {
    SharedLibrary library(name);
    auto filled = std::make_unique<Api>();
    filled->Resolve(library);
    filled->error = library.error();
    api = std::move(filled);
  }
  return *api;
}

}  // namespace sarn
