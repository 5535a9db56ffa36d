#include "state/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

namespace sarn {
namespace {

FileError ErrorOf(FileProblem problem, const std::string& path, const std::string& what) {
  return FileError{problem, what, path + ": " + what};
}

FileError OpenError(const std::string& path, int error_number) {
  if (error_number == ENOENT || error_number == ENOTDIR || error_number == ENAMETOOLONG)
    return ErrorOf(FileProblem::kNotFound, path, "the file does not exist");
  if (error_number == EACCES || error_number == EPERM)
    return ErrorOf(FileProblem::kNoPermission, path,
                   std::string("the file cannot be read (") + std::strerror(error_number) + ")");
  return ErrorOf(FileProblem::kReadError, path,
                 std::string("the file cannot be opened (") + std::strerror(error_number) + ")");
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::variant<std::vector<uint8_t>, FileError> ReadFile(const std::string& path, size_t max_bytes,
                                                       bool truncate) {
  // O_NONBLOCK: opening a FIFO with no writer would otherwise wait for one.
  const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) {
    if (errno == ENXIO)  // a socket, or a FIFO opened for writing elsewhere
      return ErrorOf(FileProblem::kNotRegular, path, "this is not a regular file");
    return OpenError(path, errno);
  }
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0)
    return OpenError(path, errno);
  if (S_ISDIR(status.st_mode))
    return ErrorOf(FileProblem::kNotRegular, path, "this is a folder, not a file");
  if (!S_ISREG(status.st_mode))
    return ErrorOf(FileProblem::kNotRegular, path, "this is not a regular file");
  // A regular file never blocks; reading goes on in the ordinary mode.
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);

  // Read to the end rather than trusting st_size: files of /proc and /sys
  // report 0 and still have content.
  if (!truncate && static_cast<uint64_t>(status.st_size) > max_bytes) {
    return ErrorOf(FileProblem::kTooLarge, path,
                   "the file is too large (" + std::to_string(status.st_size) + " bytes)");
  }
  std::vector<uint8_t> bytes;
  size_t done = 0;
  try {
    bytes.resize(std::min<uint64_t>(std::max<uint64_t>(static_cast<uint64_t>(status.st_size), 4096),
                                    max_bytes + 1));
    for (;;) {
      if (done == bytes.size()) {
        if (bytes.size() > max_bytes) {
          if (truncate)
            break;
          return ErrorOf(FileProblem::kTooLarge, path, "the file is too large");
        }
        bytes.resize(std::min(bytes.size() * 2, max_bytes + 1));
      }
      const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0) {
        return ErrorOf(FileProblem::kReadError, path,
                       std::string("the file cannot be read (") + std::strerror(errno) + ")");
      }
      if (n == 0)
        break;
      done += static_cast<size_t>(n);
    }
  } catch (const std::bad_alloc&) {
    return ErrorOf(FileProblem::kTooLarge, path, "the file is too large to read");
  }
  if (done > max_bytes) {
    if (!truncate)
      return ErrorOf(FileProblem::kTooLarge, path, "the file is too large");
    done = max_bytes;
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace

std::variant<std::vector<uint8_t>, FileError> ReadWholeFile(const std::string& path,
                                                            size_t max_bytes) {
  return ReadFile(path, max_bytes, false);
}

std::variant<std::vector<uint8_t>, FileError> ReadFileStart(const std::string& path,
                                                            size_t max_bytes) {
  return ReadFile(path, max_bytes, true);
}

std::optional<FileError> ReplaceFileAtomically(const std::string& path,
                                               const std::vector<uint8_t>& bytes, bool sync) {
  std::string temp = path + ".XXXXXX";
  FileDescriptor fd(::mkstemp(temp.data()));
  if (fd.get() < 0) {
    return ErrorOf(FileProblem::kWriteError, path,
                   std::string("cannot create a file beside it (") + std::strerror(errno) + ")");
  }
  // mkstemp creates the file readable by its owner only. lstat, not stat: a
  // link to a folder must not lend the folder's permissions to the file.
  struct stat existing {};
  mode_t mode = 0;
  if (::lstat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  int failure = ::fchmod(fd.get(), mode) == 0 ? 0 : errno;
  size_t written = 0;
  while (failure == 0 && written < bytes.size()) {
    const ssize_t n = ::write(fd.get(), bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      failure = n < 0 ? errno : EIO;
    else
      written += static_cast<size_t>(n);
  }
  if (failure == 0 && sync && ::fsync(fd.get()) != 0)
    failure = errno;
  if (::close(fd.release()) != 0 && failure == 0)
    failure = errno;
  if (failure == 0) {
    if (::rename(temp.c_str(), path.c_str()) == 0)
      return std::nullopt;
    failure = errno;
  }
  ::unlink(temp.c_str());
  return ErrorOf(FileProblem::kWriteError, path,
                 std::string("cannot write the file (") + std::strerror(failure) + ")");
}

}  // namespace sarn
