#include "binding/device_library.h"

#include <memory>
#include <mutex>

#include "binding/entry_points.h"
#include "fvplatform/debug_output.h"
#include "fvplatform/module.h"

namespace torvane {
namespace {

struct Binding {
  const char* name;
  void (*store)(FARPROC);
};

#define TORVANE_BINDING(name) \
  {#name, [](FARPROC fn) { entry::name.set(reinterpret_cast<decltype(entry::name.get())>(fn)); }},
constexpr Binding kBindings[] = {TORVANE_ENTRY_POINTS(TORVANE_BINDING)};
#undef TORVANE_BINDING
static_assert(std::size(kBindings) == entry::kCount);

std::mutex g_lock;
std::unique_ptr<DeviceLibrary> g_library;

}  // namespace

int DeviceLibrary::bindEntryPoints(const char* fileName) {
  m_module = LoadLibraryA(fileName);
  if (m_module == nullptr) return 0;
  for (const Binding& binding : kBindings) {
    const FARPROC fn = GetProcAddress(m_module, binding.name);
    binding.store(fn);
    if (fn == nullptr) {
      OutputDebugStringA("fun #name  not find.\n");
      return 0;
    }
  }
  return 1;
}

DeviceLibrary* getDeviceLibrary() {
  const std::lock_guard<std::mutex> hold(g_lock);
  if (g_library == nullptr) {
    auto library = std::make_unique<DeviceLibrary>();
    if (library->bindEntryPoints(kDeviceLibraryFile) != 1) return nullptr;
    g_library = std::move(library);
  }
  return g_library.get();
}

void forgetDeviceLibraryForTests() {
  const std::lock_guard<std::mutex> hold(g_lock);
  g_library.reset();
  for (const Binding& binding : kBindings) binding.store(nullptr);
}

}  // namespace torvane
