#pragma once

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes out of scope. Test inputs are written here.

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace sarn::test_files {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sarn-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
  }
  ~TempFolder() {
    if (path_.empty())
      return;
    std::error_code ignored;
    // Undo any permission a test took away, so that everything can be removed.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }

  std::string Write(std::string_view name, const std::vector<uint8_t>& bytes) const {
    const std::string file = File(name);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return file;
  }

  std::string Write(std::string_view name, std::string_view text) const {
    const std::string file = File(name);
    std::ofstream out(file, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return file;
  }

  // The names of the entries of the folder, for checking that nothing is left behind.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
      names.push_back(entry.path().filename().string());
    return names;
  }

 private:
  std::string path_;
};

inline std::vector<uint8_t> ReadBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace sarn::test_files
