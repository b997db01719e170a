// Cost of one frame through the protocol, the USB classes, the driver port and the simulator.
#include <benchmark/benchmark.h>

#include <vector>

#include "protocol/fvdev_protocol.h"
#include "sim_device/sim_device.h"

namespace {

std::unique_ptr<dravex::FvDevice> OpenWarmDevice(int type) {
  fvsim_reset();
  fvsim_plug_type(type);
  fvsim_set_finger(0, 1);
  auto device = dravex::FVDEVLib_open(0);
  if (device == nullptr) return nullptr;
  dravex::FVDEVLib_get_info(device.get(), nullptr);
  const std::uint8_t on[8] = {0x36, 0x25, 0x19, 0x0E, 0x0E, 0x19, 0x25, 0x36};
  dravex::FVDEVLib_set_backlight(device.get(), on);
  dravex::FVDEVLib_set_exposure2(device.get(), 0, type == 1 ? 600 : 40, 32, 32, 32, 32);
  return device;
}

void BM_Grab8Bit640x480(benchmark::State& state) {
  auto device = OpenWarmDevice(1);
  std::vector<std::uint8_t> frame(640 * 480);
  for (auto _ : state) {
    unsigned length = static_cast<unsigned>(frame.size());
    if (!dravex::FVDEVLib_grab(device.get(), frame.data(), &length)) state.SkipWithError("grab");
    benchmark::DoNotOptimize(frame.data());
  }
}
BENCHMARK(BM_Grab8Bit640x480);

void BM_Grab16Bit640x480(benchmark::State& state) {
  auto device = OpenWarmDevice(16);
  std::vector<std::uint8_t> frame(640 * 480);
  unsigned length = static_cast<unsigned>(frame.size());
  dravex::FVDEVLib_grab16(device.get(), 0, frame.data(), &length);  // loads the firmware
  for (auto _ : state) {
    length = static_cast<unsigned>(frame.size());
    if (!dravex::FVDEVLib_grab16(device.get(), 0, frame.data(), &length)) state.SkipWithError("grab16");
    benchmark::DoNotOptimize(frame.data());
  }
}
BENCHMARK(BM_Grab16Bit640x480);

void BM_FingerPoll(benchmark::State& state) {
  auto device = OpenWarmDevice(1);
  for (auto _ : state) {
    int finger = 0;
    benchmark::DoNotOptimize(dravex::FVDEVLib_get_finger(device.get(), &finger));
  }
}
BENCHMARK(BM_FingerPoll);

}  // namespace

BENCHMARK_MAIN();
