#pragma once
// The plug-in's capture device: opening the last device present, its finger state, and grabs
// with their quality verdict, one at a time under the device lock.

#include <atomic>
#include <mutex>

#include "fvplatform/win_types.h"
#include "worker/worker_owner.h"

namespace npsorvik {

class PluginDevice {
 public:
  // 0 opened; -1 when no device is present or the open fails.
  int openDevice(HWND preview);
  // Marks the device closed (the caller closes it through the device library).
  void markClosed() { m_bOpen.store(false); }
  bool isOpen() const { return m_bOpen.load(); }
  // The device library's finger state while open (3: a finger on the sensor); else -1.
  int getFingerState();
  // One grab while `wanted` holds (checked under the device lock, where the owner clears it
  // before it closes the device, so a grab never reopens a device just closed): `code` 206 (no
  // device), 207 (no frame or a poor one), 1 (a frame whose verdict went to `quality`, else -1)
  // or 0 (not wanted). The frame is empty unless one came.
  fvbrowser::Bytes grabImage(int& quality, int& code, HWND preview, const std::atomic<bool>& wanted);
  // Serialises the grabs of the workers and of the picture method.
  std::mutex& lock() { return m_lock; }

 private:
  std::mutex m_lock;
  char m_Version[6] = "3.0";
  char m_Second[6] = "";
  std::atomic<int> m_nDevCount{0};
  std::atomic<bool> m_bOpen{false};
};

}  // namespace npsorvik
