#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <array>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "fvcommon/aes_core.h"
#include "cipher/image_cipher.h"
#include "veltrum.h"

namespace {

std::vector<unsigned char> Pattern(std::size_t n, unsigned seed) {
  std::vector<unsigned char> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>((i * 131 + seed * 7) ^ (i >> 3));
  return bytes;
}

// OpenSSL as the oracle: AES-256-ECB, no padding, over whole blocks.
std::vector<unsigned char> OpenSslEcb(const std::vector<unsigned char>& in, bool encrypt) {
  std::vector<unsigned char> out(in.size());
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      EVP_CIPHER_CTX_free);
  const auto* key = reinterpret_cast<const unsigned char*>(veltrum::kImageCipherKeyText);
  EXPECT_EQ(EVP_CipherInit_ex(ctx.get(), EVP_aes_256_ecb(), nullptr, key, nullptr, encrypt ? 1 : 0), 1);
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  int written = 0;
  EXPECT_EQ(EVP_CipherUpdate(ctx.get(), out.data(), &written, in.data(), static_cast<int>(in.size())), 1);
  EXPECT_EQ(written, static_cast<int>(in.size()));
  return out;
}

TEST(AesCore, Fips197Aes256Vector) {
  std::uint8_t key[32];
  for (int i = 0; i < 32; ++i) key[i] = static_cast<std::uint8_t>(i);
  const std::uint8_t plain[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                  0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
  const std::uint8_t expected[16] = {0x8e, 0xa2, 0xb7, 0xca, 0x51, 0x67, 0x45, 0xbf,
                                     0xea, 0xfc, 0x49, 0x90, 0x4b, 0x49, 0x60, 0x89};
  fvaes::KeySchedule256 schedule;
  fvaes::AesSetKey256(key, schedule);
  std::uint8_t cipher[16], back[16];
  fvaes::AesEncryptBlock(schedule, cipher, plain);
  EXPECT_EQ(0, std::memcmp(cipher, expected, 16));
  fvaes::AesDecryptBlock(schedule, back, cipher);
  EXPECT_EQ(0, std::memcmp(back, plain, 16));
}

TEST(ImageCipher, KeyIsThirtyTwoPrintableCharacters) {
  const std::string key(veltrum::kImageCipherKeyText, 32);
  EXPECT_EQ(std::count(key.begin(), key.end(), '-'), 1);
  for (char ch : key) EXPECT_TRUE(ch == '-' || (ch >= 'a' && ch <= 'z')) << ch;
}

TEST(ImageCipher, MatchesOpenSslOverWholeBlocks) {
  for (std::size_t length : {16u, 32u, 48u, 160u, 4096u, 30000u}) {
    const auto plain = Pattern(length, static_cast<unsigned>(length));
    std::vector<unsigned char> cipher(length), back(length);
    ASSERT_EQ(VLT_Encrypt(cipher.data(), plain.data(), static_cast<int>(length)), 0);
    EXPECT_EQ(cipher, OpenSslEcb(plain, true)) << length;
    ASSERT_EQ(VLT_Decrypt(back.data(), cipher.data(), static_cast<int>(length)), 0);
    EXPECT_EQ(back, plain) << length;
  }
}

TEST(ImageCipher, PartialLastBlockReadsOnlyLengthAndWritesWholeBlock) {
  struct Case {
    int length;
    int written;  // bytes of output written
  };
  const Case cases[] = {{1, 16}, {15, 16}, {17, 32}, {20, 32}, {31, 32}};
  for (const auto& c : cases) {
    // Input of exactly `length` bytes: a read beyond it would trip the address sanitizer.
    auto plain = std::make_unique<unsigned char[]>(static_cast<std::size_t>(c.length));
    for (int i = 0; i < c.length; ++i) plain[i] = static_cast<unsigned char>(0xA0 + i);
    std::vector<unsigned char> out(64, 0xCC);
    ASSERT_EQ(VLT_Encrypt(out.data(), plain.get(), c.length), 0);
    for (int i = c.written; i < 64; ++i) EXPECT_EQ(out[i], 0xCC) << "length " << c.length << " byte " << i;
    // The partial block is enciphered as if padded with zeros.
    std::vector<unsigned char> padded(static_cast<std::size_t>(c.written), 0);
    std::memcpy(padded.data(), plain.get(), static_cast<std::size_t>(c.length));
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + c.written, OpenSslEcb(padded, true).begin()));
  }
}

TEST(ImageCipher, DecryptIgnoresTrailingPartialBlock) {
  const auto plain = Pattern(32, 3);
  std::vector<unsigned char> cipher(32);
  VLT_Encrypt(cipher.data(), plain.data(), 32);
  std::vector<unsigned char> out(32, 0xCC);
  ASSERT_EQ(VLT_Decrypt(out.data(), cipher.data(), 20), 0);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 16, plain.begin()));
  for (int i = 16; i < 32; ++i) EXPECT_EQ(out[i], 0xCC);
  std::vector<unsigned char> untouched(16, 0xCC);
  EXPECT_EQ(VLT_Decrypt(untouched.data(), cipher.data(), 15), 0);
  EXPECT_EQ(untouched, std::vector<unsigned char>(16, 0xCC));
}

TEST(ImageCipher, EmptyNegativeAndNullBuffers) {
  std::vector<unsigned char> out(16, 0xCC);
  const auto in = Pattern(16, 1);
  EXPECT_EQ(VLT_Encrypt(out.data(), in.data(), 0), 0);
  EXPECT_EQ(VLT_Encrypt(out.data(), in.data(), -5), 0);
  EXPECT_EQ(out, std::vector<unsigned char>(16, 0xCC));
  EXPECT_EQ(VLT_Encrypt(nullptr, in.data(), 16), -1);
  EXPECT_EQ(VLT_Encrypt(out.data(), nullptr, 16), -1);
  EXPECT_EQ(VLT_Decrypt(nullptr, in.data(), 16), -1);
  EXPECT_EQ(VLT_Decrypt(out.data(), nullptr, 16), -1);
}

TEST(ImageCipher, EqualBlocksGiveEqualCipherBlocks) {
  std::vector<unsigned char> plain(32, 0x5A), cipher(32);
  VLT_Encrypt(cipher.data(), plain.data(), 32);
  EXPECT_TRUE(std::equal(cipher.begin(), cipher.begin() + 16, cipher.begin() + 16));
}

TEST(ImageCipher, ConcurrentCallsAgree) {
  const auto plain = Pattern(76800, 9);
  // The threads make this process's first cipher calls, so the one-time setup races if it can.
  const auto expected = OpenSslEcb(plain, true);
  std::vector<std::thread> threads;
  std::array<bool, 8> ok{};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      std::vector<unsigned char> cipher(plain.size()), back(plain.size());
      bool good = true;
      for (int round = 0; round < 5; ++round) {
        VLT_Encrypt(cipher.data(), plain.data(), static_cast<int>(plain.size()));
        VLT_Decrypt(back.data(), cipher.data(), static_cast<int>(cipher.size()));
        good = good && cipher == expected && back == plain;
      }
      ok[t] = good;
    });
  }
  for (auto& thread : threads) thread.join();
  for (bool good : ok) EXPECT_TRUE(good);
}

}  // namespace
