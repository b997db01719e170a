#pragma once
// A fresh simulator on a fake clock for every test, and readers of its request trace.

#include <gtest/gtest.h>

#include <vector>

#include "fvplatform/clock.h"
#include "fvplatform/usb_requests.h"
#include "sim_device/sim_device.h"

namespace fvtest {

inline std::vector<FvSimTraceEntry> Trace() {
  std::vector<FvSimTraceEntry> entries(static_cast<std::size_t>(fvsim_trace_count()));
  for (std::size_t i = 0; i < entries.size(); ++i) fvsim_trace_get(static_cast<int>(i), &entries[i]);
  return entries;
}

// Vendor requests with code `request` in the trace, in order.
inline std::vector<FvSimTraceEntry> VendorRequests(int request) {
  std::vector<FvSimTraceEntry> found;
  for (const FvSimTraceEntry& e : Trace()) {
    if (e.kind == FVSIM_TRACE_IOCTL && e.code == fvplat::usb::kIoctlControlTransfer &&
        ((e.requestType >> 5) & 3) == 2 && e.request == request) {
      found.push_back(e);
    }
  }
  return found;
}

inline int CountCode(unsigned code) {
  int n = 0;
  for (const FvSimTraceEntry& e : Trace()) n += e.kind == FVSIM_TRACE_IOCTL && e.code == code;
  return n;
}

// The trace ends with a request left pending and the abort of its endpoint's pipe.
inline void ExpectPendingThenAbort(std::size_t requests, int endpoint) {
  const std::vector<FvSimTraceEntry> trace = Trace();
  ASSERT_EQ(trace.size(), requests);
  EXPECT_EQ(trace[requests - 2].outcome, FVSIM_PENDING);
  EXPECT_EQ(trace[requests - 1].code, fvplat::usb::kIoctlAbortPipe);
  EXPECT_EQ(trace[requests - 1].endpoint, endpoint);
}

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override { fvsim_reset(); }
  void TearDown() override { fvsim_reset(); }
  fvplat::ScopedFakeClock clock_;
};

}  // namespace fvtest
