#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "core/alloc.h"

namespace {

// Runs f on a thread of its own, whose store starts empty.
template <class F>
void OnFreshThread(F f) {
  std::thread(f).join();
}

using veltrum::AllocArray;
using veltrum::AllocZeroedArray;

// A step's block comes back to the next call of the same thread: no fresh pages per call.
TEST(WorkMemory, AReleasedBlockServesTheNextCallOfTheThread) {
  OnFreshThread([] {
    void* first = AllocArray<std::uint8_t>(76800).get();
    auto again = AllocArray<std::uint8_t>(76800);
    EXPECT_EQ(again.get(), first);
  });
}

// A kept block is dirty; a zeroed array must still read zero everywhere.
TEST(WorkMemory, AZeroedArrayIsZeroOnAKeptBlock) {
  {
    auto dirty = AllocArray<std::int32_t>(5000);
    for (int i = 0; i < 5000; ++i) dirty[i] = -1;
  }
  auto zeroed = AllocZeroedArray<std::int32_t>(5000);
  int nonZero = 0;
  for (int i = 0; i < 5000; ++i) nonZero += zeroed[i] != 0;
  EXPECT_EQ(nonZero, 0);
}

// A kept block may be larger than asked for, up to twice the request; a large block is not spent
// on a small request that would leave the next large one without it.
TEST(WorkMemory, AKeptBlockServesRequestsUpToTwiceSmaller) {
  struct Case {
    std::size_t kept, asked;
    bool reused;
  };
  const Case cases[] = {{4000, 4000, true}, {4000, 2000, true}, {4000, 1900, false},
                        {4000, 4001, false}};
  for (const Case& c : cases) {
    OnFreshThread([&c] {
      void* kept = AllocArray<std::uint8_t>(c.kept).get();
      auto next = AllocArray<std::uint8_t>(c.asked);
      EXPECT_EQ(next.get() == kept, c.reused) << c.kept << " kept, " << c.asked << " asked";
    });
  }
}

// Blocks beyond what a thread keeps go back to the heap; the thread still gets working memory.
TEST(WorkMemory, AFullStoreStillAllocates) {
  std::vector<veltrum::WorkArray<std::uint8_t>> held;
  for (int i = 0; i < 100; ++i) {
    held.push_back(AllocArray<std::uint8_t>(300000));
    ASSERT_NE(held.back(), nullptr);
    held.back()[299999] = 1;
  }
  held.clear();
  auto huge = AllocZeroedArray<std::uint8_t>(std::size_t{20} << 20);
  ASSERT_NE(huge, nullptr);
  EXPECT_EQ(huge[(std::size_t{20} << 20) - 1], 0);
}

// Each thread keeps its own blocks: one thread's release never hands memory to another that
// still uses it.
TEST(WorkMemory, ThreadsKeepTheirOwnBlocks) {
  OnFreshThread([] {
    void* mine = AllocArray<std::uint8_t>(50000).get();
    void* theirs = nullptr;
    OnFreshThread([&] { theirs = AllocArray<std::uint8_t>(50000).get(); });
    auto again = AllocArray<std::uint8_t>(50000);
    EXPECT_EQ(again.get(), mine);
    EXPECT_NE(theirs, mine);
  });
}

}  // namespace
