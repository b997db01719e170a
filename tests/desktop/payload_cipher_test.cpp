// The payload cipher against OpenSSL's AES-256-CBC with a zero chain block and PKCS#7, and
// malformed replies refused without reading outside the decoded bytes.

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cloud/payload_cipher.h"

namespace {

using torvane::decryptPayload;
using torvane::encryptPayload;

const unsigned char* Key() { return reinterpret_cast<const unsigned char*>(torvane::kPayloadKeyText); }

std::vector<unsigned char> OpenSslCbc(const std::vector<unsigned char>& in, bool encrypt, bool pad) {
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      EVP_CIPHER_CTX_free);
  const unsigned char iv[16] = {};
  EXPECT_EQ(EVP_CipherInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, Key(), iv, encrypt ? 1 : 0), 1);
  EVP_CIPHER_CTX_set_padding(ctx.get(), pad ? 1 : 0);
  std::vector<unsigned char> out(in.size() + 32);
  int n = 0, tail = 0;
  EXPECT_EQ(EVP_CipherUpdate(ctx.get(), out.data(), &n, in.data(), static_cast<int>(in.size())), 1);
  EXPECT_EQ(EVP_CipherFinal_ex(ctx.get(), out.data() + n, &tail), 1);
  out.resize(static_cast<std::size_t>(n + tail));
  return out;
}

std::string Base64(const std::vector<unsigned char>& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  text.resize(static_cast<std::size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                                       bytes.data(), static_cast<int>(bytes.size()))));
  return text;
}

// Text bytes without a zero, since a deciphered text ends at its first zero.
std::vector<unsigned char> TextBytes(std::size_t n) {
  std::vector<unsigned char> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(1 + (i * 37 + i / 7) % 255);
  return bytes;
}

// Enciphers chosen plain bytes without padding, to build replies the service never sends.
std::string RawReply(const std::vector<unsigned char>& plain) { return Base64(OpenSslCbc(plain, true, false)); }

TEST(PayloadCipher, KeyIsThirtyTwoUpperCaseHexCharacters) {
  const std::string key = torvane::kPayloadKeyText;
  ASSERT_EQ(key.size(), 32u);
  for (char ch : key) EXPECT_TRUE((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F')) << ch;
}

TEST(PayloadCipher, MatchesOpenSslBothWays) {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 100; ++n) lengths.push_back(n);
  for (std::size_t n : {4095u, 4096u, 4097u}) lengths.push_back(n);
  for (std::size_t n : lengths) {
    const auto plain = TextBytes(n);
    const std::string text(plain.begin(), plain.end());
    const std::string expected = Base64(OpenSslCbc(plain, true, true));
    EXPECT_EQ(encryptPayload(text), expected) << n;
    EXPECT_EQ(decryptPayload(expected), text) << n;
  }
}

TEST(PayloadCipher, WholeBlockTextGainsAFullPaddingBlock) {
  const std::string json(32, '{');
  const std::string coded = encryptPayload(json);
  EXPECT_EQ(coded.size(), 64u) << "48 bytes";
  const auto plain = OpenSslCbc(std::vector<unsigned char>(json.begin(), json.end()), true, true);
  EXPECT_EQ(plain.size(), 48u);
}

TEST(PayloadCipher, MalformedRepliesGiveAnEmptyText) {
  std::vector<unsigned char> badPadding = TextBytes(32);
  badPadding[31] = 3;
  badPadding[30] = 3;
  badPadding[29] = 4;  // one of the three padding bytes differs
  std::vector<unsigned char> padTooLarge = TextBytes(32);
  padTooLarge[31] = 17;
  const std::vector<unsigned char> seventeens(32, 17);  // consistent, but above one block
  std::vector<unsigned char> padLength = TextBytes(16);
  for (auto& b : padLength) b = 16;  // a whole block of padding: valid, but nothing left
  const struct { const char* what; std::string reply; } cases[] = {
      {"OK", "OK"},
      {"15 bytes", Base64(TextBytes(15))},
      {"15 bytes that end like padding", Base64(std::vector<unsigned char>(15, 1))},
      {"17 bytes", Base64(TextBytes(17))},
      {"bad padding", RawReply(badPadding)},
      {"padding above 16", RawReply(padTooLarge)},
      {"seventeen bytes of 17", RawReply(seventeens)},
      {"only padding", RawReply(padLength)},
      {"bad base64", "*&^%$#@!"},
      {"empty", ""},
      {"line break at the start", "\n" + encryptPayload("{\"result\":1}")},
  };
  for (const auto& c : cases) EXPECT_EQ(decryptPayload(c.reply), "") << c.what;
}

TEST(PayloadCipher, ZeroLastByteKeepsTheBytesUpToTheFirstZero) {
  std::vector<unsigned char> plain = TextBytes(32);
  plain[20] = 0;
  plain[31] = 0;
  EXPECT_EQ(decryptPayload(RawReply(plain)), std::string(plain.begin(), plain.begin() + 20));
  plain[20] = 'x';
  EXPECT_EQ(decryptPayload(RawReply(plain)), std::string(plain.begin(), plain.begin() + 31));
}

TEST(PayloadCipher, ReplyBrokenIntoLinesIsReadUpToTheFirstBreak) {
  const std::string text(60, 'a');
  std::string coded = encryptPayload(text);
  ASSERT_EQ(coded.size(), 88u);
  EXPECT_EQ(decryptPayload(coded.substr(0, 64) + "\n" + coded.substr(64)), "")
      << "48 bytes decode, whose last block does not end in padding";
  EXPECT_EQ(decryptPayload(coded + "\n"), text) << "a break after the end does no harm";
}

TEST(PayloadCipher, ThreadsDoNotShareAChainBlock) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      const std::string text(static_cast<std::size_t>(50 + t), static_cast<char>('a' + t));
      const std::string expected = encryptPayload(text);
      for (int i = 0; i < 200; ++i) {
        if (encryptPayload(text) != expected || decryptPayload(expected) != text) ++failures[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
