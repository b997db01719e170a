// The simulated device's request trace as the usbdevfs traffic a real device gives: control
// transfers and bulk reads become URBs with the device's answers; requests the driver keeps to
// itself (transfer sizes, pipe aborts, driver facts) have no traffic.
#include "trace_recording.h"

#include <cerrno>

#include "fvplatform/usb_requests.h"
#include "sim_device/sim_device.h"

namespace fvreplay {
namespace {

namespace usb = fvplat::usb;

std::vector<std::uint8_t> WholeData(int i) {
  const int n = fvsim_trace_data(i, nullptr, 0);
  std::vector<std::uint8_t> data(static_cast<std::size_t>(n > 0 ? n : 0));
  if (n > 0) fvsim_trace_data(i, data.data(), n);
  return data;
}

std::vector<std::uint8_t> Setup(const FvSimTraceEntry& e) {
  return {e.requestType, e.request,
          static_cast<std::uint8_t>(e.value), static_cast<std::uint8_t>(e.value >> 8),
          static_cast<std::uint8_t>(e.index), static_cast<std::uint8_t>(e.index >> 8),
          static_cast<std::uint8_t>(e.length), static_cast<std::uint8_t>(e.length >> 8)};
}

}  // namespace

Recording RecordingFromTrace(std::uint16_t vendor, std::uint16_t product) {
  Recording r;
  r.vendor = vendor;
  r.product = product;
  std::vector<std::uint8_t> deviceDescriptor, configDescriptor;
  const int n = fvsim_trace_count();
  for (int i = 0; i < n; ++i) {
    FvSimTraceEntry e{};
    fvsim_trace_get(i, &e);
    if (e.kind != FVSIM_TRACE_IOCTL) continue;
    const bool control = e.code == usb::kIoctlControlTransfer;
    if (!control && e.code != usb::kIoctlDataIn) continue;
    if (e.outcome == FVSIM_FAILED && e.device < 0) {
      Urb gone;
      gone.kind = Urb::kGone;
      r.urbs.push_back(gone);
      break;  // nothing reaches an unplugged device
    }
    Urb u;
    u.endpoint = control ? 0 : e.endpoint;
    u.type = control ? kUrbControl : kUrbBulk;
    const bool in = control ? (e.requestType & 0x80) != 0 : true;
    const std::vector<std::uint8_t> data = WholeData(i);
    u.length = control ? 8 + e.length : static_cast<int>(e.transferLength);
    if (control) {
      u.sent = Setup(e);
      if (!in) u.sent.insert(u.sent.end(), data.begin(), data.end());
    }
    if (e.outcome == FVSIM_PENDING) {
      u.kind = Urb::kPending;
    } else if (e.outcome == FVSIM_FAILED || e.refused) {
      u.status = -EPIPE;  // the device stalls a request it refuses
    } else {
      u.actual = in ? static_cast<int>(data.size()) : e.length;
      if (in) u.answer = data;
    }
    if (control && e.request == 6 && u.status == 0 && u.kind == Urb::kAnswered) {
      if (e.value == 0x0100 && data.size() >= deviceDescriptor.size()) deviceDescriptor = data;
      if (e.value == 0x0200 && data.size() >= configDescriptor.size()) configDescriptor = data;
    }
    r.urbs.push_back(std::move(u));
  }
  r.descriptors = deviceDescriptor;
  r.descriptors.insert(r.descriptors.end(), configDescriptor.begin(), configDescriptor.end());
  return r;
}

}  // namespace fvreplay
