#pragma once

// SHA-256 digests (FIPS 180-4), written as 64 lower-case hexadecimal digits,
// computed by libcrypto (OpenSSL's EVP interface): a saved measurement names
// its photo by the digest of the photo file's bytes. libcrypto is opened at
// the first digest (state/shared_library.h), not at start-up.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "state/file_access.h"

namespace sarn {

// libcrypto's runtime name (Debian's package libssl3).
inline constexpr const char* kCryptoSoname = "libcrypto.so.3";

// Empty when libcrypto cannot be loaded or cannot allocate.
std::string Sha256Hex(std::span<const uint8_t> bytes);

// The digest of the whole file at `path` (mapped, not copied), or why it
// cannot be read (the refusals of MapWholeFile; kSavedPhotoChanged when the
// file shrank while it was read; kDigestLibraryMissing without libcrypto).
Result<std::string> FileSha256(const std::string& path);

}  // namespace sarn
