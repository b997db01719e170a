#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_memory.h"
#include "params/serial_block.h"

namespace {

using dravex::FvSerialBlock;
using fvtest::FakeMemory;

constexpr int kText = 184;  // the serial text's on-board offset

TEST(SerialText, StoredTerminatedWithinItsTwentyOneBytes) {
  struct Case {
    std::string text;
    std::string stored;
  };
  const Case cases[] = {
      {"ABCDEFGHIJKLMNOPQRS", "ABCDEFGHIJKLMNOPQRS"},    // 19: its own zero
      {"ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOPQRST"},  // 20: zero at block offset 24
      {"ABCDEFGHIJKLMNOPQRSTUVWXY", "ABCDEFGHIJKLMNOPQRST"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    FakeMemory memory;
    std::memset(memory.bytes.data() + 180, 'z', 26);  // old contents, and one byte past the block
    memory.bytes[180] = 9;                            // the date stays
    FvSerialBlock mirror{};
    ASSERT_TRUE(dravex::storeSerialText(memory, mirror, c.text.c_str()));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(memory.bytes.data() + kText)), c.stored);
    EXPECT_EQ(memory.bytes[180], 9);
    EXPECT_EQ(memory.bytes[205], 'z') << "nothing past the block";
    char out[32];
    std::memset(out, '#', sizeof out);
    ASSERT_TRUE(dravex::fetchSerialText(memory, mirror, out));
    EXPECT_EQ(std::string(out), c.stored);
    EXPECT_EQ(out[c.stored.size() + 1], '#') << "the copy ends at its zero";
  }
}

TEST(SerialText, AnUnterminatedStoredTextIsCutToTwentyCharacters) {
  FakeMemory memory;
  std::memset(memory.bytes.data() + kText, 'q', 21);
  FvSerialBlock mirror{};
  char out[32];
  std::memset(out, '#', sizeof out);
  ASSERT_TRUE(dravex::fetchSerialText(memory, mirror, out));
  EXPECT_EQ(std::string(out), std::string(20, 'q'));
  EXPECT_EQ(out[21], '#');
}

TEST(SerialBlock, AFailedReadWritesNothingAndGivesNothing) {
  FakeMemory memory;
  std::memset(memory.bytes.data() + 180, 'z', 25);
  memory.failReads = true;
  FvSerialBlock mirror{};
  EXPECT_FALSE(dravex::storeSerialText(memory, mirror, "NEW"));
  EXPECT_FALSE(dravex::storeProductionDate(memory, mirror, 20260101));
  EXPECT_EQ(memory.writes, 0);
  char out[4] = "old";
  int date = 5;
  EXPECT_FALSE(dravex::fetchSerialText(memory, mirror, out));
  EXPECT_FALSE(dravex::fetchProductionDate(memory, mirror, &date));
  EXPECT_STREQ(out, "old");
  EXPECT_EQ(date, 5);
}

TEST(ProductionDate, ReplacesOnlyTheDate) {
  FakeMemory memory;
  std::memcpy(memory.bytes.data() + kText, "SN-1", 5);
  FvSerialBlock mirror{};
  ASSERT_TRUE(dravex::storeProductionDate(memory, mirror, 20261210));
  EXPECT_EQ(memory.i32(180), 20261210);
  EXPECT_STREQ(reinterpret_cast<const char*>(memory.bytes.data() + kText), "SN-1");
  int date = 0;
  ASSERT_TRUE(dravex::fetchProductionDate(memory, mirror, &date));
  EXPECT_EQ(date, 20261210);
}

}  // namespace
