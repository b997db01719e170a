// The process-wide list of open devices and the current device. A handle is a token looked up
// here, never a pointer: a closed handle names nothing, even when a later context reuses the
// closed one's memory.

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "context/context_internal.h"

namespace dravex {
namespace {

struct OpenDevice {
  std::uintptr_t token;
  ContextRef context;
};

struct OpenDevices {
  std::mutex lock;
  std::vector<OpenDevice> list;  // in the order of opening
  std::uintptr_t current = 0;    // 0: no current device
  std::uintptr_t nextToken = 0x1001;  // odd, so never a context's address; never reused
};

// Never destroyed: a process that returns from main with a device open runs the library's
// unload after static objects are gone, and unload still closes the devices listed here.
OpenDevices& openDevices() {
  alignas(OpenDevices) static unsigned char storage[sizeof(OpenDevices)];
  static OpenDevices* instance = new (storage) OpenDevices;
  return *instance;
}

std::uintptr_t tokenOf(FvDevHandle handle) { return reinterpret_cast<std::uintptr_t>(handle); }

const OpenDevice* findLocked(const OpenDevices& open, std::uintptr_t token) {
  const auto it = std::find_if(open.list.begin(), open.list.end(),
                               [&](const OpenDevice& d) { return d.token == token; });
  return token == 0 || it == open.list.end() ? nullptr : &*it;
}

}  // namespace

std::mutex& lifecycleLock() {
  // Outlives static objects, as the open list does.
  alignas(std::mutex) static unsigned char storage[sizeof(std::mutex)];
  static std::mutex* lock = new (storage) std::mutex;
  return *lock;
}

FvDevHandle publishOpened(const ContextRef& context) {
  OpenDevices& open = openDevices();
  std::lock_guard<std::mutex> guard(open.lock);
  const std::uintptr_t token = open.nextToken;
  open.nextToken += 2;
  open.list.push_back({token, context});
  open.current = token;
  return reinterpret_cast<FvDevHandle>(token);
}

void withdrawClosed(const FvDevContext* context) {
  OpenDevices& open = openDevices();
  std::lock_guard<std::mutex> guard(open.lock);
  const auto it = std::find_if(open.list.begin(), open.list.end(),
                               [&](const OpenDevice& d) { return d.context.get() == context; });
  if (it == open.list.end()) return;
  const std::uintptr_t token = it->token;
  open.list.erase(it);
  // Only closing the current device hands the slot on, to the first device still open.
  open.current = open.current == token && !open.list.empty() ? open.list.front().token : 0;
}

bool isListed(const FvDevContext* context) {
  OpenDevices& open = openDevices();
  std::lock_guard<std::mutex> guard(open.lock);
  return std::any_of(open.list.begin(), open.list.end(),
                     [&](const OpenDevice& d) { return d.context.get() == context; });
}

void releaseOpenList() {
  OpenDevices& open = openDevices();
  std::lock_guard<std::mutex> guard(open.lock);
  std::vector<OpenDevice>().swap(open.list);
}

std::vector<ContextRef> openContexts() {
  OpenDevices& open = openDevices();
  std::lock_guard<std::mutex> guard(open.lock);
  std::vector<ContextRef> contexts;
  for (const OpenDevice& d : open.list) contexts.push_back(d.context);
  return contexts;
}

ContextRef lookupContext(FvDevHandle handle) {
  OpenDevices& open = openDevices();
  std::lock_guard<std::mutex> guard(open.lock);
  const OpenDevice* device = findLocked(open, tokenOf(handle));
  return device == nullptr ? nullptr : device->context;
}

ContextRef currentContext() {
  OpenDevices& open = openDevices();
  std::lock_guard<std::mutex> guard(open.lock);
  const OpenDevice* device = findLocked(open, open.current);
  return device == nullptr ? nullptr : device->context;
}

FvDevHandle currentHandle() {
  OpenDevices& open = openDevices();
  std::lock_guard<std::mutex> guard(open.lock);
  return reinterpret_cast<FvDevHandle>(open.current);
}

}  // namespace dravex
