#include "fvplatform/window.h"

#include <algorithm>
#include <cstring>

#include "window_registry.h"

namespace fvplat {
namespace detail {

Registry& registry() {
  // Never destroyed: threads that end during process exit still find it.
  static Registry* instance = new Registry;
  return *instance;
}

std::uintptr_t keyOf(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }
HWND handleOf(std::uintptr_t key) { return reinterpret_cast<HWND>(key); }

std::shared_ptr<Window> findLocked(HWND window) {
  auto it = registry().windows.find(keyOf(window));
  return it == registry().windows.end() ? nullptr : it->second;
}

std::shared_ptr<Window> findWindow(HWND window) {
  std::lock_guard<std::mutex> guard(registry().lock);
  return findLocked(window);
}

}  // namespace detail

using namespace detail;

namespace {

std::shared_ptr<Window> findSurface(HDC dc) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = r.surfaces.find(reinterpret_cast<std::uintptr_t>(dc));
  return it == r.surfaces.end() ? nullptr : it->second;
}

// The window and all its descendants, parents first. Caller holds the registry lock.
std::vector<std::uintptr_t> subtreeLocked(std::uintptr_t root) {
  std::vector<std::uintptr_t> keys{root};
  for (std::size_t i = 0; i < keys.size(); ++i) {
    for (std::uintptr_t key : registry().order) {
      auto it = registry().windows.find(key);
      if (it != registry().windows.end() && it->second->parent == keys[i]) keys.push_back(key);
    }
  }
  return keys;
}

void applyShow(Window& window, int command) {
  switch (command) {
    case SW_HIDE: window.visible = false; break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE: window.visible = true; window.minimised = true; break;
    case SW_SHOWNORMAL:
    case SW_RESTORE: window.visible = true; window.minimised = false; break;
    default: window.visible = true; break;
  }
}

}  // namespace

HWND CreatePlatformWindow(const WindowSpec& spec) {
  auto window = std::make_shared<Window>();
  window->parent = keyOf(spec.parent);
  window->owner = currentQueue();
  window->proc = spec.proc != nullptr ? spec.proc : &DefWindowProcA;
  window->caption = spec.caption;
  window->id = spec.id;
  window->x = spec.x;
  window->y = spec.y;
  window->visible = spec.visible;
  window->width = std::max(spec.width, 0);
  window->height = std::max(spec.height, 0);
  window->bgra.assign(static_cast<std::size_t>(window->width) * window->height * 4, 0);
  WNDPROC proc = window->proc;
  HWND handle;
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    std::uintptr_t key = r.next++;
    r.windows.emplace(key, std::move(window));
    r.order.push_back(key);
    handle = handleOf(key);
  }
  proc(handle, WM_CREATE, 0, 0);
  return handle;
}

HWND CreateChildWindow(HWND parent, int width, int height) {
  WindowSpec spec;
  spec.parent = parent;
  spec.width = width;
  spec.height = height;
  return CreatePlatformWindow(spec);
}

bool IsWindowThread(HWND handle) {
  std::shared_ptr<Window> window = findWindow(handle);
  return window && window->owner->thread == std::this_thread::get_id();
}

std::string WindowText(HWND handle) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  return window ? window->caption : std::string();
}

bool IsTopmost(HWND handle) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  return window && window->topmost;
}

POINT WindowOrigin(HWND handle) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  return window ? POINT{window->x, window->y} : POINT{0, 0};
}

std::vector<HWND> ChildWindows(HWND handle) {
  std::vector<HWND> children;
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  if (!findLocked(handle)) return children;
  for (std::uintptr_t key : r.order) {
    auto it = r.windows.find(key);
    if (it != r.windows.end() && it->second->parent == keyOf(handle)) children.push_back(handleOf(key));
  }
  return children;
}

void SetCloseGreyed(HWND handle, bool greyed) {
  std::lock_guard<std::mutex> guard(registry().lock);
  if (std::shared_ptr<Window> window = findLocked(handle)) window->closeGreyed = greyed;
}

bool IsCloseGreyed(HWND handle) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  return window && window->closeGreyed;
}

SurfaceSnapshot ReadSurface(HWND handle) {
  SurfaceSnapshot snapshot;
  std::shared_ptr<Window> window = findWindow(handle);
  if (!window) return snapshot;
  std::lock_guard<std::mutex> guard(window->surfaceLock);
  snapshot.width = window->width;
  snapshot.height = window->height;
  snapshot.bgra = window->bgra;
  snapshot.invalidations = window->invalidations;
  snapshot.erase = window->erase;
  return snapshot;
}

bool SurfaceSize(HDC dc, int* width, int* height) {
  std::shared_ptr<Window> window = findSurface(dc);
  if (!window || width == nullptr || height == nullptr) return false;
  *width = window->width;  // fixed when the window is made
  *height = window->height;
  return true;
}

bool CopyToSurface(HDC dc, int x, int y, int width, int height, const std::uint8_t* bgra) {
  std::shared_ptr<Window> window = findSurface(dc);
  if (!window) return false;
  if (bgra == nullptr || width <= 0 || height <= 0) return true;
  std::lock_guard<std::mutex> guard(window->surfaceLock);
  // In 64 bits, so that an image reaching past the largest int is clipped, not wrapped.
  const auto clip = [](int from, int size, int limit) {
    return static_cast<int>(std::clamp<std::int64_t>(std::int64_t{from} + size, 0, limit));
  };
  int x0 = std::max(x, 0), x1 = clip(x, width, window->width);
  int y0 = std::max(y, 0), y1 = clip(y, height, window->height);
  if (x0 >= x1 || y0 >= y1) return true;
  for (int row = y0; row < y1; ++row) {
    const std::uint8_t* from = bgra + (static_cast<std::size_t>(row - y) * width + (x0 - x)) * 4;
    std::uint8_t* to = window->bgra.data() + (static_cast<std::size_t>(row) * window->width + x0) * 4;
    std::memcpy(to, from, static_cast<std::size_t>(x1 - x0) * 4);
  }
  return true;
}

}  // namespace fvplat

