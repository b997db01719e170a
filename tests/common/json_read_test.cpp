// Reading JSON texts from outside: bounded in depth and size, every failure an empty answer.

#include "fvcommon/json_read.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using fvcommon::readJson;

std::string Arrays(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

// `depth` objects, one inside the other, around the number 1.
std::string Objects(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "{\"a\":";
  text += "1";
  return text + std::string(depth, '}');
}

TEST(JsonRead, NestingUpToSixtyFourValuesIsReadDeeperIsRefused) {
  // Each bracket opens a value; the innermost number of the objects is one more.
  EXPECT_TRUE(readJson(Arrays(64)));
  EXPECT_FALSE(readJson(Arrays(65)));
  EXPECT_FALSE(readJson(std::string(1001, '[')));  // also unterminated
  EXPECT_FALSE(readJson(Arrays(100000)));
  const auto objects = readJson(Objects(63));
  ASSERT_TRUE(objects);
  EXPECT_TRUE((*objects)["a"].isObject());
  EXPECT_FALSE(readJson(Objects(64)));
}

TEST(JsonRead, TextsAboveTheSizeLimitAreNotRead) {
  const std::string within = "\"" + std::string(fvcommon::kJsonSizeLimit - 2, 'x') + "\"";
  ASSERT_EQ(within.size(), 16u * 1024 * 1024);
  const auto read = readJson(within);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->asString().size(), 16u * 1024 * 1024 - 2);
  EXPECT_FALSE(readJson(within + " "));
  // A caller may allow less.
  EXPECT_TRUE(readJson("[1]", {.maxBytes = 3}));
  EXPECT_FALSE(readJson("[1] ", {.maxBytes = 3}));
}

TEST(JsonRead, TrailingTextIsRefusedOnlyWhenTheWholeTextMustBeTheValue) {
  struct Case {
    const char* text;
    bool lenient;
    bool whole;
  };
  const Case cases[] = {
      {"{\"a\":1}", true, true},  {"{\"a\":1} rubbish", true, false}, {"12abc", true, false},
      {"  [1] \n", true, true},   {"", false, false},                 {"{", false, false},
      {"not json", false, false}, {"1e400", false, false},             {"{\"a\"}", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(readJson(c.text).has_value(), c.lenient) << c.text;
    EXPECT_EQ(readJson(c.text, {.wholeText = true}).has_value(), c.whole) << c.text;
  }
}

}  // namespace
