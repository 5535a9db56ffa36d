#pragma once

// A fresh folder under the system's temporary directory for files a test
// generates (photos, broken files), removed with everything in it when the
// object goes out of scope.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sarn::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name, without creating anything.
  std::string PathOf(std::string_view name) const;
  // Writes `bytes` to a file `name` in the folder (replacing it) and returns
  // its full path; throws std::runtime_error when the file cannot be written.
  std::string Write(std::string_view name, const std::vector<uint8_t>& bytes) const;
  std::string Write(std::string_view name, std::string_view text) const;
  // The names of the folder's entries, to check that nothing is left behind.
  std::vector<std::string> Entries() const;

 private:
  std::string path_;
};

// The whole content of a file (empty when it cannot be read).
std::vector<uint8_t> ReadBytes(const std::string& file);

}  // namespace sarn::test
