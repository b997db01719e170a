// A shift's sums from the prepared layouts, in every vector width this processor can run, against
// the sample-by-sample sums: at every shift a search can try, with and without dot products, on
// random content over the whole range of each field (any code bits, any 4-bit values, weights
// 0..255), on the largest values (the widest sums) and on synthetic fingers. The same for the
// enrolment's sums between two blocks.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

// The vector sums have a target for processors with vector bit counts; list it too.
#ifndef HWY_WANT_AVX3_DL
#define HWY_WANT_AVX3_DL
#endif
#include <hwy/targets.h>

#include "enrol/match_enroll_pair.h"
#include "match/prepared_match.h"
#include "match/shift_search.h"
#include "match/shift_sums.h"
#include "match_fixtures.h"

namespace {

using veltrum::FeatureBlock;
using veltrum::VeinModel;

template <class T>
void Fill(T& object, std::mt19937_64& rng) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(&object);
  for (std::size_t i = 0; i < sizeof object; ++i) bytes[i] = static_cast<std::uint8_t>(rng());
}

struct Case {
  std::string what;
  VeinModel model;
  FeatureBlock block;
};

Case RandomCase(std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  Case c{"random " + std::to_string(seed), {}, {}};
  Fill(c.model, rng);
  Fill(c.block, rng);
  // Some weights 0, so that whole rows and single samples drop out.
  for (auto& w : c.model.cellWeights) w = rng() % 4 == 0 ? 0 : w;
  for (auto& w : c.block.coverage27) w = rng() % 5 == 0 ? 0 : w;
  return c;
}

Case LargestCase() {
  Case c{"largest values", {}, {}};
  for (auto& v : c.model.cellVectors) for (auto& b : v) b = 0xFF;
  for (auto& v : c.block.cellVectors) for (auto& b : v) b = 0xFF;
  for (auto& r : c.model.codeRows) for (auto& w : r) w = 0;
  for (auto& r : c.block.codeRows) for (auto& w : r) w = ~0u;
  for (auto& w : c.model.cellWeights) w = 255;
  for (auto& w : c.model.codeWeights) w = 255;
  for (auto& w : c.block.coverage15) w = 255;
  for (auto& w : c.block.coverage27) w = 255;
  return c;
}

TEST(PreparedShiftSums, GiveTheSampleSumsAtEveryShift) {
  std::vector<Case> cases = {RandomCase(1), RandomCase(2), RandomCase(3), LargestCase()};
  cases.push_back({"finger 11 against finger 11", matchtest::FingerModel(11),
                   matchtest::FingerFeature(11, 3).blocks[0]});
  cases.push_back({"finger 11 against finger 12", matchtest::FingerModel(11),
                   matchtest::FingerFeature(12, 3).blocks[2]});
  auto model = std::make_unique<veltrum::PreparedModel>();
  auto block = std::make_unique<veltrum::PreparedBlock>();
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    for (const Case& c : cases) {
      veltrum::PrepareModel(c.model, *model);
      veltrum::PrepareBlock(c.block, *block);
      for (int rs = -veltrum::kMaxRowShift; rs <= veltrum::kMaxRowShift; ++rs) {
        for (int cs = -veltrum::kMaxColShift; cs <= veltrum::kMaxColShift; ++cs) {
          for (const bool products : {false, true}) {
            const auto want = veltrum::SampleShiftSums(c.model, c.block, rs, cs, products);
            const auto got = veltrum::PreparedShiftSums(*model, *block, rs, cs, products);
            const std::string at = c.what + " on " + hwy::TargetName(target) + " at " +
                                   std::to_string(rs) + "," + std::to_string(cs) +
                                   (products ? " with products" : "");
            ASSERT_EQ(got.dotSum, want.dotSum) << at;
            ASSERT_EQ(got.dotWeight, want.dotWeight) << at;
            ASSERT_EQ(got.agreementSum, want.agreementSum) << at;
            ASSERT_EQ(got.agreementWeight, want.agreementWeight) << at;
          }
        }
      }
    }
  }
  hwy::SetSupportedTargetsForTest(0);  // back to what the processor offers
}

// The enrolment's sums between two blocks, prepared against cell by cell, likewise.
TEST(PreparedShiftSums, GiveTheEnrolmentCellSumsAtEveryShift) {
  std::vector<std::pair<std::string, std::pair<FeatureBlock, FeatureBlock>>> cases;
  for (std::uint64_t seed : {4, 5}) {
    std::mt19937_64 rng(seed);
    FeatureBlock a{}, b{};
    Fill(a, rng);
    Fill(b, rng);
    for (auto& w : b.coverage15) w = rng() % 4 == 0 ? 0 : w;
    cases.push_back({"random " + std::to_string(seed), {a, b}});
  }
  const Case largest = LargestCase();
  FeatureBlock full = largest.block;
  for (auto& r : full.codeRows) for (auto& w : r) w = 0;
  cases.push_back({"largest values", {largest.block, full}});
  cases.push_back({"finger 11, captures 3 and 4", {matchtest::FingerFeature(11, 3).blocks[0],
                                                   matchtest::FingerFeature(11, 4).blocks[1]}});
  auto reference = std::make_unique<veltrum::PreparedCells>();
  auto other = std::make_unique<veltrum::PreparedCells>();
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    for (const auto& [what, blocks] : cases) {
      veltrum::PrepareCells(blocks.first, *reference);
      veltrum::PrepareCells(blocks.second, *other);
      for (int rs = -veltrum::kMaxRowShift; rs <= veltrum::kMaxRowShift; ++rs) {
        for (int cs = -veltrum::kMaxColShift; cs <= veltrum::kMaxColShift; ++cs) {
          const auto want = veltrum::EnrolCellSums(blocks.first, blocks.second, rs, cs);
          const auto got = veltrum::EnrolShiftSums(*reference, *other, rs, cs);
          const std::string at = what + " on " + hwy::TargetName(target) + " at " +
                                 std::to_string(rs) + "," + std::to_string(cs);
          ASSERT_EQ(got.dotSum, want.dotSum) << at;
          ASSERT_EQ(got.dotWeight, want.dotWeight) << at;
          ASSERT_EQ(got.agreementSum, want.agreementSum) << at;
          ASSERT_EQ(got.agreementWeight, want.agreementWeight) << at;
        }
      }
    }
  }
  hwy::SetSupportedTargetsForTest(0);
}

}  // namespace
