#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/alloc.h"
#include "feature/cell_codes.h"
#include "feature/code_stream.h"
#include "feature/filter_bank.h"
#include "sim_finger/random.h"
#include "tables/lookup_tables.h"

namespace {

using namespace veltrum;

// A cell's work values with a known code: scale 2 rising, scale 3 and 4 flat, scale 5 falling,
// scale 6 alternating, scale 0 high.
void PutKnownCell(std::vector<std::int32_t>& work, int cell) {
  for (int k = 0; k < 16; ++k) {
    work[ResponseIndex(cell, 0, k)] = 100;
    work[ResponseIndex(cell, 2, k)] = k;
    work[ResponseIndex(cell, 3, k)] = 7;
    work[ResponseIndex(cell, 4, k)] = 7;
    work[ResponseIndex(cell, 5, k)] = 15 - k;
    work[ResponseIndex(cell, 6, k)] = k % 2;
  }
}
constexpr std::array<std::uint32_t, 4> kKnownRow = {0xFFFE0000u, 0x0001AAAAu, 0xFF0F000Fu, 0xFEu};

std::vector<std::int32_t> RandomWork(std::uint64_t seed) {
  simfinger::Random random(seed);
  std::vector<std::int32_t> work(kResponseEntries);
  for (auto& v : work) v = random.UniformInt(0, 9);  // small range: many equal neighbours
  return work;
}

std::array<std::uint32_t, 4> Row(const FeatureBlock& block, int cell) {
  return {block.codeRows[cell][0], block.codeRows[cell][1], block.codeRows[cell][2],
          block.codeRows[cell][3]};
}

TEST(CellCodes, BitPlacementInTheExpandedRow) {
  // Cells at stream offsets that are and are not word-aligned.
  for (int cell : {0, 3, 4, 165, 329}) {
    auto work = RandomWork(cell);
    PutKnownCell(work, cell);
    FeatureBlock block{};
    CodeStream stream{&block.codeRows[0][0]};
    for (int c = 0; c < kGridCells; ++c) AppendCellCode(stream, c, work.data());
    FinishCodeStream(stream);
    ASSERT_EQ(ExpandCodeRows(&block.codeRows[0][0], kGridCells), 0);
    EXPECT_EQ(Row(block, cell), kKnownRow) << "cell " << cell;
  }
}

TEST(CellCodes, ComparisonsAreStrictAndWrapAround) {
  std::vector<std::int32_t> work(kResponseEntries, 0);
  // Scale 2: only orientation 15 below orientation 0, so only the wrap-around bit (bit 15) is set.
  work[ResponseIndex(0, 2, 0)] = 5;
  // Scale 3 negative and rising: comparisons are signed.
  for (int k = 0; k < 16; ++k) work[ResponseIndex(0, 3, k)] = -100 + k;
  // Pair (0, 2) with equal sums in pair 0: no bit.
  work[ResponseIndex(0, 0, 0)] = 2;
  work[ResponseIndex(0, 0, 1)] = 3;
  FeatureBlock block{};
  CodeStream stream{&block.codeRows[0][0]};
  AppendCellCode(stream, 0, work.data());
  FinishCodeStream(stream);
  ASSERT_EQ(ExpandCodeRows(&block.codeRows[0][0], 1), 0);
  EXPECT_EQ(block.codeRows[0][0], 0x0001FFFEu);
  // Pair (2, 3) compares scale 2 (sums 5 and 0) with negative scale 3 sums: all set; pair (3, 4)
  // none; pair (3, 5) none.
  EXPECT_EQ(block.codeRows[0][2], 0x00FF0000u);
}

TEST(CodeStream, RoundTripOfEveryRowCount) {
  simfinger::Random random(77);
  for (int rows : {1, 2, 98, 329, 330}) {
    std::vector<std::array<bool, kCodeBits>> bits(rows);
    std::vector<std::uint32_t> area(kGridCells * 4, 0xDEADBEEFu);
    CodeStream stream{area.data()};
    for (auto& row : bits) {
      for (bool& b : row) {
        b = random.UniformInt(0, 1) == 1;
        PushCodeBit(stream, b);
      }
    }
    FinishCodeStream(stream);
    const int words = (rows * kCodeBits + 31) / 32;
    if (rows * kCodeBits % 32 != 0) {
      EXPECT_EQ(area[words - 1] & ((1u << (32 - rows * kCodeBits % 32)) - 1), 0u) << rows;
    }
    ASSERT_EQ(ExpandCodeRows(area.data(), rows), 0);
    for (int r = 0; r < rows; ++r) {
      for (int i = 0; i < kCodeBits; ++i) {
        const std::uint32_t word = area[r * 4 + (i < 96 ? i / 32 : 3)];
        const int shift = i < 96 ? 31 - i % 32 : 103 - i;
        ASSERT_EQ(((word >> shift) & 1u) == 1u, bits[r][i]) << rows << " rows, row " << r << " bit " << i;
      }
      ASSERT_EQ(area[r * 4 + 3] >> 8, 0u);
    }
    // Rows past the count are left as they were.
    if (rows < kGridCells) {
      EXPECT_EQ(area[rows * 4 + 3], 0xDEADBEEFu) << rows;
    }
  }
}

TEST(CodeStream, SeveralBitsAtOnceWriteWhatSingleBitsWrite) {
  simfinger::Random random(91);
  // Stale words ahead of the stream, as in a reused area; every width at many offsets.
  std::vector<std::uint32_t> single(256, 0xDEADBEEFu), several(256, 0xDEADBEEFu);
  CodeStream one{single.data()}, many{several.data()};
  for (int i = 0; i < 200; ++i) {
    const int n = i < 32 ? i + 1 : random.UniformInt(1, 32);
    const auto value = static_cast<std::uint32_t>(random.UniformInt(0, 0xFFFF)) << 16 |
                       static_cast<std::uint32_t>(random.UniformInt(0, 0xFFFF));
    for (int b = n - 1; b >= 0; --b) PushCodeBit(one, (value >> b) & 1u);
    PushCodeBits(many, value, n);
    ASSERT_EQ(many.bits, one.bits) << i;
    ASSERT_EQ(many.word - several.data(), one.word - single.data()) << i;
    ASSERT_EQ(several, single) << "push " << i << " of " << n << " bits";
  }
}

TEST(CodeStream, ExpansionFailsWithoutMemory) {
  std::vector<std::uint32_t> area(kGridCells * 4, 0x12345678u);
  FailNthAllocation(1);
  EXPECT_EQ(ExpandCodeRows(area.data(), kGridCells), -1);
  FailNthAllocation(0);
  EXPECT_EQ(area[0], 0x12345678u);
}

TEST(CellCodes, PackFillsBlockAndSampleStreams) {
  BuildLookupTables();
  simfinger::Random random(5);
  std::vector<std::int32_t> responses(kResponseEntries), work(kResponseEntries);
  for (auto& v : responses) v = random.UniformInt(0, 40000000);
  FeatureBlock block, sample;
  std::memset(&block, 0xA5, sizeof block);
  std::memset(&sample, 0xA5, sizeof sample);
  PackCellCodes(&block.codeRows[0][0], &sample.codeRows[0][0], responses.data(), work.data());
  for (int i : {0, 1, 4000, kResponseEntries - 1}) {
    EXPECT_EQ(work[i], static_cast<std::int32_t>(static_cast<float>(responses[i]) *
                                                 Tables().CellNormReciprocal[i]));
  }
  // The packed streams end at 1073 and 319 words; the rest of each area is cleared.
  for (int w = 1073; w < kGridCells * 4; ++w) ASSERT_EQ((&block.codeRows[0][0])[w], 0u) << w;
  for (int w = 319; w < 98 * 4; ++w) ASSERT_EQ((&sample.codeRows[0][0])[w], 0u) << w;
  EXPECT_EQ(block.edgePairs[0][0], 0xA5);  // nothing beyond the code area
  ASSERT_EQ(ExpandCodeRows(&block.codeRows[0][0], kGridCells), 0);
  ASSERT_EQ(ExpandCodeRows(&sample.codeRows[0][0], 98), 0);
  for (int k = 0; k < 98; ++k) {
    EXPECT_EQ(Row(sample, k), Row(block, SampleCellB(k).index())) << "B-sample " << k;
  }
}

}  // namespace
