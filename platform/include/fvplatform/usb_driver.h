#pragma once
// The capture device's USB driver port: count and open the interfaces of a device class, and
// send driver requests (I/O control codes) on an opened handle, each with an overlapped record
// to wait on. The driver itself is a backend module loaded at run time.

#include <cstdint>
#include <mutex>

#include "fvplatform/event.h"
#include "fvplatform/export.h"

namespace fvplat {

// A device-interface class identifier as four 32-bit words.
struct UsbClassId {
  std::uint32_t words[4];
  friend bool operator==(const UsbClassId&, const UsbClassId&) = default;
};

using UsbHandle = std::intptr_t;
inline constexpr UsbHandle kInvalidUsbHandle = -1;

// How a request was answered: finished now, still running, or refused at once.
enum class UsbIo { kDone, kPending, kFailed };

// One request's completion record. The caller owns it and keeps it, with the request's buffers,
// alive until the request has finished.
class FVPLAT_API UsbOverlapped {
 public:
  UsbOverlapped() = default;
  UsbOverlapped(const UsbOverlapped&) = delete;
  UsbOverlapped& operator=(const UsbOverlapped&) = delete;

  Event& event() { return event_; }
  // The driver's side: records the outcome and signals the event.
  void Complete(std::uint32_t bytes, bool ok);
  bool Finished() const;
  // The outcome without waiting: false while the request runs or when it failed.
  bool Result(std::uint32_t* bytes) const;

 private:
  mutable std::mutex mutex_;
  bool finished_ = false;
  bool ok_ = false;
  std::uint32_t bytes_ = 0;
  Event event_{true, false};
};

// What a driver module offers; its entry point `FvUsbBackendEntry` returns one that lives for
// the process.
class FVPLAT_API UsbBackend {
 public:
  virtual ~UsbBackend();
  virtual int Count(const UsbClassId& deviceClass) = 0;
  virtual UsbHandle Open(const UsbClassId& deviceClass, int index) = 0;
  virtual bool Close(UsbHandle handle) = 0;
  // kDone: finished, `bytes` holds the count. kPending: the backend completes `overlapped`
  // later; aborting the endpoint's pipe, closing the handle and losing the device complete
  // every pending request before they return. kFailed: nothing was started.
  virtual UsbIo Ioctl(UsbHandle handle, std::uint32_t code, const void* in, std::uint32_t inLength,
                      void* out, std::uint32_t outLength, UsbOverlapped& overlapped,
                      std::uint32_t& bytes) = 0;
};

using UsbBackendEntry = UsbBackend* (*)();
inline constexpr const char* kUsbBackendEntryName = "FvUsbBackendEntry";
// Environment variable naming the driver module; the simulated device by default.
inline constexpr const char* kUsbBackendEnv = "FV_USB_BACKEND";
inline constexpr const char* kDefaultUsbBackend = "libfvsimdevice.so";

// The port. Without a loadable backend no device is present and every open fails.
FVPLAT_API int UsbCount(const UsbClassId& deviceClass);
FVPLAT_API UsbHandle UsbOpen(const UsbClassId& deviceClass, int index);
FVPLAT_API bool UsbClose(UsbHandle handle);
// A finished request (kDone) has also completed `overlapped`.
FVPLAT_API UsbIo UsbIoctl(UsbHandle handle, std::uint32_t code, const void* in,
                          std::uint32_t inLength, void* out, std::uint32_t outLength,
                          UsbOverlapped& overlapped, std::uint32_t* bytes);
// Replaces the backend (nullptr: the module again). The backend must outlive its use.
FVPLAT_API void SetUsbBackend(UsbBackend* backend);

}  // namespace fvplat
