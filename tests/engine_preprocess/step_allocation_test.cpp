#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "core/alloc.h"
#include "planes.h"
#include "preprocess/preprocess_image.h"
#include "preprocess/preprocess_steps.h"
#include "tables/lookup_tables.h"

namespace {

using fvtest::Edges;
using fvtest::kW;
using fvtest::Plane;

struct Inputs {
  Plane image =
      Plane(100).Fill(60, 180, 0, kW - 1, 150).Fill(5, 8, 0, 40, 255).Fill(20, 23, 0, 40, 255);
  Plane mask = Plane().Fill(60, 180, 0, kW - 1, 1);
  Plane mask2 = Plane().Fill(60, 180, 0, kW - 1, 1);
  Edges edges = Edges::Flat(60, 180);
  std::vector<std::uint8_t> scratch = std::vector<std::uint8_t>(veltrum::kIntegralScratchBytes);
};

struct StepCase {
  std::string name;
  int allocations;
  int status;
  bool untouched;  // the step allocates before it writes
  std::function<int(Inputs&)> run;
};

void PrintTo(const StepCase& c, std::ostream* os) {
  *os << c.name;
}

class StepAllocation : public ::testing::TestWithParam<StepCase> {
 protected:
  void SetUp() override { veltrum::BuildLookupTables(); }
  void TearDown() override { veltrum::FailNthAllocation(0); }
};

TEST_P(StepAllocation, EveryFailureGivesTheStepsStatus) {
  const StepCase& c = GetParam();
  for (int n = 1; n <= c.allocations; ++n) {
    Inputs in;
    const Inputs before = in;
    veltrum::FailNthAllocation(n);
    EXPECT_EQ(c.run(in), c.status) << "allocation " << n;
    if (c.untouched) {
      EXPECT_TRUE(in.image == before.image && in.mask == before.mask && in.mask2 == before.mask2)
          << "allocation " << n;
    }
  }
  veltrum::FailNthAllocation(c.allocations + 1);
  Inputs in;
  EXPECT_NE(c.run(in), c.status) << "all allocations granted";
}

INSTANTIATE_TEST_SUITE_P(
    Steps, StepAllocation,
    ::testing::Values(
        StepCase{"SuppressSaturatedBands", 2, -1, false,
                 [](Inputs& in) {
                   return veltrum::SuppressSaturatedBands(in.image.data(), in.mask2.data());
                 }},
        StepCase{"RotateFinger", 3, 3012, true,
                 [](Inputs& in) {
                   return veltrum::RotateFinger(in.image.data(), in.mask.data(), in.mask2.data(),
                                                0.1f, in.edges.upper.data(), in.edges.lower.data());
                 }},
        StepCase{"NormaliseFingerWidth", 2, 3012, true,
                 [](Inputs& in) {
                   return veltrum::NormaliseFingerWidth(in.edges.upper.data(),
                                                        in.edges.lower.data(), in.image.data(),
                                                        in.mask.data());
                 }},
        StepCase{"UnwrapFingerSection", 1, 3012, true,
                 [](Inputs& in) {
                   return veltrum::UnwrapFingerSection(in.edges.lower.data(), 0, 0,
                                                       in.edges.upper.data(), in.image.data(),
                                                       in.mask.data());
                 }},
        StepCase{"MedianInMask", 1, -1, true,
                 [](Inputs& in) {
                   return veltrum::MedianInMask(in.image.data(), in.mask.data(), 60, 180);
                 }},
        StepCase{"ValleyResponse", 2, 3012, true,
                 [](Inputs& in) {
                   return veltrum::ValleyResponse(in.image.data(), in.mask.data(), in.mask2.data(),
                                                  60, 180);
                 }},
        StepCase{"SmoothInMask", 1, 3012, true,
                 [](Inputs& in) {
                   return veltrum::SmoothInMask(in.mask.data(), in.image.data(), 60, 180);
                 }},
        StepCase{"EqualiseLocalHistogram", 1, 3012, true,
                 [](Inputs& in) {
                   return veltrum::EqualiseLocalHistogram(in.image.data(), in.mask.data(), 60, 180);
                 }},
        StepCase{"BrightenLocalMean", 2, -1, true,
                 [](Inputs& in) {
                   return veltrum::BrightenLocalMean(in.image.data(), in.mask.data(),
                                                     in.scratch.data(), 60, 180);
                 }},
        StepCase{"HalveImages", 3, 3012, true,
                 [](Inputs& in) {
                   return veltrum::HalveImages(in.image.data(), in.mask2.data(), in.mask.data());
                 }}),
    [](const auto& info) { return info.param.name; });

}  // namespace
