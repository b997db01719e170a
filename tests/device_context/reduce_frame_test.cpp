#include <gtest/gtest.h>

#include <vector>

#include "acquire/reduce_frame.h"

namespace {

using dravex::kFrameBytes;

// The value output pixel (i, j) must get; a wrong source pixel mixes in a neighbour's value.
int expected(int i, int j) { return (i + 3 * j) % 250 + 1; }

// Writes the four sources of output (i, j) as v + {0, 3, 1, 0}, whose mean is v + 1.
void placeSources(std::vector<std::uint8_t>& raw, int width, int row, int col, int i, int j) {
  const int v = expected(i, j) - 1;
  raw[row * width + col] = static_cast<std::uint8_t>(v);
  raw[row * width + col + 1] = static_cast<std::uint8_t>(v + 3);
  raw[(row + 1) * width + col] = static_cast<std::uint8_t>(v + 1);
  raw[(row + 1) * width + col + 1] = static_cast<std::uint8_t>(v);
}

void expectEncodedFrame(const std::vector<std::uint8_t>& frame) {
  int wrong = 0;
  for (int i = 0; i < 240; ++i) {
    for (int j = 0; j < 320; ++j) wrong += frame[i * 320 + j] != expected(i, j);
  }
  EXPECT_EQ(wrong, 0);
}

TEST(ReduceRawFrame, MeansOf640x480Blocks) {
  std::vector<std::uint8_t> raw(640 * 480);
  for (int i = 0; i < 240; ++i) {
    for (int j = 0; j < 320; ++j) placeSources(raw, 640, 2 * i, 2 * j, i, j);
  }
  std::vector<std::uint8_t> frame(kFrameBytes);
  ASSERT_TRUE(dravex::reduceRawFrame(raw.data(), static_cast<int>(raw.size()), frame.data()));
  expectEncodedFrame(frame);
}

TEST(ReduceRawFrame, SamplesTheBandOf1280x1024) {
  std::vector<std::uint8_t> raw(1280 * 1024, 255);  // every pixel that must not count
  for (int i = 0; i < 240; ++i) {
    for (int j = 0; j < 320; ++j) placeSources(raw, 1280, 32 + 4 * i, 4 * j + 1, i, j);
  }
  std::vector<std::uint8_t> frame(kFrameBytes);
  ASSERT_TRUE(dravex::reduceRawFrame(raw.data(), static_cast<int>(raw.size()), frame.data()));
  expectEncodedFrame(frame);
}

TEST(ReduceRawFrame, CopiesA320x240FrameAndRefusesOtherSizes) {
  std::vector<std::uint8_t> raw(kFrameBytes);
  for (int p = 0; p < kFrameBytes; ++p) raw[p] = static_cast<std::uint8_t>(p * 7);
  std::vector<std::uint8_t> frame(kFrameBytes, 1);
  ASSERT_TRUE(dravex::reduceRawFrame(raw.data(), kFrameBytes, frame.data()));
  EXPECT_EQ(frame, raw);

  for (int size : {0, kFrameBytes - 1, 640 * 480 + 1, 2 * 640 * 480}) {
    std::vector<std::uint8_t> big(2 * 640 * 480, 9);
    std::vector<std::uint8_t> untouched(kFrameBytes, 1);
    EXPECT_FALSE(dravex::reduceRawFrame(big.data(), size, untouched.data())) << size;
    EXPECT_EQ(untouched, std::vector<std::uint8_t>(kFrameBytes, 1)) << size;
  }
}

TEST(MirrorFrame, SwapsEveryRowEndForEnd) {
  std::vector<std::uint8_t> frame(kFrameBytes);
  for (int r = 0; r < 240; ++r) {
    for (int j = 0; j < 320; ++j) frame[r * 320 + j] = static_cast<std::uint8_t>(r + j);
  }
  dravex::mirrorFrame(frame.data());
  int wrong = 0;
  for (int r = 0; r < 240; ++r) {
    for (int j = 0; j < 320; ++j) wrong += frame[r * 320 + j] != static_cast<std::uint8_t>(r + 319 - j);
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
