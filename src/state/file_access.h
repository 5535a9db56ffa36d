#pragma once

// The program's one way to read a whole file and to replace a file whole.
// Both refuse what is not a regular file before reading from it: a FIFO, a
// device or a socket opened for reading would block the only thread for
// ever, so the file is opened without blocking and checked first.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "state/failure.h"

namespace sarn {

// Every failure names the path once: "PATH: what went wrong" (the kFile...
// entries of messages.h).

// The whole content of `path`, at most `max_bytes` long.
Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path, size_t max_bytes);

// The first `max_bytes` of `path` (all of it when shorter): for readers that
// never need more, so that a huge file or an endless one costs no more.
Result<std::vector<uint8_t>> ReadFileStart(const std::string& path, size_t max_bytes);

// A regular file mapped read-only (MAP_PRIVATE), for large inputs read once
// (a photo): no copy into the heap, and pages never read are never loaded.
// A file cut short by another program while it is mapped would kill the
// program with SIGBUS on the first read past its new end; instead, such a
// page reads as zeros (a process-wide SIGBUS handler, installed with the
// first mapping, maps a zero page there and passes every other SIGBUS on),
// and Shrunk() tells afterwards that the bytes read were not the file's.
class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  ~MappedFile();

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  // The file is now shorter than when it was mapped (or cannot be checked).
  bool Shrunk() const;

 private:
  friend Result<MappedFile> MapWholeFile(const std::string& path, size_t max_bytes);
  void Reset() noexcept;

  int fd_ = -1;  // kept open for Shrunk()
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// `path` mapped whole, with the same refusals and problems as ReadWholeFile
// (checked as a regular file, opened without blocking, before anything is
// read). An empty file gives an empty mapping.
Result<MappedFile> MapWholeFile(const std::string& path, size_t max_bytes);

// Replaces `path` by `bytes`: written to a uniquely named file beside it (so
// the rename stays on one file system), synced when `sync`, then renamed over
// it, so that a reader sees the old file or the whole new one and a failed
// write leaves no half file. A replaced regular file keeps its permissions;
// anything else (no file, or a link to a folder) gives a new file the
// permissions the user's umask gives new files.
Result<void> ReplaceFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                                   bool sync);

// The same, synced, for bytes held elsewhere (a Qt buffer).
Result<void> ReplaceFileWithBytes(const std::string& path, std::string_view bytes);

// True for the failures that say a file is larger than the reader accepts.
bool IsTooLarge(const Failure& failure);

}  // namespace sarn
