// Control requests as the device answers them: the standard descriptor requests and the
// vendor requests of the capture protocol.
#include <algorithm>
#include <cstring>

#include "control_requests.h"
#include "fvplatform/usb_requests.h"

namespace simdev {
namespace {

using fvplat::usb::GetU16;
using fvplat::usb::PutU16;

constexpr std::uint16_t kHoldAddress = 0xE600;

bool Answer(const std::vector<std::uint8_t>& what, std::uint8_t* data, std::uint16_t length,
            std::uint32_t* answered) {
  if (what.empty()) return false;
  const std::size_t n = std::min<std::size_t>(length, what.size());
  std::memcpy(data, what.data(), n);
  *answered = static_cast<std::uint32_t>(n);
  return true;
}

bool GetDescriptor(const SimDevice& d, int deviceIndex, const fvplat::usb::SetupPacket& s,
                   std::uint8_t* data, std::uint32_t* answered) {
  const int type = s.value >> 8, index = s.value & 0xFF;
  if (type == 1) return Answer(d.deviceDescriptor, data, s.length, answered);
  if (type == 2 && index == 0) return Answer(d.configDescriptor, data, s.length, answered);
  if (type == 3) {
    return Answer(StringDescriptor(d, index, deviceIndex, s.index), data, s.length, answered);
  }
  return false;
}

std::vector<std::uint8_t> InfoAnswer(const SimDevice& d) {
  std::vector<std::uint8_t> a(25, 0);
  std::memcpy(a.data(), "VEINSIM 1.00", 12);
  const bool wide = SixteenBit(d.config.type);
  a[12] = static_cast<std::uint8_t>(d.config.type);
  a[13] = wide ? 2 : 1;
  PutU16(&a[14], static_cast<std::uint16_t>(d.config.productId));
  a[16] = wide ? 16 : 8;
  PutU16(&a[17], static_cast<std::uint16_t>(d.config.width));
  PutU16(&a[19], static_cast<std::uint16_t>(d.config.height));
  PutU16(&a[21], static_cast<std::uint16_t>(d.config.maxExposure));
  return a;
}

void FirmwareWrite(SimDevice& d, std::uint16_t address, const std::uint8_t* data, int length) {
  if (address == kHoldAddress && length == 1) {
    if (data[0] == 1) {
      d.holding = true;
      d.written.assign(kFirmwareSize, false);
      d.firmware.assign(kFirmwareSize, 0);
    } else if (d.holding) {
      d.holding = false;
      if (std::all_of(d.written.begin(), d.written.end(), [](bool b) { return b; })) {
        d.firmwareLoaded = true;
        ++d.firmwareDownloads;
      }
    }
    return;
  }
  if (!d.holding) return;
  for (int i = 0; i < length && address + i < kFirmwareSize; ++i) {
    d.written[address + i] = true;
    d.firmware[address + i] = data[i];
  }
}

bool Vendor(World& world, SimDevice& d, const fvplat::usb::SetupPacket& s, std::uint8_t* data,
            std::uint32_t* answered) {
  const bool in = (s.requestType & 0x80) != 0;
  const int n = s.length;
  switch (s.request) {
    case 0xA0:
      if (in || n > 64) return false;
      FirmwareWrite(d, s.value, data, n);
      return true;
    case 0xB0:
      return in && Answer(InfoAnswer(d), data, s.length, answered);
    case 0xB1:
      return in && Answer({static_cast<std::uint8_t>(FingerPresent(world, d) ? d.fingerByte : 0)},
                          data, s.length, answered);
    case 0xB2: {
      if (!in) return false;
      std::vector<std::uint8_t> size(4);
      PutU16(&size[0], static_cast<std::uint16_t>(d.reportedWidth));
      PutU16(&size[2], static_cast<std::uint16_t>(d.reportedHeight));
      if (!SixteenBit(d.config.type)) d.armedFrame = RenderFrame(world, d);
      return Answer(size, data, s.length, answered);
    }
    case 0xB3: {
      const int sensor = s.index & 1;
      if (in || n != 10 || (s.index > 1) || (sensor == 1 && !SixteenBit(d.config.type))) return false;
      d.exposure[sensor] = GetU16(data);
      for (int g = 0; g < 4; ++g) d.gain[sensor][g] = GetU16(data + 2 + 2 * g);
      return true;
    }
    case 0xB4:
      if (s.index >= kMemorySize || s.index + n > kMemorySize) return false;
      if (in) {
        std::memcpy(data, d.memory.data() + s.index, static_cast<std::size_t>(n));
        *answered = static_cast<std::uint32_t>(n);
      } else {
        std::memcpy(d.memory.data() + s.index, data, static_cast<std::size_t>(n));
      }
      return true;
    case 0xB5:
      if (in || n != 8) return false;
      std::memcpy(d.backlight, data, 8);
      return true;
    case 0xB6:
      if (in || n != 2) return false;
      std::memcpy(d.led, data, 2);
      return true;
    default:
      return false;
  }
}

}  // namespace

bool HandleControl(World& world, SimDevice& device, int deviceIndex,
                   const fvplat::usb::SetupPacket& setup, std::uint8_t* data,
                   std::uint32_t* answered) {
  *answered = 0;
  const int type = (setup.requestType >> 5) & 3, recipient = setup.requestType & 0x1F;
  if (type == 0 && setup.requestType == 0x80 && setup.request == 6) {
    return GetDescriptor(device, deviceIndex, setup, data, answered);
  }
  if (type == 2 && recipient == 0) return Vendor(world, device, setup, data, answered);
  return false;
}

}  // namespace simdev
