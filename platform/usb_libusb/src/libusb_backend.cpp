// The USB driver port on libusb: the capture device found by its vendor and product ids, its
// driver requests turned into libusb transfers that an event thread completes.
#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "device_ids.h"
#include "fvplatform/usb_driver.h"
#include "fvplatform/usb_requests.h"

namespace fvusb {
namespace {

using namespace fvplat::usb;
using fvplat::UsbIo;
using Clock = std::chrono::steady_clock;

// How long an aborted or closed transfer may take to come back from libusb, and how long a
// device that re-enumerates after a reset may take to appear again.
constexpr auto kCancelWait = std::chrono::milliseconds(2000);
constexpr auto kReappearWait = std::chrono::milliseconds(5000);
constexpr auto kReappearPoll = std::chrono::milliseconds(50);
constexpr int kEventPollMs = 100;
constexpr std::size_t kSetupSize = 8;

struct Transfer {
  libusb_transfer* usb = nullptr;
  fvplat::UsbHandle handle = fvplat::kInvalidUsbHandle;
  std::uint8_t endpoint = 0;
  bool control = false;
  // Where the answer goes; cleared when the request was given up, so a late completion
  // writes nowhere.
  fvplat::UsbOverlapped* overlapped = nullptr;
  std::uint8_t* out = nullptr;
  std::uint32_t outLength = 0;
  std::vector<std::uint8_t> header;  // control transfers: the request header to answer in
  std::vector<std::uint8_t> buffer;  // the transfer's own buffer, owned here
};

struct OpenDevice {
  libusb_device_handle* usb = nullptr;
  bool claimed = false;
  bool stale = false;  // reset: the device enumerates anew and this handle reaches nothing
  std::map<std::uint8_t, std::uint8_t> endpointTypes;  // address -> LIBUSB_TRANSFER_TYPE_*
  std::vector<Transfer*> pending;
};

class LibusbBackend final : public fvplat::UsbBackend {
 public:
  int Count(const fvplat::UsbClassId& cls) override {
    if (!(cls == kCaptureDriverClass) || !Started()) return 0;
    return static_cast<int>(std::min<std::size_t>(MatchingDevices().size(), 255));
  }

  fvplat::UsbHandle Open(const fvplat::UsbClassId& cls, int index) override {
    if (!(cls == kCaptureDriverClass) || index < 0 || !Started()) return fvplat::kInvalidUsbHandle;
    const std::vector<libusb_device*> devices = MatchingDevices();
    if (index >= static_cast<int>(devices.size())) return fvplat::kInvalidUsbHandle;
    libusb_device* device = devices[static_cast<std::size_t>(index)];
    OpenDevice open;
    if (libusb_open(device, &open.usb) != 0) return fvplat::kInvalidUsbHandle;
    libusb_set_auto_detach_kernel_driver(open.usb, 1);
    open.claimed = libusb_claim_interface(open.usb, 0) == 0;
    if (!open.claimed) {
      libusb_close(open.usb);
      return fvplat::kInvalidUsbHandle;
    }
    ReadEndpointTypes(device, open);
    std::lock_guard<std::mutex> lock(mutex_);
    const fvplat::UsbHandle handle = nextHandle_++;
    handles_.emplace(handle, std::move(open));
    return handle;
  }

  bool Close(fvplat::UsbHandle handle) override {
    std::unique_lock<std::mutex> lock(mutex_);
    auto it = handles_.find(handle);
    if (it == handles_.end()) return false;
    CancelAndWait(lock, handle, -1);
    it = handles_.find(handle);
    OpenDevice device = std::move(it->second);
    handles_.erase(it);
    // Transfers given up on still name the handle: they must not find it again.
    for (Transfer* t : device.pending) t->handle = fvplat::kInvalidUsbHandle;
    lock.unlock();  // libusb may wait for its event thread, which may wait for this lock
    Release(device, device.pending.empty());
    return true;
  }

