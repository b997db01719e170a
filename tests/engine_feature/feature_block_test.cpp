#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/alloc.h"
#include "core/status.h"
#include "feature/compute_feature_block.h"
#include "feature/edge_pairs.h"
#include "feature/filter_bank.h"
#include "feature/unpack_feature_block.h"
#include "feature_fixtures.h"
#include "tables/lookup_tables.h"

namespace {

using namespace veltrum;

struct Computed {
  int status;
  FeatureBlock block, sample;
};

Computed Compute(featuretest::Plane& p, std::int32_t* responses = nullptr) {
  BuildLookupTables();
  Computed out;
  std::memset(&out.block, 0xAB, sizeof out.block);
  std::memset(&out.sample, 0xAB, sizeof out.sample);
  std::vector<std::int32_t> work(kResponseEntries);
  out.status = ComputeFeatureBlock({140, 120, p.image.data()}, out.block, out.sample,
                                   p.mask.data(), work.data(), responses);
  return out;
}

TEST(ComputeFeatureBlock, FreshBlockAndSampleBlockLayout) {
  auto probe = featuretest::PreprocessedFinger(1, 0);
  std::vector<std::int32_t> responses(kResponseEntries, -1);
  const Computed c = Compute(probe, responses.data());
  ASSERT_EQ(c.status, kOk);
  std::uint8_t pairs[140];
  FindEdgePairs(pairs, probe.mask.data());
  EXPECT_EQ(0, std::memcmp(c.block.edgePairs, pairs, 140));
  EXPECT_EQ(0, std::memcmp(c.sample.edgePairs, pairs, 140));
  for (std::int32_t v : responses) ASSERT_GE(v, 0);
  // Coverage, grid fields and coarse vector stay zero; codes are packed in 1073 words.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&c.block);
  for (int i = 8060; i < 8968; ++i) ASSERT_EQ(bytes[i], 0) << i;
  for (int w = 1073; w < 1320; ++w) ASSERT_EQ((&c.block.codeRows[0][0])[w], 0u) << w;
  const auto* sample = reinterpret_cast<const std::uint8_t*>(&c.sample);
  for (int i = 1152; i < 2640; ++i) ASSERT_EQ(sample[i], 0) << i;
  for (int i = 2640 + 1276; i < 7920; ++i) ASSERT_EQ(sample[i], 0) << i;
  for (int i = 8060; i < 8968; ++i) ASSERT_EQ(sample[i], 0) << i;
  int nonZeroVectors = 0;
  for (const auto& v : c.block.cellVectors) nonZeroVectors += v[0] | v[1] | v[2] | v[3] ? 1 : 0;
  EXPECT_GT(nonZeroVectors, 200);
}

TEST(ComputeFeatureBlock, ShiftedFingerAgreesMoreThanAnotherFinger) {
  auto unpacked = [](featuretest::Plane p) {
    Computed c = Compute(p);
    EXPECT_EQ(c.status, kOk);
    EXPECT_EQ(UnpackFeatureBlock(c.block, kGridCells, true), 0);
    return c.block;
  };
  for (std::uint64_t seed : {3u, 4u, 5u}) {
    const FeatureBlock probe = unpacked(featuretest::PreprocessedFinger(seed, 0));
    const FeatureBlock shifted = unpacked(featuretest::PreprocessedFinger(seed, 2));
    const FeatureBlock other = unpacked(featuretest::PreprocessedFinger(seed + 100, 0));
    const double same = featuretest::CodeAgreement(probe, shifted);
    const double different = featuretest::CodeAgreement(probe, other);
    // Seen: about 0.87 against 0.58.
    EXPECT_GT(same, 0.75) << "seed " << seed;
    EXPECT_GT(same, different + 0.15) << "seed " << seed;
    EXPECT_LT(different, 0.66) << "seed " << seed;
  }
}

TEST(ComputeFeatureBlock, AllocationFailures) {
  auto probe = featuretest::PreprocessedFinger(2, 0);
  FailNthAllocation(1);
  EXPECT_EQ(Compute(probe).status, kOutOfMemory);  // its response table
  FailNthAllocation(2);
  EXPECT_EQ(Compute(probe).status, -1);  // the filter bank's buffers
  FailNthAllocation(0);
  std::vector<std::int32_t> responses(kResponseEntries);
  FailNthAllocation(1);
  EXPECT_EQ(Compute(probe, responses.data()).status, -1);  // a lent table needs none
  FailNthAllocation(0);
}

}  // namespace
