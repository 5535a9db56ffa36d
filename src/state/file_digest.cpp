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
struct CryptoApi {
  std::string error;  // why libcrypto cannot be used; empty when it can
  decltype(&EVP_MD_CTX_new) md_ctx_new = nullptr;
  decltype(&EVP_MD_CTX_free) md_ctx_free = nullptr;
  decltype(&EVP_sha256) sha256 = nullptr;
  decltype(&EVP_DigestInit_ex) digest_init = nullptr;
  decltype(&EVP_DigestUpdate) digest_update = nullptr;
  decltype(&EVP_DigestFinal_ex) digest_final = nullptr;

  void Resolve(SharedLibrary& library) {
    library.Resolve(md_ctx_new, "EVP_MD_CTX_new");
    library.Resolve(md_ctx_free, "EVP_MD_CTX_free");
    library.Resolve(sha256, "EVP_sha256");
    library.Resolve(digest_init, "EVP_DigestInit_ex");
    library.Resolve(digest_update, "EVP_DigestUpdate");
    library.Resolve(digest_final, "EVP_DigestFinal_ex");
  }
};

const CryptoApi& Crypto() {
  return LoadLibraryOnce<CryptoApi>(kCryptoSoname);
}

struct DigestContextFree {
  const CryptoApi* api;
  void operator()(EVP_MD_CTX* context) const { api->md_ctx_free(context); }
};

}  // namespace

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  const CryptoApi& api = Crypto();
  if (!api.error.empty())
    return {};
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  const std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(api.md_ctx_new(),
                                                               DigestContextFree{&api});
  // The calls fail only when libcrypto cannot allocate; the digest is then
  // empty and matches no saved digest.
  if (!context || api.digest_init(context.get(), api.sha256(), nullptr) != 1 ||
      api.digest_update(context.get(), bytes.data(), bytes.size()) != 1 ||
      api.digest_final(context.get(), digest.data(), &length) != 1)
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
