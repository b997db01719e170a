#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "feature/cell_nibbles.h"
#include "feature/filter_bank.h"
#include "sim_finger/random.h"

namespace {

using namespace veltrum;

TEST(CellNibbles, TableRoot) {
  struct Case {
    std::uint64_t s, root;
  };
  const Case cases[] = {{0, 0},         {1, 1024},         {1024, 32768},
                        {1025, 32768},  {4096, 65536},     {1ULL << 40, 1ULL << 30},
                        {2500, 51200}};
  for (const auto& c : cases) EXPECT_EQ(TableRoot(c.s), c.root) << c.s;
}

// Responses of one cell: odd orientations of scales 0 and 1 carry `x` (before the >> 5).
std::vector<std::int32_t> CellWith(const std::array<std::int32_t, 16>& x) {
  std::vector<std::int32_t> r(kCellResponses, 0);
  for (int n = 0; n < 16; ++n) r[(n / 8) * 16 + 2 * (n % 8) + 1] = x[n];
  // Even orientations and the other scales are not read.
  for (int k = 0; k < 16; k += 2) r[k] = r[16 + k] = 1 << 30;
  for (int i = 32; i < kCellResponses; ++i) r[i] = 1 << 30;
  return r;
}

TEST(CellNibbles, NormalisedMagnitudes) {
  struct Case {
    const char* what;
    std::array<std::int32_t, 16> x;
    std::array<std::uint8_t, 8> bytes;
  };
  const Case cases[] = {
      {"all inputs below 32: norm 1, all zero", {31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31}, {}},
      {"value equal to the norm saturates", {64 * 32}, {0xF0}},
      {"two values, norm 50", {30 * 32, 40 * 32}, {0xCF}},
      {"last nibble in the low half of byte 7", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 30 * 32, 40 * 32},
       {0, 0, 0, 0, 0, 0, 0, 0xCF}},
  };
  for (const auto& c : cases) {
    std::array<std::uint8_t, 8> out{};
    out.fill(0xEE);
    CellNibbles(CellWith(c.x).data(), out.data());
    EXPECT_EQ(out, c.bytes) << c.what;
  }
}

// The rule in 64-bit integers: q = trunc(trunc(64 x / 3) / norm), nibble min(q, 15) as a byte,
// byte j = nibble 2j x 16 + nibble 2j + 1.
std::array<std::uint8_t, 8> IntegerNibbles(const std::vector<std::int32_t>& responses) {
  std::int64_t x[16];
  std::uint64_t squares = 0;
  for (int n = 0; n < 16; ++n) {
    x[n] = responses[(n / 8) * 16 + 2 * (n % 8) + 1] >> 5;
    squares += static_cast<std::uint64_t>(x[n] * x[n]);
  }
  std::int64_t norm = static_cast<std::int64_t>(TableRoot(squares) >> 10);
  if (norm == 0) norm = 1;
  std::uint8_t nibble[16];
  for (int n = 0; n < 16; ++n) {
    const std::int64_t q = (64 * x[n] / 3) / norm;
    nibble[n] = static_cast<std::uint8_t>(q > 15 ? 15 : q);
  }
  std::array<std::uint8_t, 8> bytes{};
  for (int j = 0; j < 8; ++j) bytes[j] = static_cast<std::uint8_t>(nibble[2 * j] * 16 + nibble[2 * j + 1]);
  return bytes;
}

TEST(CellNibbles, ExactOverTheWholeRange) {
  // Inputs of every size and sign, and one large value among small ones, where quotients of
  // whole numbers fall close to whole numbers.
  simfinger::Random random(17);
  for (int i = 0; i < 3000; ++i) {
    std::array<std::int32_t, 16> x{};
    const int bits = 6 + i % 25;  // up to 2^30; the seventh cases reach both ends of 32 bits
    for (auto& v : x) {
      v = random.UniformInt(0, (1 << bits) - 1) * (i % 3 == 0 ? -1 : 1);
      if (i % 7 == 0) v = static_cast<std::int32_t>(random.UniformInt(-65536, 65535)) * 32768;
    }
    const auto responses = CellWith(x);
    std::array<std::uint8_t, 8> out{};
    CellNibbles(responses.data(), out.data());
    ASSERT_EQ(out, IntegerNibbles(responses)) << "case " << i;
  }
}

TEST(CellNibbles, BlockAndSampleSlots) {
  simfinger::Random random(3);
  std::vector<std::int32_t> responses(kResponseEntries);
  for (auto& v : responses) v = random.UniformInt(0, 200000);
  FeatureBlock block{}, sample;
  std::memset(&sample, 0x77, sizeof sample);
  ComputeCellNibbles(block, sample, responses.data());
  for (int cell = 0; cell < kGridCells; ++cell) {
    std::array<std::uint8_t, 8> expected{};
    CellNibbles(responses.data() + cell * kCellResponses, expected.data());
    ASSERT_EQ(0, std::memcmp(block.cellVectors[cell], expected.data(), 8)) << cell;
  }
  for (int k = 0; k < 144; ++k) {
    ASSERT_EQ(0, std::memcmp(sample.cellVectors[k], block.cellVectors[SampleCellA(k).index()], 8))
        << "slot " << k;
  }
  EXPECT_EQ(sample.cellVectors[144][0], 0x77);  // only the 144 slots are written
}

}  // namespace
