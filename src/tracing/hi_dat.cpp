#include "tracing/hi_dat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstddef>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sarn {

namespace {

// Appends the 1818 values of one block, station by station (i * 202 + j),
// each as a little-endian 16-bit integer.
void AppendBlock(const std::array<std::array<int16_t, kSamples>, kStations>& block,
                 std::vector<uint8_t>* bytes) {
  for (const std::array<int16_t, kSamples>& station : block) {
    for (int16_t value : station) {
      const auto bits = static_cast<uint16_t>(value);
      bytes->push_back(static_cast<uint8_t>(bits & 0xFFu));
      bytes->push_back(static_cast<uint8_t>(bits >> 8));
    }
  }
}

std::string SystemError(const std::string& what, const std::string& path, int error_number) {
  return what + " " + path + ": " + std::strerror(error_number);
}

// Writes all of `bytes` to `fd`, retrying short writes.
bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::vector<uint8_t> HiDatBytes(const ScanResult& result) {
  std::vector<uint8_t> bytes;
  bytes.reserve(kHiDatBytes);
  AppendBlock(result.Bright, &bytes);
  AppendBlock(result.Drop, &bytes);
  return bytes;
}

bool WriteHiDat(const std::string& path, const ScanResult& result, std::string* error) {
  const std::vector<uint8_t> bytes = HiDatBytes(result);

  // The new content goes to a uniquely named file in the same folder (so the
  // rename below stays within one file system) and replaces the old file in
  // one step: a reader sees either the old file or the whole new one, and an
  // older, longer file leaves no tail behind. The dump is a diagnostic aid,
  // so it is not synced to disk.
  std::string temp_path = path + ".XXXXXX";
  const int fd = ::mkstemp(temp_path.data());
  if (fd < 0) {
    if (error)
      *error = SystemError("cannot create a temporary file beside", path, errno);
    return false;
  }
  // mkstemp creates the file readable by its owner only. The replacement
  // keeps the permissions of the file it replaces; a new dump is an ordinary
  // data file (rw-r--r--).
  struct stat old_file {};
  const mode_t mode = ::stat(path.c_str(), &old_file) == 0
                          ? (old_file.st_mode & 07777)
                          : (S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH);
  ::fchmod(fd, mode);

  const bool written = WriteAll(fd, bytes);
  const int write_errno = errno;
  const bool closed = ::close(fd) == 0;
  const int close_errno = errno;
  if (!written || !closed) {
    ::unlink(temp_path.c_str());
    if (error)
      *error = SystemError("cannot write", temp_path, written ? close_errno : write_errno);
    return false;
  }
  if (std::rename(temp_path.c_str(), path.c_str()) != 0) {
    const int rename_errno = errno;
    ::unlink(temp_path.c_str());
    if (error)
      *error = SystemError("cannot replace", path, rename_errno);
    return false;
  }
  return true;
}

}  // namespace sarn
