#pragma once
// One bound export of the device library: a process-wide function pointer, null until bound.
// Reads and writes are atomic, so a thread that calls through it never races a rebinding.

#include <atomic>

namespace torvane {

template <typename Fn>
class EntryPoint;

template <typename R, typename... Args>
class EntryPoint<R(Args...)> {
 public:
  using Pointer = R (*)(Args...);

  Pointer get() const { return fn_.load(std::memory_order_acquire); }
  explicit operator bool() const { return get() != nullptr; }
  void set(Pointer fn) { fn_.store(fn, std::memory_order_release); }

 private:
  std::atomic<Pointer> fn_{nullptr};
};

}  // namespace torvane
