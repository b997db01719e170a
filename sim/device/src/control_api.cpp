// The C control interface that tests and demonstrations drive the simulator with.
#include <algorithm>
#include <cstring>

#include "placement.h"
#include "sim_state.h"

using simdev::SimDevice;
using simdev::TheWorld;
using simdev::World;

#define FVSIM_API extern "C" __attribute__((visibility("default")))

namespace {

// Runs `fn` on device `index` under the world's lock; 0 for a bad index.
template <typename Fn>
int WithDevice(int index, Fn fn) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> lock(world.mutex);
  SimDevice* device = simdev::DeviceAt(world, index);
  if (device == nullptr) return 0;
  return fn(world, *device);
}

}  // namespace

FVSIM_API int fvsim_default_config(int type, FvSimDeviceConfig* config) {
  if (config == nullptr) return 0;
  // Exposure units put each type's usual start exposure a little above the accepted band, with
  // its smallest exposure step moving the level by a few grey values.
  switch (type) {
    case 1: *config = {1, 0x8243, 640, 480, 2000, 850, 0}; return 1;
    case 2: *config = {2, 0x009B, 320, 240, 1000, 190, 0}; return 1;
    case 3: *config = {3, 0x8243, 640, 480, 2000, 850, 1}; return 1;
    case 16: *config = {16, 0x8431, 640, 480, 200, 60, 1}; return 1;
    case 18: *config = {18, 0x8232, 640, 480, 200, 60, 1}; return 1;
    default: return 0;
  }
}

FVSIM_API void fvsim_reset(void) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> lock(world.mutex);
  world.demo = false;
  simdev::FailPending(world, -1, -1, fvplat::kInvalidUsbHandle);
  world.devices.clear();
  world.handles.clear();
  world.trace.clear();
  world.traceData.clear();
  world.wholeData = false;
  world.placementSpread = simdev::DefaultPlacementSpread();
}

FVSIM_API int fvsim_plug(const FvSimDeviceConfig* config) {
  if (config == nullptr || config->width <= 0 || config->height <= 0 || config->width > 4096 ||
      config->height > 4096 || config->exposureUnit <= 0 || config->maxExposure < 0 ||
      config->maxExposure > 0xFFFF) {
    return -1;
  }
  World& world = TheWorld();
  std::lock_guard<std::mutex> lock(world.mutex);
  world.devices.push_back(simdev::MakeDevice(world, *config));
  return static_cast<int>(world.devices.size()) - 1;
}

FVSIM_API int fvsim_plug_type(int type) {
  FvSimDeviceConfig config{};
  return fvsim_default_config(type, &config) ? fvsim_plug(&config) : -1;
}

FVSIM_API int fvsim_unplug(int index) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> lock(world.mutex);
  SimDevice* device = simdev::DeviceAt(world, index);
  if (device == nullptr) return 0;
  simdev::FailPending(world, device->id, -1, fvplat::kInvalidUsbHandle);
  world.devices.erase(world.devices.begin() + index);
  return 1;
}

FVSIM_API int fvsim_device_count(void) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> lock(world.mutex);
  return static_cast<int>(world.devices.size());
}

FVSIM_API int fvsim_device_type(int index) {
  return WithDevice(index, [](World&, SimDevice& d) { return d.config.type; });
}

FVSIM_API int fvsim_set_finger(int index, int present) {
  return WithDevice(index, [present](World&, SimDevice& d) {
    if (present && !d.finger) ++d.captureIndex;
    d.finger = present != 0;
    return 1;
  });
}

FVSIM_API int fvsim_set_finger_byte(int index, int value) {
  if (value < 1 || value > 255) return 0;
  return WithDevice(index, [value](World&, SimDevice& d) {
    d.fingerByte = static_cast<std::uint8_t>(value);
    return 1;
  });
}

FVSIM_API int fvsim_set_languages(int index, const unsigned short* ids, int count) {
  if (count < 0 || count > 126 || (count > 0 && ids == nullptr)) return 0;
  return WithDevice(index, [=](World&, SimDevice& d) {
    d.languages.assign(ids, ids + count);
    return 1;
  });
}

FVSIM_API int fvsim_get_firmware(int index, unsigned char* out, int size) {
  if (out == nullptr || size < simdev::kFirmwareSize) return 0;
  return WithDevice(index, [out](World&, SimDevice& d) {
    std::memcpy(out, d.firmware.data(), d.firmware.size());
    return 1;
  });
}

FVSIM_API int fvsim_set_finger_seed(int index, unsigned long long seed) {
  return WithDevice(index, [seed](World&, SimDevice& d) {
    d.fingerSeed = seed;
    return 1;
  });
}

FVSIM_API int fvsim_set_placement_spread(const FvSimPlacementSpread* spread) {
  if (spread == nullptr) return 0;
  const double values[] = {spread->shiftAlong, spread->shiftAcross, spread->rotationDeg,
                           spread->rollDeg,    spread->press,       spread->light};
  for (double v : values) {
    if (!(v >= 0 && v <= 1000)) return 0;  // NaN too
  }
  World& world = TheWorld();
  std::lock_guard<std::mutex> lock(world.mutex);
  world.placementSpread = *spread;
  return 1;
}

