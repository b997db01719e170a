// Opens with one allocation on the opening thread failing, each in turn: every failure leaves
// no worker running and no context listed, and nothing ends the process.

#include <cstdlib>
#include <new>

#include "sim_fixture.h"

namespace {

thread_local long t_failIn = -1;  // allocations on this thread before one fails

void* allocate(std::size_t n) {
  if (t_failIn >= 0 && t_failIn-- == 0) throw std::bad_alloc();
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

class OpenAllocation : public fvtest::SimDeviceTest {};

TEST_F(OpenAllocation, AFailureAnywhereLeavesNoWorkerBehind) {
  fvsim_plug_type(1);
  fvsim_plug_type(1);
  // One device stays open, so the list holds all it has room for and the next open must grow it.
  FvDevHandle first = open(0);
  ASSERT_NE(first, nullptr);
  long failures = 0;
  bool reachedTheEnd = false;
  for (long n = 0; n < 2000 && !reachedTheEnd; ++n) {
    FvDevHandle handle = nullptr;
    t_failIn = n;
    const int opened = dravex::openDeviceContext(1, nullptr, &handle);
    reachedTheEnd = t_failIn >= 0;  // no allocation failed
    failures += !reachedTheEnd;
    t_failIn = -1;
    if (opened == 1) {
      EXPECT_EQ(dravex::closeDeviceContext(handle), 1) << n;
    } else {
      EXPECT_EQ(handle, nullptr) << n;
      EXPECT_EQ(dravex::currentHandle(), first) << n;
    }
    EXPECT_EQ(dravex::runningWorkerCount(), 1) << n;
  }
  EXPECT_TRUE(reachedTheEnd);
  EXPECT_GT(failures, 10) << "the open allocates on its way";
}

}  // namespace
