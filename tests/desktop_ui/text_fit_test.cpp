#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "text/text_fit.h"

namespace torvane {
namespace {

TEST(TextFit, CutsOnACharacterBoundary) {
  const std::string name = "a张b";  // 1 + 3 + 1 bytes
  struct Case {
    std::size_t max;
    const char* kept;
  };
  const Case cases[] = {{0, ""}, {1, "a"}, {2, "a"}, {3, "a"}, {4, "a张"}, {5, "a张b"}, {99, "a张b"}};
  for (const Case& c : cases) EXPECT_EQ(fitUtf8(name, c.max), c.kept) << c.max;
}

TEST(TextFit, UrlDecoding) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"%E5%89%8D%E5%8F%B0", "前台"}, {"a+b", "a b"}, {"%41%4a%4A", "AJJ"},
      {"100%", "100%"}, {"%4", "%4"}, {"%zz", "%zz"},   // a "%" without two hex digits stays
      {"%FF%41", "?A"},                                  // not UTF-8
      {"%E5%89", "??"},                                  // a character cut short
  };
  for (const Case& c : cases) EXPECT_EQ(urlDecode(c.in), c.out) << c.in;

  // A text that ends in a short escape, with nothing after it in memory (the address sanitizer
  // catches a look beyond its end).
  for (const char* tail : {"%", "%4", "a%E"}) {
    const std::size_t size = std::char_traits<char>::length(tail);
    const std::unique_ptr<char[]> exact(new char[size]);
    std::memcpy(exact.get(), tail, size);
    EXPECT_EQ(urlDecode(std::string_view(exact.get(), size)), tail);
  }
}

TEST(TextFit, DecodingIntoAFixedBufferKeepsTheTerminator) {
  char out[5];
  EXPECT_EQ(urlDecodeToAnsi("%E5%89%8D%E5%8F%B0", out, sizeof out), 1);
  EXPECT_STREQ(out, "前") << "the second character does not fit with the terminator";
  EXPECT_EQ(urlDecodeToAnsi(nullptr, out, 5), 0);
  EXPECT_EQ(urlDecodeToAnsi("x", out, 0), 0);
  EXPECT_EQ(urlDecodeToAnsi("", out, 1), 1);
  EXPECT_STREQ(out, "");
}

}  // namespace
}  // namespace torvane
