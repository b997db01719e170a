#pragma once
// Endpoints of the capture device and the transfers on them. Every transfer is one driver
// request with the 38-byte transfer header in front of it, issued overlapped.

#include <cstdint>
#include <vector>

#include "fvplatform/usb_driver.h"
#include "fvplatform/win_types.h"
#include "usb/usb_descriptors.h"

namespace dravex {

// Last-error values of a transfer request.
inline constexpr DWORD kXferSuccess = 0;
inline constexpr DWORD kXferGenFailure = 31;
inline constexpr DWORD kXferIoPending = 997;

inline constexpr std::uint32_t kDefaultXferTimeoutMs = 10000;
// How long an aborted request, or a driver request that is not a transfer, may take to end.
inline constexpr std::uint32_t kAbortWaitMs = 1000;
inline constexpr std::uint32_t kDriverCallWaitMs = 10000;

// How a transfer ended: finished (well or not), or still running when its time ran out.
enum class XferEnd { kDone, kFailed, kTimedOut };

// A started transfer: its request (the header, with control and OUT data behind it) and the
// number of bytes asked for. It must outlive the request.
struct XferContext {
  std::vector<std::uint8_t> request;
  std::uint32_t length = 0;
};

// Seconds in the header: whole seconds, at least 1 for a limit under a second.
std::uint32_t HeaderTimeoutSeconds(std::uint32_t timeoutMs);

// One driver request that is not a transfer: issued, waited for at most `ms`, its result taken.
// A request the driver never ends is left to it with buffers of its own.
bool DriverCall(fvplat::UsbHandle handle, std::uint32_t code, const void* in,
                std::uint32_t inLength, void* out, std::uint32_t outLength,
                std::uint32_t ms = kDriverCallWaitMs);

class CUsbEndPoint {
 public:
  CUsbEndPoint(fvplat::UsbHandle handle, const UsbEndpointDescriptor& descriptor);
  virtual ~CUsbEndPoint();
  CUsbEndPoint(const CUsbEndPoint&) = delete;
  CUsbEndPoint& operator=(const CUsbEndPoint&) = delete;

  virtual XferContext BeginReadXfer(std::uint8_t* buffer, std::uint32_t length,
                                    fvplat::UsbOverlapped& overlapped);
  virtual XferContext BeginWriteXfer(std::uint8_t* buffer, std::uint32_t length,
                                     fvplat::UsbOverlapped& overlapped);
  virtual XferContext BeginDataXfer(std::uint8_t* buffer, std::uint32_t length,
                                    fvplat::UsbOverlapped& overlapped) = 0;
  // Takes the outcome without waiting. `length` = bytes received, never more than asked for.
  virtual bool FinishDataXfer(std::uint8_t* buffer, std::uint32_t& length,
                              fvplat::UsbOverlapped& overlapped, XferContext& context);

  // True when the request finished at once, or when it was pending and finished within `ms`.
  bool WaitForXfer(fvplat::UsbOverlapped& overlapped, std::uint32_t ms);
  // One synchronous transfer within the endpoint's time-out; a transfer that runs over it is
  // aborted and fails.
  bool XferData(std::uint8_t* buffer, std::uint32_t& length);
  // Begin, wait up to `ms`, on a time-out abort the pipe and wait a bounded time for the
  // request to end, then finish. `length`: asked for in, received out.
  XferEnd Transfer(std::uint8_t* buffer, std::uint32_t& length, std::uint32_t ms);
  // Transfer size for this endpoint, raised to a multiple of the maximum packet size.
  bool SetXferSize(std::uint32_t size);
  bool Abort();

  bool IsIn() const { return (m_address & 0x80) != 0; }

  fvplat::UsbHandle m_handle;
  std::uint8_t m_address;
  std::uint8_t m_attributes;
  std::uint32_t m_maxPacketSize;
  std::uint8_t m_interval;
  std::uint32_t m_timeout = kDefaultXferTimeoutMs;
  std::uint32_t m_ntStatus = 0;
  std::uint32_t m_usbdStatus = 0;
  std::uint32_t m_bytesWritten = 0;
  DWORD m_lastError = kXferSuccess;

 protected:
  // Issues the driver request and keeps its last error; the context comes back as given.
  XferContext Issue(std::uint32_t code, XferContext context, void* out, std::uint32_t outLength,
                    fvplat::UsbOverlapped& overlapped);
  XferContext MakeRequest(std::uint32_t dataLength) const;
  // A request for this endpoint's pipe: header, the data behind it, then a packet table.
  XferContext PipeRequest(const std::uint8_t* data, std::uint32_t dataLength,
                          std::uint32_t tableLength, std::uint32_t asked) const;
  // The outcome and status words of a finished request; length as FinishDataXfer gives it.
  bool TakeResult(std::uint32_t& length, fvplat::UsbOverlapped& overlapped,
                  const XferContext& context);
};

class CControlEndPoint final : public CUsbEndPoint {
 public:
  CControlEndPoint(fvplat::UsbHandle handle, std::uint32_t maxPacketSize);

  XferContext BeginDataXfer(std::uint8_t* buffer, std::uint32_t length,
                            fvplat::UsbOverlapped& overlapped) override;
  bool FinishDataXfer(std::uint8_t* buffer, std::uint32_t& length,
                      fvplat::UsbOverlapped& overlapped, XferContext& context) override;

  // Names the next request: recipient, type (0 standard, 2 vendor), direction (1 IN), code,
  // wValue and wIndex.
  void SetRequest(std::uint8_t target, std::uint8_t reqType, std::uint8_t direction,
                  std::uint8_t reqCode, std::uint16_t value, std::uint16_t index);

  std::uint8_t Target = 0;     // 0 device
  std::uint8_t ReqType = 0;    // 0 standard, 2 vendor
  std::uint8_t Direction = 0;  // 0 OUT, 1 IN
  std::uint8_t ReqCode = 0;
  std::uint16_t Value = 0;
  std::uint16_t Index = 0;
};

class CBulkEndPoint final : public CUsbEndPoint {
 public:
  using CUsbEndPoint::CUsbEndPoint;
  XferContext BeginDataXfer(std::uint8_t* buffer, std::uint32_t length,
                            fvplat::UsbOverlapped& overlapped) override;
};

class CInterruptEndPoint final : public CUsbEndPoint {
 public:
  using CUsbEndPoint::CUsbEndPoint;
  XferContext BeginDataXfer(std::uint8_t* buffer, std::uint32_t length,
                            fvplat::UsbOverlapped& overlapped) override;
};

// Isochronous transfers carry a table of 8 bytes per packet behind the data. The capture
// protocol does not use them.
class CIsocEndPoint final : public CUsbEndPoint {
 public:
  using CUsbEndPoint::CUsbEndPoint;
  XferContext BeginReadXfer(std::uint8_t* buffer, std::uint32_t length,
                            fvplat::UsbOverlapped& overlapped) override;
  XferContext BeginWriteXfer(std::uint8_t* buffer, std::uint32_t length,
                             fvplat::UsbOverlapped& overlapped) override;
  XferContext BeginDataXfer(std::uint8_t* buffer, std::uint32_t length,
                            fvplat::UsbOverlapped& overlapped) override;

 private:
  std::uint32_t PacketCount(std::uint32_t length) const;
};

}  // namespace dravex
