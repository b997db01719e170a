// The driver side of the USB port: handles, driver requests, faults and the request trace.
#include <algorithm>
#include <cstring>
#include <new>

#include "control_requests.h"
#include "fvplatform/usb_requests.h"
#include "sim_state.h"

namespace simdev {
namespace {

using namespace fvplat::usb;
using fvplat::UsbIo;

struct Request {
  std::uint32_t code;
  const std::uint8_t* in;
  std::uint32_t inLength;
  std::uint8_t* out;
  std::uint32_t outLength;
};

bool IsTransfer(std::uint32_t code) {
  return code == kIoctlControlTransfer || code == kIoctlDataOut || code == kIoctlDataIn;
}

void Describe(const Request& r, FvSimTraceEntry& e) {
  e.code = r.code;
  const std::uint8_t* outData = nullptr;
  std::uint32_t outBytes = 0;
  if (IsTransfer(r.code) && r.inLength >= kHeaderSize) {
    const TransferHeader h = ReadHeader(r.in);
    e.requestType = h.setup.requestType;
    e.request = h.setup.request;
    e.value = h.setup.value;
    e.index = h.setup.index;
    e.length = h.setup.length;
    e.endpoint = h.endpoint;
    e.timeoutSeconds = h.timeoutSeconds;
    if (r.code == kIoctlDataIn) {
      e.transferLength = r.outLength;
    } else {
      e.transferLength = r.inLength - static_cast<std::uint32_t>(kHeaderSize);
      if (r.code == kIoctlDataOut || (h.setup.requestType & 0x80) == 0) {
        outData = r.in + kHeaderSize;
        outBytes = e.transferLength;
      }
    }
  } else if (r.code == kIoctlSetTransferSize || r.code == kIoctlAbortPipe) {
    if (r.inLength >= 1) e.endpoint = r.in[0];
    if (r.code == kIoctlSetTransferSize && r.inLength >= 5) e.transferLength = GetU32(r.in + 1);
    outData = r.in;
    outBytes = r.inLength;
  }
  e.dataBytes = static_cast<int>(std::min<std::uint32_t>(outBytes, sizeof e.data));
  if (outData != nullptr) std::memcpy(e.data, outData, static_cast<std::size_t>(e.dataBytes));
}

void PutText(const char* text, const Request& r, std::uint32_t& bytes) {
  bytes = std::min<std::uint32_t>(r.outLength, static_cast<std::uint32_t>(kNameSize));
  std::memset(r.out, 0, bytes);
  if (bytes > 0) std::strncpy(reinterpret_cast<char*>(r.out), text, bytes - 1);
}

class SimBackend final : public fvplat::UsbBackend {
 public:
  int Count(const fvplat::UsbClassId& cls) override {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return cls == kCaptureDriverClass ? static_cast<int>(world.devices.size()) : 0;
  }

  fvplat::UsbHandle Open(const fvplat::UsbClassId& cls, int index) override {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    FvSimTraceEntry e{};
    e.kind = FVSIM_TRACE_OPEN;
    e.device = index;
    SimDevice* device = cls == kCaptureDriverClass ? DeviceAt(world, index) : nullptr;
    e.outcome = device != nullptr ? FVSIM_DONE : FVSIM_FAILED;
    AddTrace(world, e);
    if (device == nullptr) return fvplat::kInvalidUsbHandle;
    const fvplat::UsbHandle handle = world.nextHandle++;
    world.handles.emplace_back(handle, device->id);
    return handle;
  }

  bool Close(fvplat::UsbHandle handle) override {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    FvSimTraceEntry e{};
    e.kind = FVSIM_TRACE_CLOSE;
    e.device = -1;
    auto it = std::find_if(world.handles.begin(), world.handles.end(),
                           [&](const auto& h) { return h.first == handle; });
    bool ok = it != world.handles.end();
    if (ok) {
      SimDevice* device = DeviceById(world, it->second, &e.device);
      FailPending(world, -1, -1, handle);
      world.handles.erase(it);
      if (device != nullptr && device->faults.closeFailure > 0) {
        --device->faults.closeFailure;
        ok = false;
      }
    }
    e.outcome = ok ? FVSIM_DONE : FVSIM_FAILED;
    AddTrace(world, e);
    return ok;
  }

