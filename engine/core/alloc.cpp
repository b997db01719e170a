#include "core/alloc.h"

#include <atomic>

namespace veltrum {
namespace {

std::atomic<int> g_failCountdown{0};

}  // namespace

void FailNthAllocation(int n) { g_failCountdown.store(n < 0 ? 0 : n); }

bool AllocationAllowed() {
  int current = g_failCountdown.load();
  while (current > 0) {
    if (g_failCountdown.compare_exchange_weak(current, current - 1)) return current != 1;
  }
  return true;
}

}  // namespace veltrum
