#include "plugin/subclassed_windows.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "plugin/plugin.h"

namespace npsorvik {
namespace {

struct Subclassed {
  HWND window;
  WNDPROC previous;
  LONG_PTR previousUserData;
  std::vector<CPlugin*> holders;  // oldest first
};

std::mutex g_lock;
std::vector<Subclassed> g_windows;

auto FindLocked(HWND window) {
  return std::find_if(g_windows.begin(), g_windows.end(),
                      [window](const Subclassed& s) { return s.window == window; });
}

void Restore(const Subclassed& s) {
  if (!IsWindow(s.window) ||
      GetWindowLongPtrA(s.window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&CPlugin::WindowProc)) {
    return;  // a later subclasser keeps its own
  }
  SetWindowLongPtrA(s.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s.previous));
  SetWindowLongPtrA(s.window, GWLP_USERDATA, s.previousUserData);
}

}  // namespace

void SubclassWindow(HWND window, CPlugin* plugin) {
  std::lock_guard<std::mutex> guard(g_lock);
  const auto found = FindLocked(window);
  if (found != g_windows.end()) {
    found->holders.push_back(plugin);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(plugin));
    return;
  }
  Subclassed s{window, nullptr, 0, {plugin}};
  s.previousUserData = SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(plugin));
  s.previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CPlugin::WindowProc)));
  g_windows.push_back(std::move(s));
}

void ReleaseSubclassedWindow(HWND window, CPlugin* plugin) {
  std::lock_guard<std::mutex> guard(g_lock);
  const auto found = FindLocked(window);
  if (found == g_windows.end()) return;
  std::erase(found->holders, plugin);
  if (!found->holders.empty()) {
    if (IsWindow(window)) {
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(found->holders.back()));
    }
    return;
  }
  Restore(*found);
  g_windows.erase(found);
}

WNDPROC PreviousWindowProc(HWND window) {
  std::lock_guard<std::mutex> guard(g_lock);
  const auto found = FindLocked(window);
  return found != g_windows.end() ? found->previous : nullptr;
}

void RestoreAllWindows() {
  std::lock_guard<std::mutex> guard(g_lock);
  for (const Subclassed& s : g_windows) Restore(s);
  g_windows.clear();
}

}  // namespace npsorvik
