#pragma once
// The capture device's vendor protocol over USB. Every function reports success as true and
// keeps no error state; each fails at once for a null or closed device. Callers serialise the
// calls on one device (the context's device lock); nothing here locks.

#include <cstdint>
#include <memory>

#include "dravex.h"
#include "usb/usb_device.h"

namespace dravex {

// The device-interface class of the capture device's driver.
inline constexpr fvplat::UsbClassId kFvDeviceClass = {
    {0x380C1EDC, 0x4A238B96, 0x52D1ADBF, 0x981924D2}};

// Vendor requests.
inline constexpr std::uint8_t kReqFirmware = 0xA0;
inline constexpr std::uint8_t kReqInfo = 0xB0;
inline constexpr std::uint8_t kReqFinger = 0xB1;
inline constexpr std::uint8_t kReqFrameSize = 0xB2;
inline constexpr std::uint8_t kReqExposure = 0xB3;
inline constexpr std::uint8_t kReqMemory = 0xB4;
inline constexpr std::uint8_t kReqBacklight = 0xB5;
inline constexpr std::uint8_t kReqLed = 0xB6;

inline constexpr int kDeviceMemorySize = 256;
inline constexpr int kInfoAnswerSize = 25;
inline constexpr unsigned kFrame16Pixels = 640 * 480;
inline constexpr unsigned kFrame16Bytes = 2 * kFrame16Pixels;
inline constexpr std::uint32_t kBulkReadWaitMs = 1000;
inline constexpr int kFingerPresent = 3;

// One opened capture device: its USB device and the information it reported last, whose
// product id decides the gain bits of this device's exposure requests. A device that let a
// control request run out its time, or that re-enumerates after a firmware download, is lost:
// every later request fails at once until it is opened again.
struct FvDevice {
  FvDevice() : usb(nullptr, kFvDeviceClass, false) {}
  CUsbDevice usb;
  FvDevInfo info{};
  bool lost = false;
};

// Product-id bits ORed into every gain word (0 for ids that take the gains as they are).
std::uint16_t GainBits(std::uint16_t productId);
std::uint16_t ProductId(const FvDevInfo& info);

bool FVDEVLib_init();
void FVDEVLib_exit();
int FVDEVLib_get_count();
// A new device opened by index (one more attempt after a failure), or null.
std::unique_ptr<FvDevice> FVDEVLib_open(int index);
// Closes the device if it is open and frees it. Never fails.
void FVDEVLib_close(std::unique_ptr<FvDevice> device);
bool FVDEVLib_is_open(const FvDevice* device);

// One vendor request to the device, 10 s time-out; fewer bytes than `length` is a failure.
bool FVDEVLib_ctrl_in(FvDevice* device, std::uint8_t code, std::uint16_t wIndex,
                      std::uint16_t wValue, std::uint8_t* buffer, int length);
bool FVDEVLib_ctrl_out(FvDevice* device, std::uint8_t code, std::uint16_t wIndex,
                       std::uint16_t wValue, const std::uint8_t* buffer, int length);

// Markers 0x0200, 0x2015, 0x0123 and the 25-byte answer of 0xB0, copied to out (also when the
// read failed; then the answer part is zero). Only a whole answer replaces the device's own.
bool FVDEVLib_get_info(FvDevice* device, FvDevInfo* out);
// *state = 3 when a finger lies on the sensor, else 0.
bool FVDEVLib_get_finger(FvDevice* device, int* state);

// 8-bit frame of *length bytes; fails unless the device's frame size matches *length.
bool FVDEVLib_grab(FvDevice* device, std::uint8_t* buffer, unsigned* length);
// 640 x 480 frame of 16-bit pixels, their low bytes into buffer; *length must hold at least
// 307200 and becomes 307200. A cold controller gets its firmware after the second failure.
bool FVDEVLib_grab16(FvDevice* device, int sensor, std::uint8_t* buffer, unsigned* length);
// One frame transfer of *length bytes on the last bulk IN endpoint; *length = bytes received.
bool FVDEVLib_bulk_read(FvDevice* device, int sensor, std::uint8_t* buffer, unsigned* length);

bool FVDEVLib_set_exposure(FvDevice* device, int exposure, int g1, int g2, int g3, int g4);
bool FVDEVLib_set_exposure2(FvDevice* device, int sensor, int exposure, int g1, int g2, int g3,
                            int g4);

// On-board memory: n bytes from offset (modulo 256), cut at the end of the memory.
bool FVDEVLib_read_mem(FvDevice* device, std::uint8_t* buffer, int offset, int n);
bool FVDEVLib_write_mem(FvDevice* device, const std::uint8_t* buffer, int offset, int n);

bool FVDEVLib_set_backlight(FvDevice* device, const std::uint8_t pattern[8]);
bool FVDEVLib_set_led(FvDevice* device, int level0, int level1);

// Holds the controller, writes the firmware image, releases it and reconnects the device.
bool FVDEVLib_download_firmware(FvDevice* device);

}  // namespace dravex
