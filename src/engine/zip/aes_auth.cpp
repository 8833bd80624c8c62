#include "engine/zip/aes_auth.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <array>
#include <memory>
#include <vector>

namespace kx {
namespace {

constexpr int kRounds = 1000;
constexpr std::size_t kVerifierSize = 2;
constexpr std::size_t kCodeSize = 10;
constexpr std::size_t kChunk = 256 * 1024;

struct MacDeleter {
  void operator()(EVP_MAC* m) const { EVP_MAC_free(m); }
  void operator()(EVP_MAC_CTX* c) const { EVP_MAC_CTX_free(c); }
};

// Reads exactly n bytes (fewer only at the end of the data).
zip_int64_t ReadFully(zip_file_t* zf, unsigned char* out, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    const zip_int64_t r = zip_fread(zf, out + got, n - got);
    if (r < 0) return -1;
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<zip_int64_t>(got);
}

}  // namespace

Result CheckAesAuthentication(zip_t* za, zip_uint64_t index, int aesMethod, const std::string& password) {
  std::size_t keySize = 0;
  switch (aesMethod) {
    case ZIP_EM_AES_128: keySize = 16; break;
    case ZIP_EM_AES_192: keySize = 24; break;
    case ZIP_EM_AES_256: keySize = 32; break;
    default: return rc::UnknownMethod;
  }
  const std::size_t saltSize = keySize / 2;

  zip_stat_t st;
  if (zip_stat_index(za, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_COMP_SIZE)) return rc::ArchiveError;
  if (st.comp_size < saltSize + kVerifierSize + kCodeSize) return rc::CrcError;
  std::uint64_t cipherLeft = st.comp_size - saltSize - kVerifierSize - kCodeSize;

  zip_file_t* zf = zip_fopen_index(za, index, ZIP_FL_ENCRYPTED);
  if (!zf) return rc::ArchiveError;
  const auto close = std::unique_ptr<zip_file_t, int (*)(zip_file_t*)>(zf, zip_fclose);

  std::vector<unsigned char> head(saltSize + kVerifierSize);
  if (ReadFully(zf, head.data(), head.size()) != static_cast<zip_int64_t>(head.size())) return rc::CrcError;
  std::vector<unsigned char> keys(2 * keySize + kVerifierSize);
  if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), head.data(),
                             static_cast<int>(saltSize), kRounds, static_cast<int>(keys.size()), keys.data()) != 1)
    return rc::OutOfMemory;
  if (CRYPTO_memcmp(keys.data() + 2 * keySize, head.data() + saltSize, kVerifierSize) != 0) return rc::WrongPassword;

  std::unique_ptr<EVP_MAC, MacDeleter> mac(EVP_MAC_fetch(nullptr, "HMAC", nullptr));
  std::unique_ptr<EVP_MAC_CTX, MacDeleter> ctx(mac ? EVP_MAC_CTX_new(mac.get()) : nullptr);
  char digest[] = "SHA1";
  const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                               OSSL_PARAM_construct_end()};
  if (!ctx || EVP_MAC_init(ctx.get(), keys.data() + keySize, keySize, params) != 1) return rc::OutOfMemory;

  std::vector<unsigned char> buffer(kChunk);
  while (cipherLeft > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(cipherLeft, buffer.size()));
    if (ReadFully(zf, buffer.data(), want) != static_cast<zip_int64_t>(want)) return rc::CrcError;
    if (EVP_MAC_update(ctx.get(), buffer.data(), want) != 1) return rc::OutOfMemory;
    cipherLeft -= want;
  }
  std::array<unsigned char, kCodeSize> stored{};
  if (ReadFully(zf, stored.data(), stored.size()) != static_cast<zip_int64_t>(stored.size())) return rc::CrcError;
  std::array<unsigned char, EVP_MAX_MD_SIZE> computed{};
  std::size_t computedSize = 0;
  if (EVP_MAC_final(ctx.get(), computed.data(), &computedSize, computed.size()) != 1 || computedSize < kCodeSize)
    return rc::OutOfMemory;
  return CRYPTO_memcmp(computed.data(), stored.data(), kCodeSize) == 0 ? rc::Ok : rc::CrcError;
}

}  // namespace kx
