#pragma once

// The program's one way to read a whole file and to replace a file whole.
// Both refuse what is not a regular file before reading from it: a FIFO, a
// device or a socket opened for reading would block the only thread for
// ever, so the file is opened without blocking and checked first.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace sarn {

enum class FileProblem {
  kNotFound,      // no such file (or a folder on the way is missing)
  kNoPermission,  // the file may not be read or written
  kNotRegular,    // a folder, FIFO, device or socket
  kTooLarge,      // larger than the caller accepts
  kReadError,     // an I/O error while reading
  kWriteError,    // the replacement could not be written or renamed
};

struct FileError {
  FileProblem problem = FileProblem::kReadError;
  std::string what;     // what went wrong, without the path
  std::string message;  // "PATH: what went wrong", for the user
};

// The whole content of `path`, at most `max_bytes` long.
std::variant<std::vector<uint8_t>, FileError> ReadWholeFile(const std::string& path,
                                                            size_t max_bytes);

// The first `max_bytes` of `path` (all of it when shorter): for readers that
// never need more, so that a huge file or an endless one costs no more.
std::variant<std::vector<uint8_t>, FileError> ReadFileStart(const std::string& path,
                                                            size_t max_bytes);

// Replaces `path` by `bytes`: written to a uniquely named file beside it (so
// the rename stays on one file system), synced when `sync`, then renamed over
// it, so that a reader sees the old file or the whole new one and a failed
// write leaves no half file. A replaced regular file keeps its permissions;
// anything else (no file, or a link to a folder) gives a new file the
// permissions the user's umask gives new files.
std::optional<FileError> ReplaceFileAtomically(const std::string& path,
                                               const std::vector<uint8_t>& bytes, bool sync);

}  // namespace sarn
