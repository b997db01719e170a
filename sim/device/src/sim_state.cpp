#include "sim_state.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "fvplatform/clock.h"
#include "placement.h"

namespace simdev {
namespace {

// Demonstration: a finger lies on the sensor for 3 s, then is away for 3 s.
constexpr std::uint64_t kDemoHalfCycleMs = 3000;

// A demonstration device may come numbered, as one the club set up before: a parameter block
// frame (magic, signature) with the number in it, which the library keeps when it lays its
// own block down.
void NumberDemoDevice(SimDevice& device) {
  const char* text = std::getenv(kDemoNumberEnv);
  if (text == nullptr) return;
  const long number = std::strtol(text, nullptr, 10);
  if (number <= 0 || number > 0x7fffffff) return;
  const std::int32_t value = static_cast<std::int32_t>(number);
  device.memory[0] = 0x76;  // 0x9876, little-endian
  device.memory[1] = 0x98;
  std::memcpy(&device.memory[16], &value, sizeof value);
  std::memcpy(&device.memory[92], "1234", 4);
}

World* BuildWorld() {
  auto* world = new World;  // lives for the process: pending requests may outlast statics
  world->placementSpread = DefaultPlacementSpread();
  FvSimDeviceConfig config{};
  fvsim_default_config(1, &config);
  world->devices.push_back(MakeDevice(*world, config));
  NumberDemoDevice(*world->devices.back());
  return world;
}

}  // namespace

World& TheWorld() {
  static World* world = BuildWorld();
  return *world;
}

SimDevice* DeviceAt(World& world, int index) {
  if (index < 0 || index >= static_cast<int>(world.devices.size())) return nullptr;
  return world.devices[static_cast<std::size_t>(index)].get();
}

SimDevice* DeviceById(World& world, int id, int* index) {
  for (std::size_t i = 0; i < world.devices.size(); ++i) {
    if (world.devices[i]->id == id) {
      if (index != nullptr) *index = static_cast<int>(i);
      return world.devices[i].get();
    }
  }
  return nullptr;
}

std::unique_ptr<SimDevice> MakeDevice(World& world, const FvSimDeviceConfig& config) {
  auto device = std::make_unique<SimDevice>();
  device->id = world.nextDeviceId++;
  device->config = config;
  device->deviceDescriptor = DefaultDeviceDescriptor(config);
  device->configDescriptor = DefaultConfigDescriptor();
  device->reportedWidth = config.width;
  device->reportedHeight = config.height;
  device->cold = config.cold != 0;
  device->written.assign(kFirmwareSize, false);
  device->firmware.assign(kFirmwareSize, 0);
  device->transferSize.fill(4096);
  return device;
}

bool FingerPresent(const World& world, const SimDevice& device) {
  if (!world.demo) return device.finger;
  return (fvplat::ClockMs() / kDemoHalfCycleMs) % 2 == 1;
}

void FailPending(World& world, int deviceId, int endpoint, fvplat::UsbHandle handle) {
  auto matches = [&](const Pending& p) {
    return (deviceId < 0 || p.deviceId == deviceId) && (endpoint < 0 || p.endpoint == endpoint) &&
           (handle == fvplat::kInvalidUsbHandle || p.handle == handle);
  };
  for (const Pending& p : world.pending) {
    if (matches(p)) p.overlapped->Complete(0, false);
  }
  std::erase_if(world.pending, matches);
}

void AddTrace(World& world, const FvSimTraceEntry& entry, std::vector<std::uint8_t> data) {
  world.trace.push_back(entry);
  world.traceData.push_back(std::move(data));
  if (world.trace.size() > kTraceLimit) {
    world.trace.pop_front();
    world.traceData.pop_front();
  }
}

}  // namespace simdev