  UsbIo Ioctl(fvplat::UsbHandle handle, std::uint32_t code, const void* in, std::uint32_t inLength,
              void* out, std::uint32_t outLength, fvplat::UsbOverlapped& overlapped,
              std::uint32_t& bytes) override {
    bytes = 0;
    const auto* input = static_cast<const std::uint8_t*>(in);
    auto* output = static_cast<std::uint8_t*>(out);
    if (input == nullptr) inLength = 0;
    if (output == nullptr) outLength = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    auto it = handles_.find(handle);
    if (it == handles_.end() || it->second.stale) return UsbIo::kFailed;
    OpenDevice& device = it->second;
    switch (code) {
      case kIoctlControlTransfer:
        return SubmitControl(handle, device, input, inLength, output, outLength, overlapped);
      case kIoctlDataIn:
      case kIoctlDataOut:
        return SubmitPipe(handle, device, code == kIoctlDataIn, input, inLength, output, outLength,
                          overlapped);
      case kIoctlSetTransferSize:
        // libusb sizes its transfers itself; the request needs only to be well formed.
        return inLength >= 5 ? UsbIo::kDone : UsbIo::kFailed;
      case kIoctlAbortPipe:
        if (inLength < 1) return UsbIo::kFailed;
        CancelAndWait(lock, handle, input[0]);
        return UsbIo::kDone;
      case kIoctlReconnect:
        return Reconnect(lock, handle) ? UsbIo::kDone : UsbIo::kFailed;
      default:
        return DriverFact(device, code, output, outLength, bytes) ? UsbIo::kDone : UsbIo::kFailed;
    }
  }

 private:
  // libusb and its event thread start with the first request and stay for the process.
  bool Started() {
    std::call_once(started_, [this] {
      if (libusb_init(&context_) != 0) {
        context_ = nullptr;
        return;
      }
      const char* ids = std::getenv(kDeviceIdsEnv);
      ids_ = ParseDeviceIds(ids != nullptr ? ids : "");
      std::thread([this] {
        timeval tv{0, kEventPollMs * 1000};
        for (;;) libusb_handle_events_timeout_completed(context_, &tv, nullptr);
      }).detach();
    });
    return context_ != nullptr;
  }

  // The present devices with one of the ids, in bus and address order. The list keeps a
  // reference to each device for the process: an open may follow the count.
  std::vector<libusb_device*> MatchingDevices() {
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(context_, &list);
    std::vector<libusb_device*> found;
    for (ssize_t i = 0; i < n; ++i) {
      libusb_device_descriptor d{};
      if (libusb_get_device_descriptor(list[i], &d) != 0) continue;
      const DeviceId id{d.idVendor, d.idProduct};
      if (std::find(ids_.begin(), ids_.end(), id) != ids_.end()) found.push_back(list[i]);
    }
    std::sort(found.begin(), found.end(), [](libusb_device* a, libusb_device* b) {
      const int busA = libusb_get_bus_number(a), busB = libusb_get_bus_number(b);
      return busA != busB ? busA < busB : libusb_get_device_address(a) < libusb_get_device_address(b);
    });
    for (libusb_device* device : found) libusb_ref_device(device);
    if (list != nullptr) libusb_free_device_list(list, 1);
    std::lock_guard<std::mutex> lock(mutex_);
    for (libusb_device* device : lastList_) libusb_unref_device(device);
    lastList_ = found;
    return found;
  }

  static void ReadEndpointTypes(libusb_device* device, OpenDevice& open) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0 || config == nullptr) return;
    for (int i = 0; i < config->bNumInterfaces; ++i) {
      for (int a = 0; a < config->interface[i].num_altsetting; ++a) {
        const libusb_interface_descriptor& alt = config->interface[i].altsetting[a];
        for (int e = 0; e < alt.bNumEndpoints; ++e) {
          open.endpointTypes[alt.endpoint[e].bEndpointAddress] = alt.endpoint[e].bmAttributes & 3;
        }
      }
    }
    libusb_free_config_descriptor(config);
  }

  static unsigned TimeoutMs(const TransferHeader& h) { return h.timeoutSeconds * 1000u; }

