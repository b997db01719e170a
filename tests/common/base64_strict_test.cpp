// The strict decode for texts from outside: RFC 4648 vectors, and every text it must refuse.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fvcommon/base64.h"

namespace {

using fvcommon::Base64DecodeStrict;

std::string AsText(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

TEST(Base64Strict, Rfc4648Vectors) {
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
    const auto decoded = Base64DecodeStrict(v.coded);
    ASSERT_TRUE(decoded) << v.coded;
    EXPECT_EQ(AsText(*decoded), v.plain) << v.coded;
  }
  EXPECT_EQ(AsText(*Base64DecodeStrict("++//")), "\xFB\xEF\xFF");
}

TEST(Base64Strict, FillDecidesTheBytesOfTheLastGroup) {
  EXPECT_EQ(Base64DecodeStrict("Zm9vYmE=")->size(), 5u);  // one "=": two bytes of the last group
  EXPECT_EQ(Base64DecodeStrict("Zm9vYg==")->size(), 4u);  // two "=": one byte
  EXPECT_EQ(AsText(*Base64DecodeStrict("Zm8")), "fo");    // fill left off
  EXPECT_EQ(AsText(*Base64DecodeStrict("Zg")), "f");
}

TEST(Base64Strict, TextsOutsideTheAlphabetOrShapeAreRefused) {
  for (const char* bad : {"Zm9v!A==", "Zm 9v", "Zm9v\n", "Zm-_", "Zm=v", "Z===", "=",
                          "====", "Zm9vY", "Zm8==", "Zg=", "\xC3\xA9\xC3\xA9"}) {
    EXPECT_FALSE(Base64DecodeStrict(bad)) << bad;
  }
  EXPECT_FALSE(Base64DecodeStrict(std::string("Zm\0v", 4)));
}

TEST(Base64Strict, DecodeStaysWithinItsBound) {
  EXPECT_FALSE(Base64DecodeStrict("Zm9vYmFy", 5));
  EXPECT_EQ(Base64DecodeStrict("Zm9vYmFy", 6)->size(), 6u);
  EXPECT_FALSE(Base64DecodeStrict("Zm9vYmE=", 4));
  EXPECT_EQ(Base64DecodeStrict("Zm9vYmE=", 5)->size(), 5u);
  const std::string model(4472, 'A');  // 3354 bytes' worth of characters without fill
  EXPECT_FALSE(Base64DecodeStrict(model, 3352));
  EXPECT_EQ(Base64DecodeStrict(std::string(4468, 'A') + "AA==", 3352)->size(), 3352u);
}

}  // namespace
