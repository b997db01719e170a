#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "fvcommon/base64.h"

namespace {

using fvcommon::Base64Decode;
using fvcommon::Base64Encode;

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> Pattern(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 97 + 13 + (i >> 2));
  return bytes;
}

std::string OpenSslEncode(const std::vector<std::uint8_t>& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                static_cast<int>(bytes.size()));
  text.resize(static_cast<std::size_t>(n));
  return text;
}

TEST(Base64, Rfc4648Vectors) {
  const struct { const char* plain; const char* coded; } cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Base64Encode(c.plain), c.coded) << c.plain;
    EXPECT_EQ(Base64Decode(c.coded), Bytes(c.plain)) << c.coded;
  }
}

TEST(Base64, MatchesOpenSslForEveryLengthModuloThree) {
  for (std::size_t n = 0; n <= 100; ++n) {
    const auto bytes = Pattern(n);
    const std::string coded = Base64Encode(bytes.data(), bytes.size());
    EXPECT_EQ(coded, OpenSslEncode(bytes)) << n;
    EXPECT_EQ(coded.size(), fvcommon::Base64EncodedSize(n));
    EXPECT_EQ(Base64Decode(coded), bytes) << n;
  }
  EXPECT_EQ(Base64Encode(Pattern(3352).data(), 3352).size(), 4472u) << "one template";
}

TEST(Base64, AllByteValuesUseBothHighCharacters) {
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  const std::string coded = Base64Encode(all.data(), all.size());
  EXPECT_EQ(coded, OpenSslEncode(all));
  EXPECT_NE(coded.find('+'), std::string::npos);
  EXPECT_NE(coded.find('/'), std::string::npos);
  EXPECT_EQ(Base64Decode(coded), all);
}

TEST(Base64, DecodingStopsAtFillOrForeignCharacter) {
  const struct { const char* text; const char* plain; } cases[] = {
      {"Zm9v\nYmFy", "foo"},      // a line break ends the text
      {"Zm9vYmFy=Zm9v", "foobar"},  // so does a fill character
      {"Zm9v*YmFy", "foo"},
      {"Zm8", "fo"},              // last group of three without fill
      {"Zg", "f"},                // of two
      {"Zm9vY", "foo"},           // a lone character makes no byte
      {"=Zm9v", ""},
      {"Zm 9v", "f"},             // a space ends the text inside a group
  };
  for (const auto& c : cases) EXPECT_EQ(Base64Decode(c.text), Bytes(c.plain)) << c.text;
}

TEST(Base64, HighBytesAreForeignCharacters) {
  EXPECT_TRUE(Base64Decode("\xC3\xA9Zm9v").empty());
  EXPECT_EQ(Base64Decode(std::string_view("Zm9v\0Zm9v", 9)), Bytes("foo"));
}

}  // namespace