FVSIM_API int fvsim_get_placement_spread(FvSimPlacementSpread* spread) {
  if (spread == nullptr) return 0;
  World& world = TheWorld();
  std::lock_guard<std::mutex> lock(world.mutex);
  *spread = world.placementSpread;
  return 1;
}

FVSIM_API int fvsim_inject(int index, int fault, int count) {
  if (count < 0) return 0;
  return WithDevice(index, [fault, count](World&, SimDevice& d) {
    switch (fault) {
      case FVSIM_FAULT_FAIL: d.faults.fail = count; return 1;
      case FVSIM_FAULT_STALL: d.faults.stall = count; return 1;
      case FVSIM_FAULT_SHORT: d.faults.shortAnswer = count; return 1;
      case FVSIM_FAULT_LONG: d.faults.longAnswer = count; return 1;
      case FVSIM_FAULT_CLOSE: d.faults.closeFailure = count; return 1;
      default: return 0;
    }
  });
}

FVSIM_API int fvsim_inject_request_fault(int index, int request, int fault, int count) {
  if (count < 0 || request < 0 || request > 255) return 0;
  if (fault != FVSIM_FAULT_FAIL && fault != FVSIM_FAULT_STALL && fault != FVSIM_FAULT_SHORT) return 0;
  return WithDevice(index, [=](World&, SimDevice& d) {
    d.faults.failedRequest = request;
    d.faults.failedRequestCount = count;
    d.faults.failedRequestFault = fault;
    return 1;
  });
}

FVSIM_API int fvsim_inject_request(int index, int request, int count) {
  return fvsim_inject_request_fault(index, request, FVSIM_FAULT_FAIL, count);
}

FVSIM_API int fvsim_set_descriptor(int index, int kind, const unsigned char* bytes, int length) {
  if (bytes == nullptr || length < 0 || length > 1024 || (kind != 1 && kind != 2)) return 0;
  return WithDevice(index, [=](World&, SimDevice& d) {
    (kind == 1 ? d.deviceDescriptor : d.configDescriptor).assign(bytes, bytes + length);
    return 1;
  });
}

FVSIM_API int fvsim_set_reported_size(int index, int width, int height) {
  return WithDevice(index, [=](World&, SimDevice& d) {
    d.reportedWidth = width;
    d.reportedHeight = height;
    return 1;
  });
}

FVSIM_API int fvsim_get_state(int index, FvSimDeviceState* state) {
  if (state == nullptr) return 0;
  return WithDevice(index, [state](World&, SimDevice& d) {
    *state = {};
    for (int s = 0; s < 2; ++s) {
      state->exposure[s] = d.exposure[s];
      for (int g = 0; g < 4; ++g) state->gain[s][g] = d.gain[s][g];
    }
    std::memcpy(state->backlight, d.backlight, 8);
    std::memcpy(state->led, d.led, 2);
    state->cold = d.cold ? 1 : 0;
    state->firmwareDownloads = d.firmwareDownloads;
    state->reconnects = d.reconnects;
    state->transferSize = d.transferSize[simdev::kFrameEndpoint];
    return 1;
  });
}

FVSIM_API int fvsim_get_memory(int index, unsigned char* out256) {
  if (out256 == nullptr) return 0;
  return WithDevice(index, [out256](World&, SimDevice& d) {
    std::memcpy(out256, d.memory.data(), d.memory.size());
    return 1;
  });
}

FVSIM_API int fvsim_set_memory(int index, int offset, const unsigned char* bytes, int length) {
  if (bytes == nullptr || offset < 0 || length < 0 || offset + length > simdev::kMemorySize) return 0;
  return WithDevice(index, [=](World&, SimDevice& d) {
    std::memcpy(d.memory.data() + offset, bytes, static_cast<std::size_t>(length));
    return 1;
  });
}

FVSIM_API int fvsim_trace_count(void) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> lock(world.mutex);
  return static_cast<int>(world.trace.size());
}

FVSIM_API int fvsim_trace_get(int i, FvSimTraceEntry* entry) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> lock(world.mutex);
  if (entry == nullptr || i < 0 || i >= static_cast<int>(world.trace.size())) return 0;
  *entry = world.trace[static_cast<std::size_t>(i)];
  return 1;
}

FVSIM_API void fvsim_trace_clear(void) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> lock(world.mutex);
  world.trace.clear();
  world.traceData.clear();
}

FVSIM_API void fvsim_trace_whole_data(int on) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> lock(world.mutex);
  world.wholeData = on != 0;
}

FVSIM_API int fvsim_trace_data(int i, unsigned char* out, int size) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> lock(world.mutex);
  if (i < 0 || i >= static_cast<int>(world.traceData.size())) return -1;
  const std::vector<std::uint8_t>& data = world.traceData[static_cast<std::size_t>(i)];
  if (out != nullptr && size > 0) {
    std::memcpy(out, data.data(), std::min<std::size_t>(data.size(), static_cast<std::size_t>(size)));
  }
  return static_cast<int>(data.size());
}
