#pragma once
// State of the simulated devices, their handles and pending requests. One instance per process,
// guarded by one lock: every backend request and control call takes it.

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "fvplatform/usb_driver.h"
#include "sim_device/sim_device.h"

namespace simdev {

inline constexpr int kFirmwareSize = 8192;
inline constexpr int kMemorySize = 256;
inline constexpr std::size_t kTraceLimit = 65536;
// The bulk IN endpoint the device sends its frames on, whatever its descriptors say.
inline constexpr std::uint8_t kFrameEndpoint = 0x82;

struct Faults {
  int fail = 0, stall = 0, shortAnswer = 0, longAnswer = 0, closeFailure = 0;
  // Control requests of one code refused, stalled or answered short.
  int failedRequest = 0, failedRequestCount = 0, failedRequestFault = 0;
};

struct SimDevice {
  int id = 0;  // unique while the process runs; handles name it
  FvSimDeviceConfig config{};
  std::vector<std::uint8_t> deviceDescriptor;
  std::vector<std::uint8_t> configDescriptor;
  std::vector<std::uint16_t> languages{0x0409};  // string descriptor 0
  int reportedWidth = 0, reportedHeight = 0;

  bool finger = false;
  std::uint8_t fingerByte = 1;  // the sensor's answer while a finger lies on it
  std::uint64_t fingerSeed = 1;
  int captureIndex = 0;

  int exposure[2] = {0, 0};
  std::uint16_t gain[2][4] = {};
  std::uint8_t backlight[8] = {};
  std::uint8_t led[2] = {};
  std::array<std::uint8_t, kMemorySize> memory{};

  bool cold = false;
  bool holding = false;           // controller held for a download
  std::vector<bool> written;      // firmware bytes written while held
  std::vector<std::uint8_t> firmware;  // the bytes received while held, by address
  bool firmwareLoaded = false;    // a complete image waits for the reconnect
  int firmwareDownloads = 0;
  int reconnects = 0;

  std::array<std::uint32_t, 256> transferSize{};
  std::vector<std::uint8_t> armedFrame;  // the 8-bit frame announced by a frame-size answer
  Faults faults;

  // The last rendered scene (its brightness before exposure, gain and light).
  std::uint64_t sceneKey = ~0ull;
  std::vector<std::uint8_t> scene;
  std::vector<std::int8_t> readNoise;
};

struct Pending {
  fvplat::UsbHandle handle;
  int deviceId;
  std::uint8_t endpoint;
  fvplat::UsbOverlapped* overlapped;
};

struct World {
  std::mutex mutex;
  bool demo = true;
  int nextDeviceId = 1;
  fvplat::UsbHandle nextHandle = 100;
  std::vector<std::unique_ptr<SimDevice>> devices;
  std::vector<std::pair<fvplat::UsbHandle, int>> handles;  // handle -> device id
  std::vector<Pending> pending;
  std::deque<FvSimTraceEntry> trace;
  FvSimPlacementSpread placementSpread{};        // how placements of a finger differ
  bool wholeData = false;                        // keep each transfer's whole data
  std::deque<std::vector<std::uint8_t>> traceData;  // beside `trace`, entry by entry
};

// Names the number the demonstration device carries in its on-board memory (none when unset).
inline constexpr const char* kDemoNumberEnv = "FV_SIM_DEVICE_NUMBER";

// The world, with its demonstration device in place until a test resets it.
World& TheWorld();

// With the world's lock held:
SimDevice* DeviceAt(World& world, int index);
SimDevice* DeviceById(World& world, int id, int* index);
std::unique_ptr<SimDevice> MakeDevice(World& world, const FvSimDeviceConfig& config);
bool FingerPresent(const World& world, const SimDevice& device);
void FailPending(World& world, int deviceId, int endpoint, fvplat::UsbHandle handle);
void AddTrace(World& world, const FvSimTraceEntry& entry, std::vector<std::uint8_t> data = {});

// Descriptors and driver facts.
std::vector<std::uint8_t> DefaultDeviceDescriptor(const FvSimDeviceConfig& config);
std::vector<std::uint8_t> DefaultConfigDescriptor();
// String `index` in `language`; empty for a language the device does not list.
std::vector<std::uint8_t> StringDescriptor(const SimDevice& device, int index, int deviceIndex,
                                           std::uint16_t language);

// Frames at the native raw size: 8-bit, or 16-bit pairs (value, other byte) for the 16-bit types.
bool SixteenBit(int type);
std::vector<std::uint8_t> RenderFrame(World& world, SimDevice& device);

}  // namespace simdev
