#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "codec/template_codec.h"
#include "core/alloc.h"
#include "model/vein_model.h"
#include "veltrum.h"

namespace {

using veltrum::VeinModel;

// The grid origin of PatternModel's edge pairs: mean upper 22, mean lower 94 over pairs 0-59
// (uppers 20-26 in sevens, lowers 90-100 in elevens: sums 1374 and 5685), so 22 + (94 - 22 - 69) / 2.
constexpr int kPatternOrigin = 23;

std::uint32_t StreamWord(const std::vector<unsigned char>& stored, int k) {
  std::uint32_t w;
  std::memcpy(&w, stored.data() + 1292 + 4 * k, 4);
  return w;
}

// A model whose every region holds a recognisable pattern, within what enrolment can write.
VeinModel PatternModel() {
  VeinModel m;
  auto* bytes = reinterpret_cast<unsigned char*>(&m);
  for (std::size_t i = 0; i < sizeof m; ++i) bytes[i] = static_cast<unsigned char>(i * 37 + 11);
  // Each cell 14, 12 and 6 at places that move from cell to cell: a vector of the scale's length.
  for (int k = 0; k < veltrum::kASamples; ++k) {
    std::memset(m.cellVectors[k], 0, 8);
    const int places[3][2] = {{k % 16, 14}, {(k + 5) % 16, 12}, {(k + 11) % 16, 6}};
    for (const auto& [t, value] : places) m.cellVectors[k][t / 2] |= value << (t % 2 ? 0 : 4);
  }
  for (auto& row : m.codeRows) {
    row[3] &= 0xFFu;       // as the engine writes them
    row[0] &= 0x7FFF7FFFu;  // no orientation group of all ones
    row[1] &= 0x7FFF7FFFu;
  }
  for (int p = 0; p < veltrum::kEdgePairs; ++p) {
    m.edgePairs[p][0] = static_cast<std::uint8_t>(20 + p % 7);
    m.edgePairs[p][1] = static_cast<std::uint8_t>(90 + p % 11);
  }
  m.gridOrigin = kPatternOrigin;
  m.gridStep = 6;
  for (int i = 0; i < veltrum::kCoarseEntries; ++i) m.coarse[i] = static_cast<std::int8_t>(i % 33 - 16);
  return m;
}

class Codec : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(VLT_FV_Init(0), 0); }
  void TearDown() override { veltrum::FailNthAllocation(0); }

  std::vector<unsigned char> Encode(const VeinModel& m) {
    std::vector<unsigned char> out(kVltSerialisedBytes + 16, 0xEE);
    int length = 0;
    EXPECT_EQ(VLT_FV_Encode(reinterpret_cast<const unsigned char*>(&m), out.data(), &length), 0);
    EXPECT_EQ(length, kVltSerialisedBytes);
    for (int i = kVltSerialisedBytes; i < kVltSerialisedBytes + 16; ++i) EXPECT_EQ(out[i], 0xEE);
    out.resize(kVltSerialisedBytes);
    return out;
  }
};

TEST_F(Codec, FieldsLandAtTheirStoredOffsets) {
  const VeinModel m = PatternModel();
  const auto stored = Encode(m);
  EXPECT_EQ(0, std::memcmp(stored.data(), m.edgePairs, 140));
  EXPECT_EQ(0, std::memcmp(stored.data() + 140, m.cellVectors, 1152));
  for (int i = 2568; i < 2572; ++i) EXPECT_EQ(stored[i], kPatternOrigin);
  for (int i = 2572; i < 2576; ++i) EXPECT_EQ(stored[i], 6);
  EXPECT_EQ(0, std::memcmp(stored.data() + 2576, m.cellWeights, 144));
  EXPECT_EQ(0, std::memcmp(stored.data() + 2720, m.codeWeights, 98));
  EXPECT_EQ(0, std::memcmp(stored.data() + 2818, m.coarse, 240));
}

TEST_F(Codec, CodeRowsPackMostSignificantBitFirstWithoutGaps) {
  VeinModel m{};
  m.codeRows[0][0] = 0x80000001u;
  m.codeRows[0][1] = 0x12345678u;
  m.codeRows[0][2] = 0xCAFEBABEu;
  m.codeRows[0][3] = 0xFFFFFFABu;  // bits above 7 are not stored
  m.codeRows[1][0] = 0xFFFFFFFFu;
  m.codeRows[97][3] = 0x000000C3u;
  // The packer itself: the export would refuse these rows before packing them.
  std::vector<unsigned char> stored(kVltSerialisedBytes);
  int length = 0;
  ASSERT_EQ(veltrum::PackBitRows(m, stored.data(), &length), 0);
  EXPECT_EQ(StreamWord(stored, 0), 0x80000001u);
  EXPECT_EQ(StreamWord(stored, 1), 0x12345678u);
  EXPECT_EQ(StreamWord(stored, 2), 0xCAFEBABEu);
  EXPECT_EQ(StreamWord(stored, 3), 0xABFFFFFFu);  // row 1 begins at bit 104
  EXPECT_EQ(StreamWord(stored, 4), 0xFF000000u);
  // Row 97 ends at bit 10192: top 16 bits of word 318, its low 16 bits zero.
  EXPECT_EQ(StreamWord(stored, 318), 0x00C30000u);
}

