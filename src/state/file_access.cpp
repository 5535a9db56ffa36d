#include "state/file_access.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <span>
#include <utility>

namespace sarn {
namespace {

using enum MessageId;

Failure OpenError(const std::string& path, int error_number) {
  if (error_number == ENOENT || error_number == ENOTDIR || error_number == ENAMETOOLONG)
    return Failure(kFileNotFound, {path});
  if (error_number == EACCES || error_number == EPERM)
    return Failure(kFileNoPermission, {path, std::strerror(error_number)});
  return Failure(kFileCannotOpen, {path, std::strerror(error_number)});
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
  void reset(int fd) {
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

// Opens `path` for reading without blocking and checks that it is a regular
// file; fills `status`.
Result<void> OpenRegular(const std::string& path, FileDescriptor* fd, struct stat* status) {
  // O_NONBLOCK: opening a FIFO with no writer would otherwise wait for one.
  FileDescriptor opened(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (opened.get() < 0) {
    if (errno == ENXIO)  // a socket, or a FIFO opened for writing elsewhere
      return Failure(kFileNotRegular, {path});
    return OpenError(path, errno);
  }
  if (::fstat(opened.get(), status) != 0)
    return OpenError(path, errno);
  if (S_ISDIR(status->st_mode))
    return Failure(kFileIsFolder, {path});
  if (!S_ISREG(status->st_mode))
    return Failure(kFileNotRegular, {path});
  // A regular file never blocks; reading goes on in the ordinary mode.
  ::fcntl(opened.get(), F_SETFL, ::fcntl(opened.get(), F_GETFL) & ~O_NONBLOCK);
  fd->reset(opened.release());
  return Ok();
}

Result<std::vector<uint8_t>> ReadFile(const std::string& path, size_t max_bytes, bool truncate) {
  FileDescriptor fd(-1);
  struct stat status {};
  if (Result<void> opened = OpenRegular(path, &fd, &status); !opened)
    return opened.failure();

  // Read to the end rather than trusting st_size: files of /proc and /sys
  // report 0 and still have content.
  if (!truncate && static_cast<uint64_t>(status.st_size) > max_bytes) {
    return Failure(kFileTooLargeBytes, {path, std::to_string(status.st_size)});
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
          return Failure(kFileTooLarge, {path});
        }
        bytes.resize(std::min(bytes.size() * 2, max_bytes + 1));
      }
      const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0) {
        return Failure(kFileReadError, {path, std::strerror(errno)});
      }
      if (n == 0)
        break;
      done += static_cast<size_t>(n);
    }
  } catch (const std::bad_alloc&) {
    return Failure(kFileTooLargeToRead, {path});
  }
  if (done > max_bytes) {
    if (!truncate)
      return Failure(kFileTooLarge, {path});
    done = max_bytes;
  }
  bytes.resize(done);
  return bytes;
}

// The mapped files, for the SIGBUS handler: [begin, end) address ranges.
// Few are mapped at a time (one photo); a slot is free when begin is 0.
struct MappedRange {
  std::atomic<uintptr_t> begin{0};
  std::atomic<uintptr_t> end{0};
};
std::array<MappedRange, 16> g_mapped;
struct sigaction g_previous_sigbus {};

bool InMappedFile(uintptr_t address) {
  for (const MappedRange& r : g_mapped) {
    const uintptr_t begin = r.begin.load(std::memory_order_acquire);
    if (begin != 0 && address >= begin && address < r.end.load(std::memory_order_acquire))
      return true;
  }
  return false;
}

// A read past the end of a mapped file that was cut short: a zero page takes
// the missing page's place and the read is repeated. Any other SIGBUS goes to
// the handler that was there before (by default, the end of the program).
void OnSigbus(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
  if (InMappedFile(address)) {
    const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    void* start = reinterpret_cast<void*>(address & ~(page - 1));
    if (::mmap(start, page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
        MAP_FAILED)
      return;
  }
  const struct sigaction& previous = g_previous_sigbus;
  if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
    previous.sa_sigaction(signal, info, context);
  } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(signal);
  } else {
    // Returning repeats the read, which now ends the program the default way.
    ::signal(SIGBUS, SIG_DFL);
  }
}