  UsbIo SubmitControl(fvplat::UsbHandle handle, OpenDevice& device, const std::uint8_t* in,
                      std::uint32_t inLength, std::uint8_t* out, std::uint32_t outLength,
                      fvplat::UsbOverlapped& overlapped) {
    if (inLength < kHeaderSize || out == nullptr) return UsbIo::kFailed;
    const TransferHeader h = ReadHeader(in);
    const std::uint32_t need = static_cast<std::uint32_t>(kHeaderSize) + h.setup.length;
    if (inLength < need || outLength < need) return UsbIo::kFailed;
    auto* t = new (std::nothrow) Transfer;
    if (t == nullptr) return UsbIo::kFailed;
    t->control = true;
    t->header.assign(in, in + kHeaderSize);
    t->buffer.assign(kSetupSize + h.setup.length, 0);
    libusb_fill_control_setup(t->buffer.data(), h.setup.requestType, h.setup.request, h.setup.value,
                              h.setup.index, h.setup.length);
    if ((h.setup.requestType & 0x80) == 0) {
      std::memcpy(t->buffer.data() + kSetupSize, in + kHeaderSize, h.setup.length);
    }
    return Submit(handle, device, t, 0, LIBUSB_TRANSFER_TYPE_CONTROL, TimeoutMs(h), out, outLength,
                  overlapped);
  }

  UsbIo SubmitPipe(fvplat::UsbHandle handle, OpenDevice& device, bool read, const std::uint8_t* in,
                   std::uint32_t inLength, std::uint8_t* out, std::uint32_t outLength,
                   fvplat::UsbOverlapped& overlapped) {
    if (inLength < kHeaderSize) return UsbIo::kFailed;
    const TransferHeader h = ReadHeader(in);
    const bool inEndpoint = (h.endpoint & 0x80) != 0;
    if (read != inEndpoint || (read && out == nullptr)) return UsbIo::kFailed;
    const auto type = device.endpointTypes.find(h.endpoint);
    if (type == device.endpointTypes.end() || (type->second != LIBUSB_TRANSFER_TYPE_BULK &&
                                               type->second != LIBUSB_TRANSFER_TYPE_INTERRUPT)) {
      return UsbIo::kFailed;  // the port sends isochronous and control data elsewhere
    }
    std::uint32_t length = outLength;
    if (!read) {
      if (h.dataOffset < kHeaderSize || h.dataOffset > inLength ||
          h.dataLength > inLength - h.dataOffset) {
        return UsbIo::kFailed;
      }
      length = h.dataLength;
    }
    auto* t = new (std::nothrow) Transfer;
    if (t == nullptr) return UsbIo::kFailed;
    t->buffer.assign(length, 0);
    if (!read) std::memcpy(t->buffer.data(), in + h.dataOffset, length);
    return Submit(handle, device, t, h.endpoint, static_cast<std::uint8_t>(type->second),
                  TimeoutMs(h), read ? out : nullptr, read ? outLength : 0, overlapped);
  }

  UsbIo Submit(fvplat::UsbHandle handle, OpenDevice& device, Transfer* t, std::uint8_t endpoint,
               std::uint8_t type, unsigned timeoutMs, std::uint8_t* out, std::uint32_t outLength,
               fvplat::UsbOverlapped& overlapped) {
    t->usb = libusb_alloc_transfer(0);
    if (t->usb == nullptr) {
      delete t;
      return UsbIo::kFailed;
    }
    t->handle = handle;
    t->endpoint = endpoint;
    t->overlapped = &overlapped;
    t->out = out;
    t->outLength = outLength;
    libusb_transfer* u = t->usb;
    u->dev_handle = device.usb;
    u->endpoint = endpoint;
    u->type = type;
    u->timeout = timeoutMs;
    u->buffer = t->buffer.data();
    u->length = static_cast<int>(t->buffer.size());
    u->user_data = this;
    u->callback = &LibusbBackend::Completed;
    u->flags = 0;
    transfers_[u] = t;
    if (libusb_submit_transfer(u) != 0) {
      transfers_.erase(u);
      libusb_free_transfer(u);
      delete t;
      return UsbIo::kFailed;
    }
    device.pending.push_back(t);
    return UsbIo::kPending;
  }