using namespace fvplat;
using namespace fvplat::detail;

BOOL IsWindow(HWND window) { return findWindow(window) ? TRUE : FALSE; }

BOOL DestroyWindow(HWND handle) {
  Registry& r = registry();
  std::vector<std::pair<HWND, WNDPROC>> ownDestroys;
  {
    std::lock_guard<std::mutex> guard(r.lock);
    if (!findLocked(handle)) return FALSE;
    for (std::uintptr_t key : subtreeLocked(keyOf(handle))) {
      const std::shared_ptr<Window>& window = r.windows.at(key);
      if (window->owner->thread == std::this_thread::get_id())
        ownDestroys.emplace_back(handleOf(key), window->proc);
    }
  }
  // Only the owner thread runs WM_DESTROY, as the procedure expects to run there.
  for (auto& [window, proc] : ownDestroys) proc(window, WM_DESTROY, 0, 0);

  std::unordered_map<ThreadQueue*, std::pair<std::shared_ptr<ThreadQueue>, std::vector<HWND>>> byQueue;
  {
    std::lock_guard<std::mutex> guard(r.lock);
    if (!findLocked(handle)) return TRUE;  // WM_DESTROY destroyed it already
    for (std::uintptr_t key : subtreeLocked(keyOf(handle))) {
      std::shared_ptr<Window> window = r.windows.at(key);
      auto& entry = byQueue[window->owner.get()];
      entry.first = window->owner;
      entry.second.push_back(handleOf(key));
      r.windows.erase(key);
      r.order.erase(std::find(r.order.begin(), r.order.end(), key));
    }
  }
  for (auto& [queue, entry] : byQueue) dropWindowsFromQueue(*entry.first, entry.second, false);
  return TRUE;
}

BOOL GetClientRect(HWND handle, RECT* rect) {
  std::shared_ptr<Window> window = findWindow(handle);
  if (!window || rect == nullptr) return FALSE;
  *rect = RECT{0, 0, window->width, window->height};
  return TRUE;
}

BOOL InvalidateRect(HWND handle, const RECT* /*rect*/, BOOL erase) {
  std::shared_ptr<Window> window = findWindow(handle);
  if (!window) return FALSE;
  std::lock_guard<std::mutex> guard(window->surfaceLock);
  ++window->invalidations;
  window->erase = erase != FALSE;
  return TRUE;
}

HDC GetDC(HWND handle) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  std::shared_ptr<Window> window = findLocked(handle);
  if (!window) return nullptr;
  std::uintptr_t key = r.next++;
  r.surfaces.emplace(key, std::move(window));
  return reinterpret_cast<HDC>(key);
}

int ReleaseDC(HWND /*window*/, HDC dc) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.surfaces.erase(reinterpret_cast<std::uintptr_t>(dc)) ? 1 : 0;
}

HWND GetParent(HWND handle) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  return window ? handleOf(window->parent) : nullptr;
}

BOOL SetWindowTextA(HWND handle, const char* text) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  if (!window) return FALSE;
  window->caption = text != nullptr ? text : "";
  return TRUE;
}

int GetWindowTextA(HWND handle, char* text, int size) {
  if (text == nullptr || size <= 0) return 0;
  std::string caption = WindowText(handle);
  std::size_t n = std::min(caption.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(text, caption.data(), n);
  text[n] = '\0';
  return static_cast<int>(n);
}

HWND FindWindowA(const char* /*className*/, const char* caption) {
  if (caption == nullptr) return nullptr;
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  for (std::uintptr_t key : r.order) {
    const std::shared_ptr<Window>& window = r.windows.at(key);
    if (window->parent == 0 && window->caption == caption) return handleOf(key);
  }
  return nullptr;
}

BOOL ShowWindow(HWND handle, int command) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  if (!window) return FALSE;
  bool wasVisible = window->visible;
  applyShow(*window, command);
  return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND handle) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  return window && window->visible ? TRUE : FALSE;
}

BOOL IsIconic(HWND handle) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  return window && window->minimised ? TRUE : FALSE;
}

BOOL GetWindowPlacement(HWND handle, WINDOWPLACEMENT* placement) {
  if (placement == nullptr) return FALSE;
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  if (!window) return FALSE;
  *placement = WINDOWPLACEMENT{};
  placement->length = sizeof(WINDOWPLACEMENT);
  placement->showCmd = !window->visible ? SW_HIDE : window->minimised ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
  placement->rcNormalPosition = RECT{0, 0, window->width, window->height};
  return TRUE;
}

BOOL SetWindowPlacement(HWND handle, const WINDOWPLACEMENT* placement) {
  if (placement == nullptr) return FALSE;
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  if (!window) return FALSE;
  applyShow(*window, static_cast<int>(placement->showCmd));
  return TRUE;
}

BOOL SetWindowPos(HWND handle, HWND insertAfter, int /*x*/, int /*y*/, int /*cx*/, int /*cy*/,
                  UINT flags) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  if (!window) return FALSE;
  if (insertAfter == HWND_TOPMOST) window->topmost = true;
  if (insertAfter == HWND_NOTOPMOST) window->topmost = false;
  if (flags & SWP_SHOWWINDOW) window->visible = true;
  if (flags & SWP_HIDEWINDOW) window->visible = false;
  return TRUE;
}
