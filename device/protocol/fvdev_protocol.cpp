#include "protocol/fvdev_protocol.h"

#include <cstring>

#include "fvplatform/usb_requests.h"

namespace dravex {
namespace {

constexpr std::uint8_t kVendorRequest = 2;
constexpr std::uint8_t kToDevice = 0;

bool VendorRequest(FvDevice* device, std::uint8_t direction, std::uint8_t code,
                   std::uint16_t wIndex, std::uint16_t wValue, std::uint8_t* buffer, int length) {
  if (!FVDEVLib_is_open(device) || length < 0 || length > 0xFFFF ||
      (length > 0 && buffer == nullptr)) {
    return false;
  }
  CControlEndPoint& ep = *device->usb.m_controlEndPoint;
  ep.SetRequest(kToDevice, kVendorRequest, direction, code, wValue, wIndex);
  std::uint32_t transferred = static_cast<std::uint32_t>(length);
  const XferEnd end = ep.Transfer(buffer, transferred, ep.m_timeout);
  // A device that lets a request run out its time no longer answers: nothing more is sent.
  if (end == XferEnd::kTimedOut) device->lost = true;
  // Fewer bytes than asked for is a failed request, whatever the driver's status says.
  return end == XferEnd::kDone && transferred == static_cast<std::uint32_t>(length);
}

bool SendExposure(FvDevice* device, std::uint16_t wIndex, int exposure, const int (&gains)[4]) {
  if (!FVDEVLib_is_open(device)) return false;
  const std::uint16_t bits = GainBits(ProductId(device->info));
  std::uint8_t data[10];
  fvplat::usb::PutU16(data, static_cast<std::uint16_t>(exposure));
  for (int g = 0; g < 4; ++g) {
    fvplat::usb::PutU16(data + 2 + 2 * g, static_cast<std::uint16_t>(gains[g] | bits));
  }
  return FVDEVLib_ctrl_out(device, kReqExposure, wIndex, 0, data, sizeof data);
}

// The memory window of a request: offset modulo the memory size, length cut at its end.
bool MemoryWindow(int offset, int n, std::uint16_t* wIndex, int* length) {
  if (n <= 0) return false;
  const int start = ((offset % kDeviceMemorySize) + kDeviceMemorySize) % kDeviceMemorySize;
  *wIndex = static_cast<std::uint16_t>(start);
  *length = n > kDeviceMemorySize - start ? kDeviceMemorySize - start : n;
  return true;
}

}  // namespace

std::uint16_t GainBits(std::uint16_t productId) {
  switch (productId) {
    case 0x8431: return 0x40;
    case 0x8232:
    case 0x8243: return 0x80;
    default: return 0;
  }
}

std::uint16_t ProductId(const FvDevInfo& info) { return fvplat::usb::GetU16(info.deviceInfo + 14); }

bool FVDEVLib_init() { return true; }

void FVDEVLib_exit() {}

int FVDEVLib_get_count() {
  CUsbDevice probe(nullptr, kFvDeviceClass, false);
  return probe.DeviceCount();
}

std::unique_ptr<FvDevice> FVDEVLib_open(int index) {
  auto device = std::make_unique<FvDevice>();
  if (!device->usb.Open(index) && !device->usb.Open(index)) return nullptr;
  return device;
}

void FVDEVLib_close(std::unique_ptr<FvDevice> device) {
  if (device != nullptr) device->usb.Close();
}

bool FVDEVLib_is_open(const FvDevice* device) {
  return device != nullptr && !device->lost && device->usb.IsOpen() &&
         device->usb.m_controlEndPoint != nullptr;
}

bool FVDEVLib_ctrl_in(FvDevice* device, std::uint8_t code, std::uint16_t wIndex,
                      std::uint16_t wValue, std::uint8_t* buffer, int length) {
  return VendorRequest(device, 1, code, wIndex, wValue, buffer, length);
}

bool FVDEVLib_ctrl_out(FvDevice* device, std::uint8_t code, std::uint16_t wIndex,
                       std::uint16_t wValue, const std::uint8_t* buffer, int length) {
  // OUT data is only read; the endpoint's interface takes one pointer for both directions.
  return VendorRequest(device, 0, code, wIndex, wValue, const_cast<std::uint8_t*>(buffer), length);
}

bool FVDEVLib_get_info(FvDevice* device, FvDevInfo* out) {
  if (!FVDEVLib_is_open(device)) return false;
  FvDevInfo info{};
  info.marker0 = 0x0200;
  info.marker1 = 0x2015;
  info.marker2 = 0x0123;
  const bool ok = FVDEVLib_ctrl_in(device, kReqInfo, 0, 0, info.deviceInfo, kInfoAnswerSize);
  // The gain rule reads the device's information: only a whole answer replaces it.
  if (ok) device->info = info;
  if (out != nullptr) *out = info;
  return ok;
}

bool FVDEVLib_get_finger(FvDevice* device, int* state) {
  if (!FVDEVLib_is_open(device)) return false;
  std::uint8_t present = 0;
  const bool ok = FVDEVLib_ctrl_in(device, kReqFinger, 0, 0, &present, 1);
  if (state != nullptr) *state = present != 0 ? kFingerPresent : 0;
  return ok;
}

bool FVDEVLib_set_exposure(FvDevice* device, int exposure, int g1, int g2, int g3, int g4) {
  return SendExposure(device, 0, exposure, {g1, g2, g3, g4});
}

bool FVDEVLib_set_exposure2(FvDevice* device, int sensor, int exposure, int g1, int g2, int g3,
                            int g4) {
  const auto wIndex = static_cast<std::uint16_t>(((sensor % 2) + 2) % 2);
  return SendExposure(device, wIndex, exposure, {g1, g2, g3, g4});
}

bool FVDEVLib_read_mem(FvDevice* device, std::uint8_t* buffer, int offset, int n) {
  std::uint16_t wIndex = 0;
  int length = 0;
  if (buffer == nullptr || !MemoryWindow(offset, n, &wIndex, &length)) return false;
  return FVDEVLib_ctrl_in(device, kReqMemory, wIndex, 0, buffer, length);
}

bool FVDEVLib_write_mem(FvDevice* device, const std::uint8_t* buffer, int offset, int n) {
  std::uint16_t wIndex = 0;
  int length = 0;
  if (buffer == nullptr || !MemoryWindow(offset, n, &wIndex, &length)) return false;
  return FVDEVLib_ctrl_out(device, kReqMemory, wIndex, 0, buffer, length);
}

bool FVDEVLib_set_backlight(FvDevice* device, const std::uint8_t pattern[8]) {
  return pattern != nullptr && FVDEVLib_ctrl_out(device, kReqBacklight, 0, 0, pattern, 8);
}

bool FVDEVLib_set_led(FvDevice* device, int level0, int level1) {
  const std::uint8_t levels[2] = {static_cast<std::uint8_t>(level0),
                                  static_cast<std::uint8_t>(level1)};
  return FVDEVLib_ctrl_out(device, kReqLed, 0, 0, levels, 2);
}

}  // namespace dravex
