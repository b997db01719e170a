#pragma once
// A simulated device world for context tests: the fake clock (so the worker's pauses cost no
// time), a reset simulator, and bounded waits for what the worker does on its own thread.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "bounded_wait.h"
#include "context/device_context.h"
#include "fvplatform/clock.h"
#include "scope_exit.h"
#include "sim_device/sim_device.h"

namespace fvtest {

// Waits (in real time, a generous bound) until `done` holds; false when it never did.
inline bool waitFor(const std::function<bool()>& done, int seconds = 60) {
  return WaitUntil(done, std::chrono::seconds(seconds));
}

// The vendor requests the trace holds, in order.
struct VendorRequest {
  int request;
  int value, index, length;
  std::vector<unsigned char> data;
  int outcome;
};

inline std::vector<VendorRequest> vendorRequests(int request = -1) {
  std::vector<VendorRequest> out;
  const int n = fvsim_trace_count();
  for (int i = 0; i < n; ++i) {
    FvSimTraceEntry e{};
    if (!fvsim_trace_get(i, &e) || e.kind != FVSIM_TRACE_IOCTL) continue;
    if ((e.requestType & 0x60) != 0x40) continue;  // vendor requests only
    if (request >= 0 && e.request != request) continue;
    out.push_back({e.request, e.value, e.index, e.length,
                   std::vector<unsigned char>(e.data, e.data + std::min(e.dataBytes, 16)), e.outcome});
  }
  return out;
}

inline std::array<unsigned char, 256> deviceMemory(int index = 0) {
  std::array<unsigned char, 256> memory{};
  fvsim_get_memory(index, memory.data());
  return memory;
}

inline FvSimDeviceState deviceState(int index = 0) {
  FvSimDeviceState state{};
  fvsim_get_state(index, &state);
  return state;
}

class SimDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { fvsim_reset(); }
  void TearDown() override {
    closeAll();
    fvsim_reset();
  }
  void closeAll() {
    for (FvDevHandle handle : opened_) dravex::closeDeviceContext(handle);
    opened_.clear();
  }
  // Lets the workers sleep on `clock` until the guard ends. The guard closes every context this
  // test opened before it puts the fixture's clock back, so no worker is left with a clock that
  // is gone, also after a failed ASSERT: declare it right after the clock.
  [[nodiscard]] auto workersOn(fvplat::Clock& clock) {
    fvplat::SetClock(&clock);
    return ScopeExit([this] {
      closeAll();
      fvplat::SetClock(&clock_.clock());
    });
  }

  // Opens device `index` and closes it at the end of the test.
  FvDevHandle open(int index = 0, HWND preview = nullptr) {
    FvDevHandle handle = nullptr;
    if (dravex::openDeviceContext(index, preview, &handle) == 1) opened_.push_back(handle);
    return handle;
  }
  void forget(FvDevHandle handle) { std::erase(opened_, handle); }
  // The handle this test opened a context under (handles are tokens, not context addresses).
  FvDevHandle handleOf(const dravex::ContextRef& context) const {
    for (FvDevHandle handle : opened_) {
      if (dravex::lookupContext(handle) == context) return handle;
    }
    return nullptr;
  }

  fvplat::ScopedFakeClock clock_;
  std::vector<FvDevHandle> opened_;
};

}  // namespace fvtest
