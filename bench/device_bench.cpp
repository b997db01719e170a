// Frames per second through the simulated device (the worker's whole turn: finger poll, raw grab,
// reduction, level, exposure, then the caller's grab with its blob encoding), and the exposure
// steps a device needs from its default start to the first accepted frame.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "context/device_ops.h"
#include "fvplatform/clock.h"
#include "sim_device/sim_device.h"

namespace {

bool waitForFrame(const dravex::ContextRef& context) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!context->newFrame) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::yield();
  }
  return true;
}

int countRequests(int request) {
  int count = 0;
  for (int i = 0, n = fvsim_trace_count(); i < n; ++i) {
    FvSimTraceEntry e{};
    if (fvsim_trace_get(i, &e) && e.kind == FVSIM_TRACE_IOCTL && e.request == request &&
        (e.requestType & 0x60) == 0x40) {
      ++count;
    }
  }
  return count;
}

// unitScale > 1 makes the sensor that many times darker than its start exposure expects.
FvDevHandle plugAndOpen(int type, int unitScale = 1) {
  fvsim_reset();
  FvSimDeviceConfig config{};
  fvsim_default_config(type, &config);
  config.cold = 0;
  config.exposureUnit *= unitScale;
  config.maxExposure = std::min(0xFFFF, config.maxExposure * unitScale);
  fvsim_plug(&config);
  FvDevHandle handle = nullptr;
  dravex::openDeviceContext(0, nullptr, &handle);
  return handle;
}

// Arg 0: device type. Arg 1: 1 on the fake clock (the pipeline alone), 0 on the real clock
// (with the worker's 1 ms pause a turn).
void BM_FramesThroughSimulatedDevice(benchmark::State& state) {
  std::unique_ptr<fvplat::ScopedFakeClock> fake;
  if (state.range(1)) fake = std::make_unique<fvplat::ScopedFakeClock>();
  FvDevHandle handle = plugAndOpen(static_cast<int>(state.range(0)));
  dravex::ContextRef context = dravex::lookupContext(handle);
  if (!context) {
    state.SkipWithError("open failed");
    return;
  }
  fvsim_set_finger(0, 1);
  std::vector<std::uint8_t> blob(100000);
  for (auto _ : state) {
    if (!waitForFrame(context)) {
      state.SkipWithError("no frame");
      break;
    }
    unsigned length = static_cast<unsigned>(blob.size());
    benchmark::DoNotOptimize(dravex::takeHeldFrame(context.get(), blob.data(), &length));
  }
  state.SetItemsProcessed(state.iterations());
  context.reset();
  dravex::closeDeviceContext(handle);
}
BENCHMARK(BM_FramesThroughSimulatedDevice)
    ->ArgsProduct({{1, 3, 16}, {1, 0}})
    ->ArgNames({"type", "fake_clock"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Counter "steps": exposure requests (0xB3) after the finger arrives, up to the first accepted
// frame, from the device's default start exposure. Arg 1: how many times darker the sensor is
// than that start expects (1: the simulator's usual device).
void BM_ExposureStepsToFirstFrame(benchmark::State& state) {
  fvplat::ScopedFakeClock fake;
  double steps = 0;
  for (auto _ : state) {
    FvDevHandle handle = plugAndOpen(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    dravex::ContextRef context = dravex::lookupContext(handle);
    if (!context) {
      state.SkipWithError("open failed");
      break;
    }
    fvsim_trace_clear();
    fvsim_set_finger(0, 1);
    bool got = waitForFrame(context);
    steps = countRequests(0xB3);
    context.reset();
    dravex::closeDeviceContext(handle);
    if (!got) {
      state.SkipWithError("no frame");
      break;
    }
  }
  state.counters["steps"] = steps;
}
BENCHMARK(BM_ExposureStepsToFirstFrame)
    ->ArgsProduct({{1, 2, 3, 16, 18}, {1, 4}})
    ->ArgNames({"type", "darker"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
