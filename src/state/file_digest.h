#pragma once

// SHA-256 digests (FIPS 180-4), written as 64 lower-case hexadecimal digits,
// computed by libcrypto (OpenSSL's EVP interface): a saved measurement names
// its photo by the digest of the photo file's bytes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "state/file_access.h"

namespace sarn {

std::string Sha256Hex(std::span<const uint8_t> bytes);

// The digest of the whole file at `path` (mapped, not copied), or why it
// cannot be read (the refusals of MapWholeFile; kSavedPhotoChanged when the
// file shrank while it was read).
Result<std::string> FileSha256(const std::string& path);

}  // namespace sarn
