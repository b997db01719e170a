#include "usb/usb_endpoint.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>

#include "fvplatform/usb_requests.h"

namespace dravex {

namespace usb = fvplat::usb;

std::uint32_t HeaderTimeoutSeconds(std::uint32_t timeoutMs) {
  return timeoutMs > 0 && timeoutMs < 1000 ? 1 : timeoutMs / 1000;
}

CUsbEndPoint::CUsbEndPoint(fvplat::UsbHandle handle, const UsbEndpointDescriptor& d)
    : m_handle(handle),
      m_address(d.address),
      m_attributes(d.attributes),
      m_maxPacketSize(MaxPacketSize(d.maxPacketField)),
      m_interval(d.interval) {}

CUsbEndPoint::~CUsbEndPoint() = default;

XferContext CUsbEndPoint::MakeRequest(std::uint32_t dataLength) const {
  XferContext context;
  context.request.assign(usb::kHeaderSize + dataLength, 0);
  context.length = dataLength;
  return context;
}

XferContext CUsbEndPoint::Issue(std::uint32_t code, XferContext context, void* out,
                                std::uint32_t outLength, fvplat::UsbOverlapped& overlapped) {
  const auto size = static_cast<std::uint32_t>(context.request.size());
  const fvplat::UsbIo io = fvplat::UsbIoctl(m_handle, code, context.request.data(), size, out,
                                            outLength, overlapped, nullptr);
  m_lastError = io == fvplat::UsbIo::kDone      ? kXferSuccess
                : io == fvplat::UsbIo::kPending ? kXferIoPending
                                                : kXferGenFailure;
  return context;
}

XferContext CUsbEndPoint::PipeRequest(const std::uint8_t* data, std::uint32_t dataLength,
                                      std::uint32_t tableLength, std::uint32_t asked) const {
  XferContext context = MakeRequest(dataLength + tableLength);
  context.length = asked;
  usb::TransferHeader h;
  h.timeoutSeconds = HeaderTimeoutSeconds(m_timeout);
  h.endpoint = m_address;
  if (dataLength > 0) {
    h.dataOffset = usb::kHeaderSize;
    h.dataLength = dataLength;
  }
  if (tableLength > 0) {
    h.isoPacketOffset = static_cast<std::uint32_t>(usb::kHeaderSize) + dataLength;
    h.isoPacketLength = tableLength;
  }
  usb::WriteHeader(h, context.request.data());
  if (dataLength > 0 && data != nullptr) {
    std::memcpy(context.request.data() + usb::kHeaderSize, data, dataLength);
  }
  return context;
}

XferContext CUsbEndPoint::BeginReadXfer(std::uint8_t* buffer, std::uint32_t length,
                                        fvplat::UsbOverlapped& overlapped) {
  // The data lands in the caller's buffer: the header names neither offset nor length.
  return Issue(usb::kIoctlDataIn, PipeRequest(nullptr, 0, 0, length), buffer, length, overlapped);
}

XferContext CUsbEndPoint::BeginWriteXfer(std::uint8_t* buffer, std::uint32_t length,
                                         fvplat::UsbOverlapped& overlapped) {
  return Issue(usb::kIoctlDataOut, PipeRequest(buffer, length, 0, length), nullptr, 0, overlapped);
}

bool CUsbEndPoint::TakeResult(std::uint32_t& length, fvplat::UsbOverlapped& overlapped,
                              const XferContext& context) {
  std::uint32_t bytes = 0;
  const bool ok = overlapped.Result(&bytes);
  std::uint32_t offset = 0;
  if (context.request.size() >= usb::kHeaderSize) {
    const usb::TransferHeader h = usb::ReadHeader(context.request.data());
    m_ntStatus = h.ntStatus;
    m_usbdStatus = h.usbdStatus;
    offset = h.dataOffset;
  }
  // A driver that claims more than was asked for is not believed.
  length = std::min(bytes > offset ? bytes - offset : 0, context.length);
  m_bytesWritten = length;
  return ok && m_ntStatus == 0 && m_usbdStatus == 0;
}

bool CUsbEndPoint::FinishDataXfer(std::uint8_t*, std::uint32_t& length,
                                  fvplat::UsbOverlapped& overlapped, XferContext& context) {
  const bool ok = TakeResult(length, overlapped, context);
  context = {};
  return ok;
}

bool CUsbEndPoint::WaitForXfer(fvplat::UsbOverlapped& overlapped, std::uint32_t ms) {
  if (m_lastError == kXferSuccess) return true;
  if (m_lastError != kXferIoPending) return false;
  return overlapped.event().Wait(ms);
}

namespace {

// A request with everything the driver may still write into: its completion record, the
// transfer request and a buffer for data the driver delivers.
struct InFlight {
  fvplat::UsbOverlapped overlapped;
  XferContext context;
  std::vector<std::uint8_t> staging;
};

// A request the driver did not end even after an abort stays here for the process, so its
// buffers outlive whatever the driver still does with them.
void abandon(std::unique_ptr<InFlight> request) {
  static std::mutex* lock = new std::mutex;
  static auto* abandoned = new std::vector<std::unique_ptr<InFlight>>;
  std::lock_guard<std::mutex> guard(*lock);
  abandoned->push_back(std::move(request));
}

}  // namespace

bool DriverCall(fvplat::UsbHandle handle, std::uint32_t code, const void* in,
                std::uint32_t inLength, void* out, std::uint32_t outLength, std::uint32_t ms) {
  auto request = std::make_unique<InFlight>();
  request->staging.assign(static_cast<const std::uint8_t*>(in),
                          static_cast<const std::uint8_t*>(in) + (in != nullptr ? inLength : 0));
  const std::size_t inBytes = request->staging.size();
  request->staging.resize(inBytes + (out != nullptr ? outLength : 0), 0);
  std::uint8_t* outBuffer = out != nullptr ? request->staging.data() + inBytes : nullptr;
  const fvplat::UsbIo io =
      fvplat::UsbIoctl(handle, code, in != nullptr ? request->staging.data() : nullptr,
                       static_cast<std::uint32_t>(inBytes), outBuffer, out != nullptr ? outLength : 0,
                       request->overlapped, nullptr);
  if (io == fvplat::UsbIo::kFailed) return false;
  if (io == fvplat::UsbIo::kPending && !request->overlapped.event().Wait(ms)) {
    abandon(std::move(request));
    return false;
  }
  std::uint32_t bytes = 0;
  const bool ok = request->overlapped.Result(&bytes);
  if (ok && out != nullptr) std::memcpy(out, outBuffer, outLength);
  return ok;
}

bool CUsbEndPoint::XferData(std::uint8_t* buffer, std::uint32_t& length) {
  return Transfer(buffer, length, m_timeout) == XferEnd::kDone;
}

XferEnd CUsbEndPoint::Transfer(std::uint8_t* buffer, std::uint32_t& length, std::uint32_t ms) {
  auto request = std::make_unique<InFlight>();
  // Pipe IN data lands in a buffer of the request's own, so a request the driver never ends
  // cannot write into the caller's; control data already travels inside the request.
  const bool staged = m_address != 0 && IsIn() && buffer != nullptr;
  if (staged) request->staging.assign(length, 0);
  std::uint8_t* target = staged ? request->staging.data() : buffer;
  request->context = BeginDataXfer(target, length, request->overlapped);
  const bool pending = m_lastError == kXferIoPending;
  const bool waited = WaitForXfer(request->overlapped, ms);
  if (!waited && pending) {
    // Aborting completes the request; it must end before its buffers go away.
    Abort();
    if (!request->overlapped.event().Wait(kAbortWaitMs)) {
      abandon(std::move(request));
      length = 0;
      return XferEnd::kTimedOut;
    }
  }
  std::uint32_t received = 0;
  const bool finished = FinishDataXfer(target, received, request->overlapped, request->context);
  if (staged && received > 0) std::memcpy(buffer, request->staging.data(), received);
  length = received;
  if (!waited) return pending ? XferEnd::kTimedOut : XferEnd::kFailed;
  return finished ? XferEnd::kDone : XferEnd::kFailed;
}

bool CUsbEndPoint::SetXferSize(std::uint32_t size) {
  std::uint64_t rounded = size;
  if (m_maxPacketSize > 0) {
    rounded = (rounded + m_maxPacketSize - 1) / m_maxPacketSize * m_maxPacketSize;
  }
  if (rounded > std::numeric_limits<std::uint32_t>::max()) return false;
  std::uint8_t request[5] = {m_address};
  usb::PutU32(request + 1, static_cast<std::uint32_t>(rounded));
  return DriverCall(m_handle, usb::kIoctlSetTransferSize, request, sizeof request, nullptr, 0);
}

bool CUsbEndPoint::Abort() {
  const std::uint8_t request[1] = {m_address};
  return DriverCall(m_handle, usb::kIoctlAbortPipe, request, sizeof request, nullptr, 0);
}

CControlEndPoint::CControlEndPoint(fvplat::UsbHandle handle, std::uint32_t maxPacketSize)
    : CUsbEndPoint(handle, UsbEndpointDescriptor{0, 0, 0, 0}) {
  m_maxPacketSize = maxPacketSize;
}

void CControlEndPoint::SetRequest(std::uint8_t target, std::uint8_t reqType,
                                  std::uint8_t direction, std::uint8_t reqCode,
                                  std::uint16_t value, std::uint16_t index) {
  Target = target;
  ReqType = reqType;
  Direction = direction;
  ReqCode = reqCode;
  Value = value;
  Index = index;
}

XferContext CControlEndPoint::BeginDataXfer(std::uint8_t* buffer, std::uint32_t length,
                                            fvplat::UsbOverlapped& overlapped) {
  if (length > 0xFFFF || (length > 0 && buffer == nullptr)) {
    m_lastError = kXferGenFailure;
    return {};
  }
  XferContext context = MakeRequest(length);
  usb::TransferHeader h;
  h.setup.requestType = static_cast<std::uint8_t>((Direction << 7) | ((ReqType & 3) << 5) | (Target & 0x1F));
  h.setup.request = ReqCode;
  h.setup.value = Value;
  h.setup.index = Index;
  h.setup.length = static_cast<std::uint16_t>(length);
  h.timeoutSeconds = HeaderTimeoutSeconds(m_timeout);
  h.dataOffset = usb::kHeaderSize;
  h.dataLength = length;
  usb::WriteHeader(h, context.request.data());
  if (Direction == 0 && length > 0) std::memcpy(context.request.data() + usb::kHeaderSize, buffer, length);
  // The driver answers into the same buffer; moving the context keeps it in place.
  const auto size = static_cast<std::uint32_t>(context.request.size());
  std::uint8_t* inPlace = context.request.data();
  return Issue(usb::kIoctlControlTransfer, std::move(context), inPlace, size, overlapped);
}

bool CControlEndPoint::FinishDataXfer(std::uint8_t* buffer, std::uint32_t& length,
                                      fvplat::UsbOverlapped& overlapped, XferContext& context) {
  const bool ok = TakeResult(length, overlapped, context);
  // IN data sits behind the header; at most the requested length reaches the caller.
  if (Direction == 1 && length > 0 && buffer != nullptr) {
    std::memcpy(buffer, context.request.data() + usb::kHeaderSize, length);
  }
  context = {};
  return ok;
}

XferContext CBulkEndPoint::BeginDataXfer(std::uint8_t* buffer, std::uint32_t length,
                                         fvplat::UsbOverlapped& overlapped) {
  return IsIn() ? BeginReadXfer(buffer, length, overlapped) : BeginWriteXfer(buffer, length, overlapped);
}

XferContext CInterruptEndPoint::BeginDataXfer(std::uint8_t* buffer, std::uint32_t length,
                                              fvplat::UsbOverlapped& overlapped) {
  return IsIn() ? BeginReadXfer(buffer, length, overlapped) : BeginWriteXfer(buffer, length, overlapped);
}

std::uint32_t CIsocEndPoint::PacketCount(std::uint32_t length) const {
  return m_maxPacketSize > 0 ? (length + m_maxPacketSize - 1) / m_maxPacketSize : 0;
}

XferContext CIsocEndPoint::BeginReadXfer(std::uint8_t* buffer, std::uint32_t length,
                                         fvplat::UsbOverlapped& overlapped) {
  XferContext context = PipeRequest(nullptr, 0, PacketCount(length) * 8, length);
  return Issue(usb::kIoctlDataIn, std::move(context), buffer, length, overlapped);
}

XferContext CIsocEndPoint::BeginWriteXfer(std::uint8_t* buffer, std::uint32_t length,
                                          fvplat::UsbOverlapped& overlapped) {
  XferContext context = PipeRequest(buffer, length, PacketCount(length) * 8, length);
  return Issue(usb::kIoctlDataOut, std::move(context), nullptr, 0, overlapped);
}

XferContext CIsocEndPoint::BeginDataXfer(std::uint8_t* buffer, std::uint32_t length,
                                         fvplat::UsbOverlapped& overlapped) {
  return IsIn() ? BeginReadXfer(buffer, length, overlapped) : BeginWriteXfer(buffer, length, overlapped);
}

}  // namespace dravex
