#pragma once
// Events to wait on, as the system's overlapped requests use them. Finite waits run on the
// platform clock, so a fake clock lets a time-out pass without real waiting.

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "fvplatform/export.h"

namespace fvplat {

inline constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;

class FVPLAT_API Event {
 public:
  explicit Event(bool manualReset = true, bool signalled = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // True when the event is signalled within `ms` (kWaitForever: no limit). An auto-reset
  // event is reset by the wait that sees it.
  bool Wait(std::uint32_t ms);

 private:
  mutable std::mutex mutex_;
  std::condition_variable signal_;
  bool manualReset_;
  bool signalled_;
};

}  // namespace fvplat