  UsbIo Ioctl(fvplat::UsbHandle handle, std::uint32_t code, const void* in, std::uint32_t inLength,
              void* out, std::uint32_t outLength, fvplat::UsbOverlapped& overlapped,
              std::uint32_t& bytes) override {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    const Request r{code, static_cast<const std::uint8_t*>(in), in != nullptr ? inLength : 0,
                    static_cast<std::uint8_t*>(out), out != nullptr ? outLength : 0};
    FvSimTraceEntry e{};
    e.kind = FVSIM_TRACE_IOCTL;
    e.device = -1;
    Describe(r, e);
    UsbIo result = UsbIo::kFailed;
    auto it = std::find_if(world.handles.begin(), world.handles.end(),
                           [&](const auto& h) { return h.first == handle; });
    SimDevice* device = it != world.handles.end() ? DeviceById(world, it->second, &e.device)
                                                  : nullptr;
    if (device != nullptr) result = Run(world, *device, e.device, handle, r, overlapped, bytes);
    e.outcome = result == UsbIo::kDone ? FVSIM_DONE
                : result == UsbIo::kPending ? FVSIM_PENDING
                                            : FVSIM_FAILED;
    std::vector<std::uint8_t> data;
    if (IsTransfer(code) && r.inLength >= kHeaderSize) {
      e.refused = Refused(r, result);
      if (world.wholeData) data = WholeData(r, result, bytes);
    }
    AddTrace(world, e, std::move(data));
    return result;
  }

 private:
  // A control request the device answered with a stall in its status words.
  static bool Refused(const Request& r, UsbIo result) {
    if (r.code != kIoctlControlTransfer || result != UsbIo::kDone || r.outLength < kHeaderSize) return false;
    return ReadHeader(r.out).ntStatus != 0;
  }

  // What a transfer sent (OUT) or was answered (IN), whole.
  static std::vector<std::uint8_t> WholeData(const Request& r, UsbIo result, std::uint32_t bytes) {
    const TransferHeader h = ReadHeader(r.in);
    const bool in = r.code == kIoctlDataIn ||
                    (r.code == kIoctlControlTransfer && (h.setup.requestType & 0x80) != 0);
    if (!in) {
      const std::uint32_t n = r.inLength - static_cast<std::uint32_t>(kHeaderSize);
      return {r.in + kHeaderSize, r.in + kHeaderSize + n};
    }
    if (result != UsbIo::kDone || r.out == nullptr) return {};
    const std::uint32_t base = r.code == kIoctlDataIn ? 0 : static_cast<std::uint32_t>(kHeaderSize);
    const std::uint32_t end = std::min(bytes, r.outLength);
    return end > base ? std::vector<std::uint8_t>(r.out + base, r.out + end) : std::vector<std::uint8_t>{};
  }

  static UsbIo Keep(World& world, SimDevice& d, fvplat::UsbHandle handle, std::uint8_t endpoint,
                    fvplat::UsbOverlapped& overlapped) {
    world.pending.push_back({handle, d.id, endpoint, &overlapped});
    return UsbIo::kPending;
  }

  static UsbIo Run(World& world, SimDevice& d, int index, fvplat::UsbHandle handle,
                   const Request& r, fvplat::UsbOverlapped& overlapped, std::uint32_t& bytes) {
    bytes = 0;
    if (IsTransfer(r.code)) {
      if (r.inLength < kHeaderSize) return UsbIo::kFailed;
      const TransferHeader h = ReadHeader(r.in);
      if (d.faults.fail > 0) {
        --d.faults.fail;
        return UsbIo::kFailed;
      }
      int requestFault = 0;
      if (r.code == kIoctlControlTransfer && d.faults.failedRequestCount > 0 &&
          h.setup.request == d.faults.failedRequest) {
        --d.faults.failedRequestCount;
        requestFault = d.faults.failedRequestFault;
      }
      if (requestFault == FVSIM_FAULT_FAIL) return UsbIo::kFailed;
      if (requestFault == FVSIM_FAULT_STALL || (requestFault == 0 && d.faults.stall > 0)) {
        if (requestFault == 0) --d.faults.stall;
        return Keep(world, d, handle, h.endpoint, overlapped);
      }
      const UsbIo result = r.code == kIoctlControlTransfer ? Control(world, d, index, h, r, bytes)
                           : r.code == kIoctlDataIn ? DataIn(world, d, h, r, bytes)
                                                    : DataOut(r, bytes);
      if (result == UsbIo::kPending) return Keep(world, d, handle, h.endpoint, overlapped);
      if (result == UsbIo::kDone) Misreport(d, r, requestFault == FVSIM_FAULT_SHORT, bytes);
      return result;
    }
    return DriverRequest(world, d, index, r, bytes);
  }

  // Short and long answers: the injected length faults.
  static void Misreport(SimDevice& d, const Request& r, bool shortRequest, std::uint32_t& bytes) {
    const std::uint32_t base = r.code == kIoctlDataIn ? 0 : static_cast<std::uint32_t>(kHeaderSize);
    if (shortRequest || d.faults.shortAnswer > 0) {
      if (!shortRequest) --d.faults.shortAnswer;
      bytes = base + (bytes - base) / 2;
    } else if (d.faults.longAnswer > 0) {
      --d.faults.longAnswer;
      bytes = (r.code == kIoctlDataIn ? r.outLength : r.inLength) + 16;
    }
  }

