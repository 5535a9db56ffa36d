#include "state/file_digest.h"

#include <openssl/evp.h>

#include <array>
#include <memory>

namespace sarn {
namespace {

// A photo file is mapped whole; the photo reader accepts files up to 2 GiB.
constexpr size_t kLargestDigestedFileBytes = size_t{1} << 31;

struct DigestContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  const std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(EVP_MD_CTX_new());
  // The calls fail only when libcrypto cannot allocate; the digest is then
  // empty and matches no saved digest.
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
      EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1)
    return {};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 0x0F]);
  }
  return hex;
}

Result<std::string> FileSha256(const std::string& path) {
  const Result<MappedFile> file = MapWholeFile(path, kLargestDigestedFileBytes);
  if (!file)
    return file.failure();
  std::string digest = Sha256Hex({file->data(), file->size()});
  if (file->Shrunk())
    return Failure(MessageId::kSavedPhotoChanged, {path});
  return digest;
}

}  // namespace sarn
