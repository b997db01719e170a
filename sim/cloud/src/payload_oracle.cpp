#include "payload_oracle.h"

#include <openssl/evp.h>

#include <memory>
#include <vector>

#include "cloud/payload_cipher.h"  // the key both sides hold

namespace simcloud {
namespace {

using Context = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

// Whole text through the cipher; false when OpenSSL refuses it (a bad padding on the way back).
bool Cipher(const unsigned char* in, std::size_t length, bool encrypt, std::vector<unsigned char>& out) {
  const Context context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  const unsigned char chain[16] = {};
  const auto* key = reinterpret_cast<const unsigned char*>(torvane::kPayloadKeyText);
  if (context == nullptr ||
      EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, key, chain, encrypt ? 1 : 0) != 1) {
    return false;
  }
  out.assign(length + 16, 0);
  int n = 0, tail = 0;
  if (EVP_CipherUpdate(context.get(), out.data(), &n, in, static_cast<int>(length)) != 1 ||
      EVP_CipherFinal_ex(context.get(), out.data() + n, &tail) != 1) {
    return false;
  }
  out.resize(static_cast<std::size_t>(n + tail));
  return true;
}

}  // namespace

std::string EncipherPayload(std::string_view text) {
  std::vector<unsigned char> cipher;
  if (!Cipher(reinterpret_cast<const unsigned char*>(text.data()), text.size(), true, cipher)) return {};
  std::string base64(4 * ((cipher.size() + 2) / 3) + 1, '\0');
  base64.resize(static_cast<std::size_t>(
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(base64.data()), cipher.data(), static_cast<int>(cipher.size()))));
  return base64;
}

std::string DecipherPayload(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0) return {};
  std::vector<unsigned char> bytes(text.size() / 4 * 3);
  const int decoded = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                      static_cast<int>(text.size()));
  if (decoded < 0) return {};
  // EVP_DecodeBlock counts the fill as zero bytes.
  std::size_t length = static_cast<std::size_t>(decoded);
  for (std::size_t i = text.size(); i > 0 && text[i - 1] == '=' && length > 0; --i) --length;
  if (length == 0 || length % 16 != 0) return {};
  std::vector<unsigned char> plain;
  if (!Cipher(bytes.data(), length, false, plain)) return {};
  return std::string(plain.begin(), plain.end());
}

}  // namespace simcloud