// A stored form made by hand: the decoder's own reading of bit and byte order, independent of the
// encoder (a round trip cannot tell a grid word read whole from its low byte repeated).
TEST_F(Codec, DecodesAHandMadeStoredForm) {
  std::vector<unsigned char> stored(kVltSerialisedBytes, 0);
  auto putWord = [&](int offset, std::uint32_t w) { std::memcpy(stored.data() + offset, &w, 4); };
  stored[0] = 0x11;     // first edge byte
  stored[139] = 0x22;   // last edge byte
  stored[140] = 0x33;   // first cell-vector byte
  stored[1291] = 0x44;  // last cell-vector byte
  putWord(1292 + 4 * 0, 0x80000001u);
  putWord(1292 + 4 * 3, 0xAB123456u);  // row 0 word 3, then row 1 from bit 104
  putWord(1292 + 4 * 4, 0x78000000u);
  putWord(1292 + 4 * 318, 0x00C3FFFFu);  // row 97 word 3; the low 16 bits lie past the stream
  putWord(2568, 0x04030201u);
  putWord(2572, 0x00000006u);
  stored[2576] = 0x55;  // first cell weight
  stored[2719] = 0x66;  // last cell weight
  stored[2720] = 0x77;  // first code weight
  stored[2817] = 0x88;  // last code weight
  stored[2818] = 0x99;  // first coarse entry
  stored[3057] = 0xAA;  // last coarse entry

  // The unpacking steps themselves: the export would refuse these fields after unpacking them.
  std::vector<unsigned char> target(kVltModelBytes, 0x5C);
  VeinModel m = veltrum::LoadModel(target.data());
  ASSERT_EQ(veltrum::UnpackModel(stored.data(), m), 0);
  ASSERT_EQ(veltrum::UnpackBitRows(m), 0);
  EXPECT_EQ(m.edgePairs[0][0], 0x11);
  EXPECT_EQ(m.edgePairs[69][1], 0x22);
  EXPECT_EQ(m.cellVectors[0][0], 0x33);
  EXPECT_EQ(m.cellVectors[143][7], 0x44);
  EXPECT_EQ(m.codeRows[0][0], 0x80000001u);
  EXPECT_EQ(m.codeRows[0][3], 0xABu);
  EXPECT_EQ(m.codeRows[1][0], 0x12345678u);
  EXPECT_EQ(m.codeRows[1][1], 0u);
  EXPECT_EQ(m.codeRows[97][2], 0u);
  EXPECT_EQ(m.codeRows[97][3], 0xC3u);
  EXPECT_EQ(m.gridOrigin, 0x04030201);  // the stored word, not its low byte
  EXPECT_EQ(m.gridStep, 6);
  EXPECT_EQ(m.cellWeights[0], 0x55);
  EXPECT_EQ(m.cellWeights[143], 0x66);
  EXPECT_EQ(m.codeWeights[0], 0x77);
  EXPECT_EQ(m.codeWeights[97], 0x88);
  EXPECT_EQ(m.coarse[0], static_cast<std::int8_t>(0x99));
  EXPECT_EQ(m.coarse[239], static_cast<std::int8_t>(0xAA));
  EXPECT_EQ(m.spare[0], 0x5C);
  EXPECT_EQ(m.spare[1], 0x5C);
  int nonZeroRows = 0;
  for (const auto& row : m.codeRows) nonZeroRows += (row[0] | row[1] | row[2] | row[3]) != 0;
  EXPECT_EQ(nonZeroRows, 3);
}

TEST_F(Codec, RoundTripKeepsEveryRegionButGridWordsAndSpare) {
  VeinModel m = PatternModel();
  m.spare[0] = 0x11;
  m.spare[1] = 0x22;
  const auto stored = Encode(m);
  VeinModel decoded;
  std::memset(&decoded, 0x77, sizeof decoded);
  ASSERT_EQ(VLT_FV_Decode(stored.data(), kVltSerialisedBytes,
                          reinterpret_cast<unsigned char*>(&decoded)),
            0);
  EXPECT_EQ(0, std::memcmp(decoded.cellVectors, m.cellVectors, sizeof m.cellVectors));
  EXPECT_EQ(0, std::memcmp(decoded.codeRows, m.codeRows, sizeof m.codeRows));
  EXPECT_EQ(0, std::memcmp(decoded.edgePairs, m.edgePairs, sizeof m.edgePairs));
  EXPECT_EQ(0, std::memcmp(decoded.cellWeights, m.cellWeights, sizeof m.cellWeights));
  EXPECT_EQ(0, std::memcmp(decoded.codeWeights, m.codeWeights, sizeof m.codeWeights));
  EXPECT_EQ(0, std::memcmp(decoded.coarse, m.coarse, sizeof m.coarse));
  EXPECT_EQ(decoded.gridOrigin, kPatternOrigin * 0x01010101);  // low byte repeated
  EXPECT_EQ(decoded.gridStep, 0x06060606);
  EXPECT_EQ(decoded.spare[0], 0x77);  // the caller's bytes stay
  EXPECT_EQ(decoded.spare[1], 0x77);
  EXPECT_EQ(Encode(decoded), stored);
}

