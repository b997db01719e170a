#include "plugin/target_window.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "fvplatform/window.h"

namespace npsorvik {
namespace {

std::mutex g_lock;
std::vector<HWND> g_windows;  // oldest first
std::atomic<HWND> g_target{nullptr};

void ChooseLocked() {
  std::erase_if(g_windows, [](HWND w) { return !IsWindow(w); });
  g_target.store(g_windows.empty() ? nullptr : g_windows.back());
}

}  // namespace

HWND TargetWindow() { return g_target.load(); }

void PushTargetWindow(HWND window) {
  if (window == nullptr) return;
  std::lock_guard<std::mutex> guard(g_lock);
  std::erase(g_windows, window);
  g_windows.push_back(window);
  g_target.store(window);
}

void DropTargetWindow(HWND window) {
  std::lock_guard<std::mutex> guard(g_lock);
  std::erase(g_windows, window);
  ChooseLocked();
}

void ClearTargetWindows() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_windows.clear();
  g_target.store(nullptr);
}

}  // namespace npsorvik
