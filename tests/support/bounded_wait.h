#pragma once
// A wait in real time for what another thread does on its own, with a generous bound, so a
// test that would wait for ever fails instead.

#include <chrono>
#include <thread>

namespace fvtest {

// Checks `done` until it holds or `limit` has passed; whether it held.
template <class Done>
bool WaitUntil(Done&& done, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

}  // namespace fvtest
