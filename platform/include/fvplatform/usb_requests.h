#pragma once
// The requests the capture device's USB driver understands and the 38-byte transfer header it
// expects in front of every transfer. Shared by the library and any driver backend.

#include <cstddef>
#include <cstdint>

#include "fvplatform/usb_driver.h"

namespace fvplat::usb {

// The device-interface class the capture device's driver registers.
inline constexpr UsbClassId kCaptureDriverClass = {{0x380C1EDC, 0x4A238B96, 0x52D1ADBF, 0x981924D2}};

// Driver requests (I/O control codes).
inline constexpr std::uint32_t kIoctlDriverVersion = 0x220000;
inline constexpr std::uint32_t kIoctlUsbdVersion = 0x220004;
inline constexpr std::uint32_t kIoctlAltSetting = 0x220008;  // 1 byte out
inline constexpr std::uint32_t kIoctlAddress = 0x220010;
inline constexpr std::uint32_t kIoctlControlTransfer = 0x220020;  // header + data in and out
inline constexpr std::uint32_t kIoctlDataOut = 0x220024;          // header + data in
inline constexpr std::uint32_t kIoctlReconnect = 0x220030;
inline constexpr std::uint32_t kIoctlSetTransferSize = 0x220038;  // endpoint, u32 size
inline constexpr std::uint32_t kIoctlFriendlyName = 0x22003C;     // 256 bytes out
inline constexpr std::uint32_t kIoctlDriverKey = 0x220040;        // 256 bytes out
inline constexpr std::uint32_t kIoctlAbortPipe = 0x220044;        // endpoint
inline constexpr std::uint32_t kIoctlDataIn = 0x22004B;           // header in, data out
inline constexpr std::uint32_t kIoctlSpeed = 0x22004C;            // u32 out, 2 = high speed

inline constexpr std::size_t kHeaderSize = 38;
inline constexpr std::size_t kNameSize = 256;

struct SetupPacket {
  std::uint8_t requestType = 0;  // direction << 7 | type << 5 | recipient
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::uint16_t length = 0;
};

struct TransferHeader {
  SetupPacket setup;
  std::uint32_t timeoutSeconds = 0;
  std::uint8_t endpoint = 0;  // 0 for control transfers
  std::uint32_t ntStatus = 0;
  std::uint32_t usbdStatus = 0;
  std::uint32_t isoPacketOffset = 0;
  std::uint32_t isoPacketLength = 0;
  std::uint32_t dataOffset = 0;  // kHeaderSize when the data follows the header
  std::uint32_t dataLength = 0;
};

inline void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint16_t GetU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void WriteHeader(const TransferHeader& h, std::uint8_t* out) {
  out[0] = h.setup.requestType;
  out[1] = h.setup.request;
  PutU16(out + 2, h.setup.value);
  PutU16(out + 4, h.setup.index);
  PutU16(out + 6, h.setup.length);
  PutU32(out + 8, h.timeoutSeconds);
  out[12] = 0;
  out[13] = h.endpoint;
  PutU32(out + 14, h.ntStatus);
  PutU32(out + 18, h.usbdStatus);
  PutU32(out + 22, h.isoPacketOffset);
  PutU32(out + 26, h.isoPacketLength);
  PutU32(out + 30, h.dataOffset);
  PutU32(out + 34, h.dataLength);
}

inline TransferHeader ReadHeader(const std::uint8_t* in) {
  TransferHeader h;
  h.setup.requestType = in[0];
  h.setup.request = in[1];
  h.setup.value = GetU16(in + 2);
  h.setup.index = GetU16(in + 4);
  h.setup.length = GetU16(in + 6);
  h.timeoutSeconds = GetU32(in + 8);
  h.endpoint = in[13];
  h.ntStatus = GetU32(in + 14);
  h.usbdStatus = GetU32(in + 18);
  h.isoPacketOffset = GetU32(in + 22);
  h.isoPacketLength = GetU32(in + 26);
  h.dataOffset = GetU32(in + 30);
  h.dataLength = GetU32(in + 34);
  return h;
}

// Status words the driver writes into the header of a failed transfer.
inline constexpr std::uint32_t kNtStatusUnsuccessful = 0xC0000001u;
inline constexpr std::uint32_t kUsbdStatusStall = 0xC0000004u;

}  // namespace fvplat::usb
