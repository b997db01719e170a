// The shared base64 coder against the RFC 4648 test vectors, and the texts it must refuse.

#include "fvcommon/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using fvcommon::base64Decode;
using fvcommon::base64Encode;

std::string AsText(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

TEST(Base64, Rfc4648VectorsBothWays) {
  const struct {
    const char* plain;
    const char* coded;
  } vectors[] = {{"", ""},
                 {"f", "Zg=="},
                 {"fo", "Zm8="},
                 {"foo", "Zm9v"},
                 {"foob", "Zm9vYg=="},
                 {"fooba", "Zm9vYmE="},
                 {"foobar", "Zm9vYmFy"}};
  for (const auto& v : vectors) {
    EXPECT_EQ(base64Encode(std::string(v.plain)), v.coded) << v.plain;
    const auto decoded = base64Decode(v.coded);
    ASSERT_TRUE(decoded) << v.coded;
    EXPECT_EQ(AsText(*decoded), v.plain) << v.coded;
  }
}

TEST(Base64, EveryByteValueAndEveryLengthModuloThreeRoundTrips) {
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  for (std::size_t n : {253u, 254u, 255u, 256u}) {
    const std::vector<std::uint8_t> data(all.begin(), all.begin() + n);
    const std::string text = base64Encode(data);
    EXPECT_EQ(text.size(), (n + 2) / 3 * 4);
    EXPECT_EQ(base64Decode(text), data);
  }
  // The last two characters of the alphabet.
  EXPECT_EQ(base64Encode(std::vector<std::uint8_t>{0xFB, 0xEF, 0xBE}), "++++");
  EXPECT_EQ(base64Encode(std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF}), "////");
}

TEST(Base64, TemplateOf3352BytesIs4472Characters) {
  const std::vector<std::uint8_t> model(3352, 0xA5);
  EXPECT_EQ(fvcommon::base64EncodedLength(3352), 4472u);
  EXPECT_EQ(base64Encode(model).size(), 4472u);
}

TEST(Base64, FillDecidesTheBytesOfTheLastGroup) {
  EXPECT_EQ(base64Decode("Zm9vYmE=")->size(), 5u);  // one "=": two bytes of the last group
  EXPECT_EQ(base64Decode("Zm9vYg==")->size(), 4u);  // two "=": one byte
  EXPECT_EQ(AsText(*base64Decode("Zm8")), "fo");    // fill left off
  EXPECT_EQ(AsText(*base64Decode("Zg")), "f");
}

TEST(Base64, TextsOutsideTheAlphabetOrShapeAreRefused) {
  for (const char* bad : {"Zm9v!A==", "Zm 9v", "Zm9v\n", "Zm-_", "Zm=v", "Z===", "=",
                          "====", "Zm9vY", "Zm8==", "Zg=", "\xC3\xA9\xC3\xA9"}) {
    EXPECT_FALSE(base64Decode(bad)) << bad;
  }
  EXPECT_FALSE(base64Decode(std::string("Zm\0v", 4)));
}

TEST(Base64, DecodeStaysWithinItsBound) {
  EXPECT_FALSE(base64Decode("Zm9vYmFy", 5));
  EXPECT_EQ(base64Decode("Zm9vYmFy", 6)->size(), 6u);
  EXPECT_FALSE(base64Decode("Zm9vYmE=", 4));
  EXPECT_EQ(base64Decode("Zm9vYmE=", 5)->size(), 5u);
}

}  // namespace
