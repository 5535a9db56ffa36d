#include "state/file_digest.h"

#include <openssl/evp.h>

#include <array>
#include <memory>

#include "state/shared_library.h"

namespace sarn {
namespace {

// A photo file is mapped whole; the photo reader accepts files up to 2 GiB.
constexpr size_t kLargestDigestedFileBytes = size_t{1} << 31;

// libcrypto's functions, resolved from the library at the first digest.
#define SARN_CRYPTO_FUNCTIONS(F) \
  F(EVP_MD_CTX_new)              \
  F(EVP_MD_CTX_free)             \
  F(EVP_sha256)                  \
  F(EVP_DigestInit_ex)           \
  F(EVP_DigestUpdate)            \
  F(EVP_DigestFinal_ex)
struct CryptoApi {
  SARN_LIBRARY_API(SARN_CRYPTO_FUNCTIONS)
};

const CryptoApi& Crypto() {
  return LoadLibraryOnce<CryptoApi>(kCryptoSoname);
}

struct DigestContextFree {
  const CryptoApi* api;
  void operator()(EVP_MD_CTX* context) const { api->EVP_MD_CTX_free(context); }
};

}  // namespace

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  const CryptoApi& api = Crypto();
  if (!api.error.empty())
    return {};
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  const std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(api.EVP_MD_CTX_new(),
                                                               DigestContextFree{&api});
  // The calls fail only when libcrypto cannot allocate; the digest is then
  // empty and matches no saved digest.
  if (!context || api.EVP_DigestInit_ex(context.get(), api.EVP_sha256(), nullptr) != 1 ||
      api.EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
      api.EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1)
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
  if (const std::string& why = Crypto().error; !why.empty())
    return Failure(MessageId::kDigestLibraryMissing, {why});
  const Result<MappedFile> file = MapWholeFile(path, kLargestDigestedFileBytes);
  if (!file)
    return file.failure();
  std::string digest = Sha256Hex({file->data(), file->size()});
  if (file->Shrunk())
    return Failure(MessageId::kSavedPhotoChanged, {path});
  return digest;
}

}  // namespace sarn
