#include "state/shared_library.h"

#include <dlfcn.h>

namespace sarn {
namespace {

std::mutex replacements_mutex;
std::map<std::string, std::string>& Replacements() {
  static std::map<std::string, std::string> replacements;
  return replacements;
}

}  // namespace

SharedLibrary::SharedLibrary(const std::string& soname) {
  // Never closed: the functions resolved from it are kept for the process.
  handle_ = ::dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = ::dlerror();
    error_ = why != nullptr ? why : soname + ": cannot be opened";
  }
}

void* SharedLibrary::Symbol(const char* name) {
  if (handle_ == nullptr)
    return nullptr;
  ::dlerror();
  void* address = ::dlsym(handle_, name);
  if (address == nullptr && error_.empty()) {
    const char* why = ::dlerror();
    error_ = why != nullptr ? why : std::string(name) + ": not found";
  }
  return address;
}

std::string LibrarySoname(const std::string& soname) {
  const std::lock_guard<std::mutex> lock(replacements_mutex);
  const auto found = Replacements().find(soname);
  return found != Replacements().end() ? found->second : soname;
}

ReplaceLibraryForTest::ReplaceLibraryForTest(const std::string& soname,
                                             const std::string& replacement)
    : soname_(soname) {
  const std::lock_guard<std::mutex> lock(replacements_mutex);
  Replacements()[soname] = replacement;
}

ReplaceLibraryForTest::~ReplaceLibraryForTest() {
  const std::lock_guard<std::mutex> lock(replacements_mutex);
  Replacements().erase(soname_);
}

}  // namespace sarn
