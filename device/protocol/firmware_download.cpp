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
  return device->usb.Reconnect() && ok;
}

}  // namespace dravex
