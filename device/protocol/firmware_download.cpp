#include "protocol/firmware_image.h"
#include "protocol/fvdev_protocol.h"

namespace dravex {
namespace {

constexpr std::uint16_t kControllerHold = 0xE600;
constexpr int kChunk = 64;

}  // namespace

bool FVDEVLib_download_firmware(FvDevice* device) {
  if (!FVDEVLib_is_open(device)) return false;
  const std::uint8_t hold = 1, release = 0;
  bool ok = FVDEVLib_ctrl_out(device, kReqFirmware, 0, kControllerHold, &hold, 1);
  for (int at = 0; at < kFirmwareImageSize; at += kChunk) {
    ok = FVDEVLib_ctrl_out(device, kReqFirmware, 0, static_cast<std::uint16_t>(at),
                           kFirmwareImage.data() + at, kChunk) && ok;
  }
  ok = FVDEVLib_ctrl_out(device, kReqFirmware, 0, kControllerHold, &release, 1) && ok;
  ok = device->usb.Reconnect() && ok;
  // The controller comes back as a new device that the old handle no longer reaches: it is
  // opened again by its index, or counts as lost.
  device->lost = !device->usb.Open(device->usb.m_index);
  return ok && !device->lost;
}

}  // namespace dravex