  static UsbIo Control(World& world, SimDevice& d, int index, const TransferHeader& h,
                       const Request& r, std::uint32_t& bytes) {
    const std::uint32_t need = static_cast<std::uint32_t>(kHeaderSize) + h.setup.length;
    if (r.out == nullptr || r.inLength < need || r.outLength < need) return UsbIo::kFailed;
    if (r.out != r.in) std::memcpy(r.out, r.in, need);
    std::uint32_t answered = 0;
    const bool ok = HandleControl(world, d, index, h.setup, r.out + kHeaderSize, &answered);
    TransferHeader done = h;
    done.ntStatus = ok ? 0 : kNtStatusUnsuccessful;
    done.usbdStatus = ok ? 0 : kUsbdStatusStall;
    WriteHeader(done, r.out);
    bytes = static_cast<std::uint32_t>(kHeaderSize) + ((h.setup.requestType & 0x80) ? answered : h.setup.length);
    if (!ok) bytes = static_cast<std::uint32_t>(kHeaderSize);
    return UsbIo::kDone;
  }

  static UsbIo DataIn(World& world, SimDevice& d, const TransferHeader& h, const Request& r,
                      std::uint32_t& bytes) {
    if (r.out == nullptr) return UsbIo::kFailed;
    if (r.outLength > d.transferSize[h.endpoint]) return UsbIo::kFailed;
    // Other endpoints and a controller without firmware never send anything.
    if (h.endpoint != kFrameEndpoint || d.cold) return UsbIo::kPending;
    std::vector<std::uint8_t> frame;
    if (SixteenBit(d.config.type)) {
      frame = RenderFrame(world, d);
    } else {
      if (d.armedFrame.empty()) return UsbIo::kPending;  // no frame asked for
      frame.swap(d.armedFrame);
    }
    bytes = std::min<std::uint32_t>(r.outLength, static_cast<std::uint32_t>(frame.size()));
    std::memcpy(r.out, frame.data(), bytes);
    return UsbIo::kDone;
  }

  static UsbIo DataOut(const Request& r, std::uint32_t& bytes) {
    bytes = r.inLength;
    return UsbIo::kDone;
  }

  static UsbIo DriverRequest(World& world, SimDevice& d, int index, const Request& r,
                             std::uint32_t& bytes) {
    switch (r.code) {
      case kIoctlSetTransferSize:
        if (r.inLength < 5) return UsbIo::kFailed;
        d.transferSize[r.in[0]] = GetU32(r.in + 1);
        return UsbIo::kDone;
      case kIoctlAbortPipe:
        if (r.inLength < 1) return UsbIo::kFailed;
        FailPending(world, d.id, r.in[0], fvplat::kInvalidUsbHandle);
        return UsbIo::kDone;
      case kIoctlReconnect:
        FailPending(world, d.id, -1, fvplat::kInvalidUsbHandle);
        // The device enumerates anew: its open handles reach nothing any more, though they
        // can still be closed.
        for (auto& h : world.handles) {
          if (h.second == d.id) h.second = 0;
        }
        d.armedFrame.clear();
        ++d.reconnects;
        if (d.firmwareLoaded) d.cold = false;
        return UsbIo::kDone;
      case kIoctlSpeed:
        if (r.outLength < 4) return UsbIo::kFailed;
        PutU32(r.out, 2);
        bytes = 4;
        return UsbIo::kDone;
      case kIoctlAltSetting:
      case kIoctlAddress:
        if (r.outLength < 1) return UsbIo::kFailed;
        r.out[0] = r.code == kIoctlAddress ? static_cast<std::uint8_t>(index + 1) : 0;
        bytes = 1;
        return UsbIo::kDone;
      case kIoctlFriendlyName:
        PutText("Simulated vein capture device", r, bytes);
        return UsbIo::kDone;
      case kIoctlDriverKey:
        PutText("{sim-driver}\\0000", r, bytes);
        return UsbIo::kDone;
      case kIoctlDriverVersion:
      case kIoctlUsbdVersion:
        if (r.outLength < 4) return UsbIo::kFailed;
        PutU32(r.out, r.code == kIoctlDriverVersion ? 0x00010000 : 0x0500);
        bytes = 4;
        return UsbIo::kDone;
      default:
        return UsbIo::kFailed;
    }
  }
};

}  // namespace
}  // namespace simdev

extern "C" __attribute__((visibility("default"))) fvplat::UsbBackend* FvUsbBackendEntry() {
  // Never destroyed: device workers may still send requests while the process exits.
  alignas(simdev::SimBackend) static unsigned char storage[sizeof(simdev::SimBackend)];
  static simdev::SimBackend* backend = new (storage) simdev::SimBackend;
  return backend;
}