  static void LIBUSB_CALL Completed(libusb_transfer* u) {
    static_cast<LibusbBackend*>(u->user_data)->Finish(u);
  }

  void Finish(libusb_transfer* u) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = transfers_.find(u);
    if (found == transfers_.end()) return;
    Transfer* t = found->second;
    transfers_.erase(found);
    auto device = handles_.find(t->handle);
    if (device != handles_.end()) std::erase(device->second.pending, t);
    if (t->overlapped != nullptr) Answer(*t, *u);
    libusb_free_transfer(u);
    delete t;
    finished_.notify_all();
  }

  // Writes the outcome where the port's caller looks for it and completes its request.
  static void Answer(Transfer& t, const libusb_transfer& u) {
    const bool completed = u.status == LIBUSB_TRANSFER_COMPLETED;
    if (!t.control) {
      const std::uint32_t got = completed ? std::min<std::uint32_t>(static_cast<std::uint32_t>(u.actual_length), t.outLength) : 0;
      if (got > 0 && t.out != nullptr) std::memcpy(t.out, t.buffer.data(), got);
      t.overlapped->Complete(t.out != nullptr ? got : static_cast<std::uint32_t>(u.actual_length), completed);
      return;
    }
    if (!completed && u.status != LIBUSB_TRANSFER_STALL) {
      t.overlapped->Complete(0, false);
      return;
    }
    TransferHeader h = ReadHeader(t.header.data());
    h.ntStatus = completed ? 0 : kNtStatusUnsuccessful;
    h.usbdStatus = completed ? 0 : kUsbdStatusStall;
    WriteHeader(h, t.out);
    std::uint32_t data = 0;
    if (completed) {
      data = std::min<std::uint32_t>(static_cast<std::uint32_t>(u.actual_length), h.setup.length);
      if ((h.setup.requestType & 0x80) != 0) {
        std::memcpy(t.out + kHeaderSize, t.buffer.data() + kSetupSize, data);
      }
    }
    // A stall is answered with its status words, as the driver answers a refused request.
    t.overlapped->Complete(static_cast<std::uint32_t>(kHeaderSize) + data, true);
  }

  // Cancels the handle's pending transfers (of one endpoint, or all for -1) and waits for
  // them; any that libusb does not give back in time are failed here and forgotten.
  void CancelAndWait(std::unique_lock<std::mutex>& lock, fvplat::UsbHandle handle, int endpoint) {
    auto matching = [&]() {
      std::vector<Transfer*> found;
      const auto it = handles_.find(handle);
      if (it == handles_.end()) return found;
      for (Transfer* t : it->second.pending) {
        if (endpoint < 0 || t->endpoint == endpoint) found.push_back(t);
      }
      return found;
    };
    for (Transfer* t : matching()) libusb_cancel_transfer(t->usb);
    finished_.wait_until(lock, Clock::now() + kCancelWait, [&] { return matching().empty(); });
    for (Transfer* t : matching()) {
      if (t->overlapped != nullptr) t->overlapped->Complete(0, false);
      t->overlapped = nullptr;
      t->out = nullptr;
    }
  }

  void Release(OpenDevice& device, bool closeHandle) {
    if (device.usb == nullptr) return;
    if (device.claimed) libusb_release_interface(device.usb, 0);
    device.claimed = false;
    // A transfer libusb still holds keeps its handle: closing it under the transfer is unsafe.
    if (closeHandle) libusb_close(device.usb);
    device.usb = nullptr;
  }

  // Resets the device. It may come back as a new device (after a firmware download it does):
  // the old handle reaches nothing any more, and the device is waited for by its ids.
  bool Reconnect(std::unique_lock<std::mutex>& lock, fvplat::UsbHandle handle) {
    CancelAndWait(lock, handle, -1);
    auto it = handles_.find(handle);
    if (it == handles_.end()) return false;
    libusb_device_handle* usb = it->second.usb;
    libusb_device* old = libusb_get_device(usb);
    lock.unlock();
    const std::size_t before = MatchingDevices().size();
    const int reset = libusb_reset_device(usb);
    lock.lock();
    it = handles_.find(handle);
    if (it == handles_.end()) return false;
    it->second.stale = true;
    OpenDevice released;
    released.usb = it->second.usb;
    released.claimed = it->second.claimed;
    it->second.usb = nullptr;
    it->second.claimed = false;
    const bool quiet = it->second.pending.empty();
    lock.unlock();
    Release(released, quiet);
    const bool ok = reset == 0 || reset == LIBUSB_ERROR_NOT_FOUND;
    // A device that enumerated anew is back when as many devices are present as before and
    // the old one is not among them.
    auto back = [&] {
      const std::vector<libusb_device*> now = MatchingDevices();
      return now.size() >= before && std::find(now.begin(), now.end(), old) == now.end();
    };
    const auto deadline = Clock::now() + kReappearWait;
    while (reset == LIBUSB_ERROR_NOT_FOUND && !back() && Clock::now() < deadline) {
      std::this_thread::sleep_for(kReappearPoll);
    }
    lock.lock();
    return ok;
  }

  // The driver's facts about an open device.
  static bool DriverFact(OpenDevice& device, std::uint32_t code, std::uint8_t* out,
                         std::uint32_t outLength, std::uint32_t& bytes) {
    libusb_device* usb = libusb_get_device(device.usb);
    const int bus = libusb_get_bus_number(usb), address = libusb_get_device_address(usb);
    auto word = [&](std::uint32_t value) {
      if (outLength < 4) return false;
      PutU32(out, value);
      bytes = 4;
      return true;
    };
    auto text = [&](const char* format) {
      if (outLength == 0) return false;
      bytes = std::min<std::uint32_t>(outLength, static_cast<std::uint32_t>(kNameSize));
      std::memset(out, 0, bytes);
      std::snprintf(reinterpret_cast<char*>(out), bytes, format, bus, address);
      return true;
    };
    switch (code) {
      case kIoctlSpeed: {
        const int speed = libusb_get_device_speed(usb);
        return word(speed >= LIBUSB_SPEED_HIGH ? 2 : speed == LIBUSB_SPEED_FULL ? 1 : 0);
      }
      case kIoctlAltSetting:
      case kIoctlAddress:
        if (outLength < 1) return false;
        out[0] = code == kIoctlAddress ? static_cast<std::uint8_t>(address) : 0;
        bytes = 1;
        return true;
      case kIoctlFriendlyName:
        return text("USB device %03d:%03d");
      case kIoctlDriverKey:
        return text("libusb\\%03d-%03d");
      case kIoctlDriverVersion: {
        const libusb_version* v = libusb_get_version();
        return word(static_cast<std::uint32_t>(v->major << 16 | v->minor << 8 | v->micro));
      }
      case kIoctlUsbdVersion:
        return word(0x0200);
      default:
        return false;
    }
  }

  std::once_flag started_;
  libusb_context* context_ = nullptr;
  std::vector<DeviceId> ids_;
  std::mutex mutex_;
  std::condition_variable finished_;
  std::map<fvplat::UsbHandle, OpenDevice> handles_;
  std::map<libusb_transfer*, Transfer*> transfers_;
  std::vector<libusb_device*> lastList_;
  fvplat::UsbHandle nextHandle_ = 1;
};

}  // namespace
}  // namespace fvusb

extern "C" __attribute__((visibility("default"))) fvplat::UsbBackend* FvUsbBackendEntry() {
  // Never destroyed: transfers and the event thread may run while the process exits.
  alignas(fvusb::LibusbBackend) static unsigned char storage[sizeof(fvusb::LibusbBackend)];
  static fvusb::LibusbBackend* backend = new (storage) fvusb::LibusbBackend;
  return backend;
}
