// Frame transfers: the bulk read, the 8-bit grab and the 16-bit grab with its firmware retry.
#include <vector>

#include "fvplatform/usb_requests.h"
#include "protocol/fvdev_protocol.h"

namespace dravex {
namespace {

constexpr int kGrab16Attempts = 3;

CUsbEndPoint* LastBulkIn(const CUsbDevice& usb) {
  CUsbEndPoint* found = nullptr;
  for (int i = 0; i < usb.EndPointCount(); ++i) {
    CUsbEndPoint* ep = usb.EndPoint(i);
    if ((ep->m_attributes & 3) == 2 && ep->IsIn()) found = ep;
  }
  return found;
}

}  // namespace

bool FVDEVLib_bulk_read(FvDevice* device, int /*sensor*/, std::uint8_t* buffer, unsigned* length) {
  if (!FVDEVLib_is_open(device) || buffer == nullptr || length == nullptr) return false;
  CUsbEndPoint* ep = LastBulkIn(device->usb);
  if (ep == nullptr) return false;
  const std::uint32_t wanted = *length;
  ep->SetXferSize(wanted);
  std::uint32_t received = wanted;
  const XferEnd end = ep->Transfer(buffer, received, kBulkReadWaitMs);
  *length = received;
  return end == XferEnd::kDone && received == wanted;
}

bool FVDEVLib_grab(FvDevice* device, std::uint8_t* buffer, unsigned* length) {
  if (!FVDEVLib_is_open(device) || buffer == nullptr || length == nullptr) return false;
  std::uint8_t size[4] = {};
  if (!FVDEVLib_ctrl_in(device, kReqFrameSize, 0, 0, size, sizeof size)) return false;
  const unsigned width = fvplat::usb::GetU16(size), height = fvplat::usb::GetU16(size + 2);
  const unsigned wanted = *length;
  const bool read = FVDEVLib_bulk_read(device, 0, buffer, length);
  return read && width * height == wanted;
}

bool FVDEVLib_grab16(FvDevice* device, int sensor, std::uint8_t* buffer, unsigned* length) {
  if (!FVDEVLib_is_open(device) || buffer == nullptr || length == nullptr || *length == 0) {
    return false;
  }
  // The frame is always 640 x 480: a smaller buffer cannot take it.
  if (*length < kFrame16Pixels) return false;
  bool read = false;
  for (int attempt = 0; attempt < kGrab16Attempts && !read; ++attempt) {
    std::vector<std::uint8_t> work(kFrame16Bytes, 0);
    unsigned received = kFrame16Bytes;
    read = FVDEVLib_bulk_read(device, sensor, work.data(), &received);
    for (unsigned i = 0; i < kFrame16Pixels; ++i) buffer[i] = work[2 * i];
    *length = kFrame16Pixels;
    // A first failure may be a stray one; later ones mean the controller lacks its firmware.
    if (!read && attempt > 0) FVDEVLib_download_firmware(device);
  }
  return read;
}

}  // namespace dravex
