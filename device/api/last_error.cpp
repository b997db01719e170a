#include "api/last_error.h"

#include <atomic>
#include <mutex>

#include "veltrum.h"

namespace dravex {
namespace {

std::atomic<int> g_lastError{kErrNone};
std::atomic<int> g_engineMode{0};
std::mutex g_engineLock;
bool g_engineStarted = false;  // guarded by g_engineLock

}  // namespace

void setLastError(int code) { g_lastError.store(code); }

int badArgument() {
  setLastError(kErrBadArgument);
  return 0;
}

int takeLastError() { return g_lastError.exchange(kErrNone); }

void noteDeviceType(int deviceType) {
  switch (deviceType) {
    case 1:
    case 2:
      g_engineMode.store(0);
      break;
    case 3:
      g_engineMode.store(1);
      break;
    case 16:
    case 18:
      g_engineMode.store(2);
      break;
    default:
      break;
  }
}

int engineModeForDevices() { return g_engineMode.load(); }

void ensureEngineStarted() {
  std::lock_guard<std::mutex> lock(g_engineLock);
  if (g_engineStarted) return;
  VLT_FV_Init(g_engineMode.load());
  g_engineStarted = true;  // once, whatever Init answered
}

}  // namespace dravex