// Enrolment never sets them, so a model that does is refused rather than stored without them.
TEST_F(Codec, HighBitsOfFourthCodeWordAreRefused) {
  VeinModel m = PatternModel();
  m.codeRows[5][3] = 0xABCDEF12u;
  std::vector<unsigned char> out(kVltSerialisedBytes, 0xEE);
  int length = 99;
  EXPECT_EQ(VLT_FV_Encode(reinterpret_cast<const unsigned char*>(&m), out.data(), &length), 4002);
  EXPECT_EQ(length, 99);
  EXPECT_EQ(out, std::vector<unsigned char>(kVltSerialisedBytes, 0xEE));
}

TEST_F(Codec, EncodeNeverChangesTheCallersModel) {
  const VeinModel m = PatternModel();
  VeinModel copy = m;
  Encode(copy);
  EXPECT_EQ(0, std::memcmp(&copy, &m, sizeof m));
}

TEST_F(Codec, ArgumentFaultsReturnMinusOneAndWriteNothing) {
  const VeinModel m = PatternModel();
  const auto stored = Encode(m);
  std::vector<unsigned char> out(kVltSerialisedBytes, 0xEE);
  int length = 99;
  const auto* model = reinterpret_cast<const unsigned char*>(&m);
  EXPECT_EQ(VLT_FV_Encode(nullptr, out.data(), &length), -1);
  EXPECT_EQ(VLT_FV_Encode(model, nullptr, &length), -1);
  EXPECT_EQ(VLT_FV_Encode(model, out.data(), nullptr), -1);
  EXPECT_EQ(length, 99);
  EXPECT_EQ(out, std::vector<unsigned char>(kVltSerialisedBytes, 0xEE));

  std::vector<unsigned char> target(kVltModelBytes, 0x5C);
  EXPECT_EQ(VLT_FV_Decode(nullptr, kVltSerialisedBytes, target.data()), -1);
  EXPECT_EQ(VLT_FV_Decode(stored.data(), kVltSerialisedBytes, nullptr), -1);
  for (int length : {kVltSerialisedBytes - 1, 0, -1}) {
    EXPECT_EQ(VLT_FV_Decode(stored.data(), length, target.data()), -1) << length;
  }
  EXPECT_EQ(target, std::vector<unsigned char>(kVltModelBytes, 0x5C));
}

TEST_F(Codec, AllocationFailuresReportAndLeaveOutputsAlone) {
  const VeinModel m = PatternModel();
  const auto stored = Encode(m);
  std::vector<unsigned char> out(kVltSerialisedBytes, 0xEE);
  int length = 99;
  veltrum::FailNthAllocation(1);
  EXPECT_EQ(VLT_FV_Encode(reinterpret_cast<const unsigned char*>(&m), out.data(), &length), 3012);
  EXPECT_EQ(length, 99);
  EXPECT_EQ(out, std::vector<unsigned char>(kVltSerialisedBytes, 0xEE));

  std::vector<unsigned char> target(kVltModelBytes, 0x5C);
  veltrum::FailNthAllocation(1);
  EXPECT_EQ(VLT_FV_Decode(stored.data(), kVltSerialisedBytes, target.data()), -1);
  EXPECT_EQ(target, std::vector<unsigned char>(kVltModelBytes, 0x5C));
}

// Random stored forms hold cell vectors and coarse values no enrolment writes.
TEST_F(Codec, RandomStoredFormsAreRefusedAndLeaveTheModelAlone) {
  std::vector<unsigned char> noise(kVltSerialisedBytes);
  std::vector<unsigned char> target(kVltModelBytes, 0x5C);
  for (std::uint32_t seed = 1; seed <= 50; ++seed) {
    for (std::size_t i = 0; i < noise.size(); ++i) {
      noise[i] = static_cast<unsigned char>((i + 1) * seed * 2654435761u >> 13);
    }
    EXPECT_EQ(VLT_FV_Decode(noise.data(), kVltSerialisedBytes, target.data()), 4002) << seed;
  }
  EXPECT_EQ(target, std::vector<unsigned char>(kVltModelBytes, 0x5C));
}

}  // namespace