void InstallSigbusHandler() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_sigaction = OnSigbus;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGBUS, &action, &g_previous_sigbus) == 0;
  }();
  (void)installed;
}

// Registration runs outside the handler, under a lock; the handler only
// reads (end is set before begin, and begin cleared first).
std::mutex g_mapped_lock;

bool RegisterMapping(const uint8_t* data, size_t size) {
  const std::lock_guard<std::mutex> lock(g_mapped_lock);
  for (MappedRange& r : g_mapped) {
    if (r.begin.load(std::memory_order_relaxed) == 0) {
      r.end.store(reinterpret_cast<uintptr_t>(data) + size, std::memory_order_release);
      r.begin.store(reinterpret_cast<uintptr_t>(data), std::memory_order_release);
      return true;
    }
  }
  return false;
}

void UnregisterMapping(const uint8_t* data) {
  const std::lock_guard<std::mutex> lock(g_mapped_lock);
  for (MappedRange& r : g_mapped) {
    if (r.begin.load(std::memory_order_relaxed) == reinterpret_cast<uintptr_t>(data)) {
      r.begin.store(0, std::memory_order_release);
      return;
    }
  }
}

}  // namespace

MappedFile::MappedFile(MappedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Reset();
    fd_ = std::exchange(other.fd_, -1);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

MappedFile::~MappedFile() {
  Reset();
}

void MappedFile::Reset() noexcept {
  if (data_ != nullptr) {
    UnregisterMapping(data_);
    ::munmap(const_cast<uint8_t*>(data_), size_);
  }
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
  data_ = nullptr;
  size_ = 0;
}

bool MappedFile::Shrunk() const {
  if (fd_ < 0)
    return false;
  struct stat status {};
  return ::fstat(fd_, &status) != 0 || static_cast<uint64_t>(status.st_size) < size_;
}

Result<MappedFile> MapWholeFile(const std::string& path, size_t max_bytes) {
  FileDescriptor fd(-1);
  struct stat status {};
  if (Result<void> opened = OpenRegular(path, &fd, &status); !opened)
    return opened.failure();
  if (static_cast<uint64_t>(status.st_size) > max_bytes)
    return Failure(kFileTooLargeBytes, {path, std::to_string(status.st_size)});
  MappedFile file;
  if (status.st_size == 0)
    return file;
  const auto size = static_cast<size_t>(status.st_size);
  // MAP_POPULATE maps the file's pages in this one call rather than one
  // fault per 64 kB as the decoder reads on (a photo of 5 MB: some 80
  // faults, each 10-20 us on a virtual machine).
  void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.get(), 0);
  if (data == MAP_FAILED) {
    return Failure(kFileReadError, {path, std::strerror(errno)});
  }
  InstallSigbusHandler();
  if (!RegisterMapping(static_cast<const uint8_t*>(data), size)) {
    ::munmap(data, size);
    return Failure(kFileTooManyMapped, {path});
  }
  file.fd_ = fd.release();
  file.data_ = static_cast<const uint8_t*>(data);
  file.size_ = size;
  return file;
}

Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path, size_t max_bytes) {
  return ReadFile(path, max_bytes, false);
}

Result<std::vector<uint8_t>> ReadFileStart(const std::string& path, size_t max_bytes) {
  return ReadFile(path, max_bytes, true);
}

namespace {

Result<void> Replace(const std::string& path, std::span<const uint8_t> bytes, bool sync) {
  std::string temp = path + ".XXXXXX";
  FileDescriptor fd(::mkstemp(temp.data()));
  if (fd.get() < 0) {
    return Failure(kFileCannotCreateBeside, {path, std::strerror(errno)});
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
      return Ok();
    failure = errno;
  }
  ::unlink(temp.c_str());
  return Failure(kFileCannotWrite, {path, std::strerror(failure)});
}

}  // namespace

Result<void> ReplaceFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                                   bool sync) {
  return Replace(path, bytes, sync);
}

Result<void> ReplaceFileWithBytes(const std::string& path, std::string_view bytes) {
  return Replace(path, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, true);
}

bool IsTooLarge(const Failure& failure) {
  const MessageId id = failure.message();
  return id == kFileTooLargeBytes || id == kFileTooLarge || id == kFileTooLargeToRead;
}

}  // namespace sarn
