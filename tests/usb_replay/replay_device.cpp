#include "replay_device.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <deque>
#include <mutex>
#include <sstream>
#include <thread>

namespace fvreplay {
namespace {

constexpr const char* kSysPath = "/devices/usb1";
constexpr const char* kDevNode = "/dev/bus/usb/001/001";
// What the replayed kernel offers: whole bulk transfers in one URB, reaping after unplug.
constexpr guint32 kCapabilities = USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::ostringstream out;
  for (std::uint8_t b : bytes) out << "0123456789abcdef"[b >> 4] << "0123456789abcdef"[b & 15];
  return out.str();
}

// A URB the program submitted, with its place in the recording (-1: none matched).
struct Flying {
  UMockdevIoctlData* urb = nullptr;
  UMockdevIoctlData* buffer = nullptr;
  gulong address = 0;
  long recorded = -1;
  bool ready = false;  // may be reaped
  int status = 0;
};

}  // namespace

struct ReplayDevice::State {
  Recording recording;
  UMockdevTestbed* testbed = nullptr;
  UMockdevIoctlBase* handler = nullptr;
  GMainContext* context = nullptr;
  std::thread loop;
  bool stopping = false;

  mutable std::mutex mutex;
  std::size_t next = 0;
  bool gone = false;
  std::deque<Flying> flying;
  std::vector<std::string> submitted, mismatches;

  void Complete(UMockdevIoctlClient* client, long result, int error) {
    umockdev_ioctl_client_complete(client, result, error);
  }

  // The recorded URB due now, once any unplug recorded before it has taken effect.
  const Urb* Due() {
    while (next < recording.urbs.size() && recording.urbs[next].kind == Urb::kGone) {
      gone = true;
      ++next;
    }
    return gone || next >= recording.urbs.size() ? nullptr : &recording.urbs[next];
  }

  void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    GError* error = nullptr;
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), &error);
    if (urbData == nullptr) {
      g_clear_error(&error);
      Complete(client, -1, EFAULT);
      return;
    }
    const auto* urb = reinterpret_cast<const usbdevfs_urb*>(urbData->data);
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
        urbData, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(std::max(urb->buffer_length, 0)), &error);
    if (buffer == nullptr) {
      g_clear_error(&error);
      g_object_unref(urbData);
      Complete(client, -1, EFAULT);
      return;
    }
    Urb seen;
    seen.type = urb->type;
    seen.endpoint = urb->endpoint;
    seen.length = urb->buffer_length;
    const bool control = urb->type == kUrbControl;
    const bool outData = control ? (buffer->data_len >= 8 && (buffer->data[0] & 0x80) == 0)
                                 : (urb->endpoint & 0x80) == 0;
    const int sentBytes = outData ? buffer->data_len : control ? std::min(buffer->data_len, 8) : 0;
    seen.sent.assign(buffer->data, buffer->data + sentBytes);
    submitted.push_back(Describe(seen));

    const Urb* due = Due();
    if (due == nullptr) {
      g_object_unref(buffer);
      g_object_unref(urbData);
      if (!gone) mismatches.push_back("beyond the recording: " + Describe(seen));
      Complete(client, -1, ENODEV);
      return;
    }
    Flying f;
    f.urb = urbData;
    f.buffer = buffer;
    f.address = urbData->client_addr;
    if (Describe(*due) == Describe(seen)) {
      f.recorded = static_cast<long>(next++);
      f.ready = due->kind == Urb::kAnswered;
      f.status = due->status;
      // Unplugged while this one waited: it ends as the device goes.
      if (due->kind == Urb::kPending && Due() == nullptr && gone) {
        f.ready = true;
        f.status = -ENODEV;
      }
    } else {
      mismatches.push_back("expected " + Describe(*due) + ", got " + Describe(seen));
      f.ready = true;
      f.status = -EPROTO;
    }
    flying.push_back(f);
    Complete(client, 0, 0);
  }

  void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    auto it = std::find_if(flying.begin(), flying.end(), [](const Flying& f) { return f.ready; });
    if (it == flying.end() && gone && !flying.empty()) it = flying.begin();  // unplugged: all end
    if (it == flying.end()) {
      Complete(client, -1, gone ? ENODEV : EAGAIN);
      return;
    }
    Flying f = *it;
    flying.erase(it);
    int status = f.ready ? f.status : -ENODEV;
    int actual = 0;
    if (f.recorded >= 0 && status == 0 && f.ready) {
      const Urb& u = recording.urbs[static_cast<std::size_t>(f.recorded)];
      actual = u.actual;
      if (!u.answer.empty()) {
        const gsize at = u.type == kUrbControl ? 8 : 0;
        const gsize n = std::min<gsize>(u.answer.size(), static_cast<gsize>(f.buffer->data_len) - at);
        umockdev_ioctl_data_update(f.buffer, at, const_cast<guint8*>(u.answer.data()), static_cast<gint>(n));
      }
    }
    umockdev_ioctl_data_update(f.urb, offsetof(usbdevfs_urb, status), reinterpret_cast<guint8*>(&status),
                               sizeof status);
    umockdev_ioctl_data_update(f.urb, offsetof(usbdevfs_urb, actual_length),
                               reinterpret_cast<guint8*>(&actual), sizeof actual);
    GError* error = nullptr;
    UMockdevIoctlData* out = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), &error);
    if (out == nullptr) {
      g_clear_error(&error);
      Complete(client, -1, EFAULT);
    } else {
      umockdev_ioctl_data_set_ptr(out, 0, f.urb);
      Complete(client, 0, 0);
      g_object_unref(out);
    }
    g_object_unref(f.buffer);
    g_object_unref(f.urb);
  }

  void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    const gulong address = *reinterpret_cast<const gulong*>(arg->data);
    for (Flying& f : flying) {
      if (f.address == address && !f.ready) {
        f.ready = true;
        f.status = -ENOENT;
        Complete(client, 0, 0);
        return;
      }
    }
    Complete(client, -1, EINVAL);
  }

  gboolean Handle(UMockdevIoctlClient* client) {
    std::lock_guard<std::mutex> lock(mutex);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    switch (umockdev_ioctl_client_get_request(client)) {
      case USBDEVFS_GET_CAPABILITIES: {
        GError* error = nullptr;
        UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), &error);
        if (data == nullptr) {
          g_clear_error(&error);
          Complete(client, -1, EFAULT);
          break;
        }
        guint32 caps = kCapabilities;
        umockdev_ioctl_data_update(data, 0, reinterpret_cast<guint8*>(&caps), sizeof caps);
        Complete(client, 0, 0);
        g_object_unref(data);
        break;
      }
      case USBDEVFS_CLAIMINTERFACE:
      case USBDEVFS_RELEASEINTERFACE:
      case USBDEVFS_SETINTERFACE:
      case USBDEVFS_CLEAR_HALT:
      case USBDEVFS_RESET:
      case USBDEVFS_RESETEP:
        Due();
        Complete(client, gone ? -1 : 0, gone ? ENODEV : 0);
        break;
      case USBDEVFS_GETDRIVER:
      case USBDEVFS_IOCTL:  // the disconnect of a kernel driver
        Complete(client, -1, ENODATA);  // no kernel driver holds the interface
        break;
      case USBDEVFS_SUBMITURB:
        Submit(client, arg);
        break;
      case USBDEVFS_REAPURB:
      case USBDEVFS_REAPURBNDELAY:
        Reap(client, arg);
        break;
      case USBDEVFS_DISCARDURB:
        Discard(client, arg);
        break;
      default:
        Complete(client, -1, ENOTTY);
        break;
    }
    return TRUE;
  }

  static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<State*>(self)->Handle(client);
  }
};

