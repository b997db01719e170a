#include "fvplatform/window.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace fvplat {
namespace {

struct Window {
  int width = 0;
  int height = 0;
  std::mutex lock;  // guards the surface and the paint state
  std::vector<std::uint8_t> bgra;
  int invalidations = 0;
  bool erase = false;
};

// Handles are numbers that are never reused, so a stale handle never names a new window.
struct Registry {
  std::mutex lock;
  std::uintptr_t next = 1;
  std::unordered_map<std::uintptr_t, std::shared_ptr<Window>> windows;
  std::unordered_map<std::uintptr_t, std::shared_ptr<Window>> surfaces;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

std::shared_ptr<Window> find(const std::unordered_map<std::uintptr_t, std::shared_ptr<Window>>& map,
                             std::uintptr_t key) {
  auto it = map.find(key);
  return it == map.end() ? nullptr : it->second;
}

std::shared_ptr<Window> findWindow(HWND window) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  return find(r.windows, reinterpret_cast<std::uintptr_t>(window));
}

std::shared_ptr<Window> findSurface(HDC dc) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  return find(r.surfaces, reinterpret_cast<std::uintptr_t>(dc));
}

}  // namespace

HWND CreateChildWindow(HWND /*parent*/, int width, int height) {
  auto window = std::make_shared<Window>();
  window->width = std::max(width, 0);
  window->height = std::max(height, 0);
  window->bgra.assign(static_cast<std::size_t>(window->width) * window->height * 4, 0);
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  std::uintptr_t key = r.next++;
  r.windows.emplace(key, std::move(window));
  return reinterpret_cast<HWND>(key);
}

SurfaceSnapshot ReadSurface(HWND handle) {
  SurfaceSnapshot snapshot;
  std::shared_ptr<Window> window = findWindow(handle);
  if (!window) return snapshot;
  std::lock_guard<std::mutex> guard(window->lock);
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
  std::lock_guard<std::mutex> guard(window->lock);
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

BOOL IsWindow(HWND window) { return findWindow(window) ? TRUE : FALSE; }

BOOL DestroyWindow(HWND window) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.windows.erase(reinterpret_cast<std::uintptr_t>(window)) ? TRUE : FALSE;
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
  std::lock_guard<std::mutex> guard(window->lock);
  ++window->invalidations;
  window->erase = erase != FALSE;
  return TRUE;
}

HDC GetDC(HWND handle) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  std::shared_ptr<Window> window = find(r.windows, reinterpret_cast<std::uintptr_t>(handle));
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
