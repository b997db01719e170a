#include "fvplatform/usb_driver.h"

#include <cstdlib>

#include "fvplatform/debug_output.h"
#include "fvplatform/module.h"

namespace fvplat {
namespace {

std::mutex g_backendMutex;
UsbBackend* g_override = nullptr;
UsbBackend* g_module = nullptr;
bool g_moduleTried = false;

UsbBackend* LoadModuleBackend() {
  const char* name = std::getenv(kUsbBackendEnv);
  if (name == nullptr || *name == '\0') name = kDefaultUsbBackend;
  // The module stays loaded for the process: pending requests may point into it.
  HMODULE module = LoadLibraryA(name);
  if (module == nullptr) {
    OutputDebugStringA("USB driver module not found.\n");
    return nullptr;
  }
  auto entry = reinterpret_cast<UsbBackendEntry>(GetProcAddress(module, kUsbBackendEntryName));
  return entry != nullptr ? entry() : nullptr;
}

UsbBackend* Backend() {
  std::lock_guard<std::mutex> lock(g_backendMutex);
  if (g_override != nullptr) return g_override;
  if (!g_moduleTried) {
    g_module = LoadModuleBackend();
    g_moduleTried = true;  // after the load: a load cut short by an exception is tried again
  }
  return g_module;
}

}  // namespace

void UsbOverlapped::Complete(std::uint32_t bytes, bool ok) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    ok_ = ok;
    bytes_ = bytes;
  }
  event_.Set();
}

bool UsbOverlapped::Finished() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_;
}

bool UsbOverlapped::Result(std::uint32_t* bytes) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (bytes != nullptr) *bytes = finished_ ? bytes_ : 0;
  return finished_ && ok_;
}

UsbBackend::~UsbBackend() = default;

int UsbCount(const UsbClassId& deviceClass) {
  UsbBackend* backend = Backend();
  return backend != nullptr ? backend->Count(deviceClass) : 0;
}

UsbHandle UsbOpen(const UsbClassId& deviceClass, int index) {
  UsbBackend* backend = Backend();
  return backend != nullptr ? backend->Open(deviceClass, index) : kInvalidUsbHandle;
}

bool UsbClose(UsbHandle handle) {
  UsbBackend* backend = Backend();
  return backend != nullptr && handle != kInvalidUsbHandle && backend->Close(handle);
}

UsbIo UsbIoctl(UsbHandle handle, std::uint32_t code, const void* in, std::uint32_t inLength,
               void* out, std::uint32_t outLength, UsbOverlapped& overlapped,
               std::uint32_t* bytes) {
  std::uint32_t count = 0;
  UsbIo result = UsbIo::kFailed;
  UsbBackend* backend = Backend();
  if (backend != nullptr && handle != kInvalidUsbHandle) {
    result = backend->Ioctl(handle, code, in, inLength, out, outLength, overlapped, count);
  }
  if (result == UsbIo::kDone) overlapped.Complete(count, true);
  if (bytes != nullptr) *bytes = result == UsbIo::kDone ? count : 0;
  return result;
}

void SetUsbBackend(UsbBackend* backend) {
  std::lock_guard<std::mutex> lock(g_backendMutex);
  g_override = backend;
}

}  // namespace fvplat