ReplayDevice::ReplayDevice(Recording recording) : state_(std::make_unique<State>()) {
  state_->recording = std::move(recording);
}

ReplayDevice::~ReplayDevice() { Stop(); }

bool ReplayDevice::Start(std::string* error) {
  State& s = *state_;
  if (!umockdev_in_mock_environment()) {
    *error = "not under umockdev's preload (run the program with umockdev-run)";
    return false;
  }
  s.testbed = umockdev_testbed_new();
  char ids[32];
  std::snprintf(ids, sizeof ids, "%04x/%04x/100", s.recording.vendor, s.recording.product);
  std::ostringstream device;
  device << "P: " << kSysPath << "\nN: " << (kDevNode + 5) << "\nE: DEVNAME=" << kDevNode
         << "\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: SUBSYSTEM=usb\nE: BUSNUM=001\nE: DEVNUM=001"
         << "\nE: PRODUCT=" << ids << "\nA: busnum=1\\n\nA: devnum=1\\n\nA: speed=480\\n"
         << "\nA: bConfigurationValue=1\\n\nA: bNumConfigurations=1\\n"
         << "\nH: descriptors=" << Hex(s.recording.descriptors) << "\n";
  GError* gerror = nullptr;
  if (!umockdev_testbed_add_from_string(s.testbed, device.str().c_str(), &gerror)) {
    *error = gerror != nullptr ? gerror->message : "the device does not load";
    g_clear_error(&gerror);
    return false;
  }
  // The handler answers on a main context of its own, turned by a thread of its own.
  s.context = g_main_context_new();
  g_main_context_push_thread_default(s.context);
  s.handler = umockdev_ioctl_base_new();
  g_signal_connect(s.handler, "handle-ioctl", G_CALLBACK(&State::OnIoctl), &s);
  const bool attached = umockdev_testbed_attach_ioctl(s.testbed, kDevNode, s.handler, &gerror);
  g_main_context_pop_thread_default(s.context);
  if (!attached) {
    *error = gerror != nullptr ? gerror->message : "the handler does not attach";
    g_clear_error(&gerror);
    return false;
  }
  s.loop = std::thread([&s] {
    while (!__atomic_load_n(&s.stopping, __ATOMIC_ACQUIRE)) g_main_context_iteration(s.context, TRUE);
  });
  return true;
}

void ReplayDevice::Stop() {
  State& s = *state_;
  if (s.loop.joinable()) {
    __atomic_store_n(&s.stopping, true, __ATOMIC_RELEASE);
    g_main_context_wakeup(s.context);
    s.loop.join();
  }
  if (s.handler != nullptr) g_object_unref(s.handler);
  if (s.testbed != nullptr) g_object_unref(s.testbed);
  if (s.context != nullptr) g_main_context_unref(s.context);
  s.handler = nullptr;
  s.testbed = nullptr;
  s.context = nullptr;
}

std::vector<std::string> ReplayDevice::Submitted() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->submitted;
}

std::vector<std::string> ReplayDevice::Mismatches() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->mismatches;
}

std::size_t ReplayDevice::Left() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  std::size_t left = 0;
  for (std::size_t i = state_->next; i < state_->recording.urbs.size(); ++i) {
    left += state_->recording.urbs[i].kind != Urb::kGone;
  }
  return left;
}

}  // namespace fvreplay
