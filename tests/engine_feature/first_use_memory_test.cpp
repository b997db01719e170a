// The filter bank's derived tables are built on first use. When the heap is short at that moment
// the step must still give a status (and here, with its own working memory intact, its result):
// an exception would cross the exported C functions. The first use must happen in this test, so
// it is the only one in its program.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "feature/filter_bank.h"
#include "feature/grid_origin.h"

namespace {

// Large heap blocks fail while armed; the engine's working arrays are far smaller.
std::atomic<bool> g_shortHeap{false};
constexpr std::size_t kLargeBlock = 64 * 1024;

void* Allocate(std::size_t n) {
  if (g_shortHeap.load() && n >= kLargeBlock) throw std::bad_alloc();
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

TEST(FilterBankFirstUse, AShortHeapDoesNotThrowOutOfTheStep) {
  using namespace veltrum;
  std::vector<std::uint8_t> pixels(kOutWidth * kOutHeight, 90);
  std::vector<std::int32_t> shortHeap(kResponseEntries, -1), plenty(kResponseEntries, -2);
  g_shortHeap = true;
  int status = 1;
  try {
    status = FilterBankResponses({kOutWidth, kOutHeight, pixels.data()}, shortHeap.data(),
                                 GridParams{25});
  } catch (const std::bad_alloc&) {
    g_shortHeap = false;
    FAIL() << "std::bad_alloc left the filter bank";
  }
  g_shortHeap = false;
  ASSERT_EQ(status, 0);
  ASSERT_EQ(FilterBankResponses({kOutWidth, kOutHeight, pixels.data()}, plenty.data(),
                                GridParams{25}),
            0);
  EXPECT_EQ(shortHeap, plenty);
}
