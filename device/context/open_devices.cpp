// The process-wide list of open devices and the current device.

#include <algorithm>
#include <vector>

#include "context/context_internal.h"

namespace dravex {
namespace {

struct OpenDevices {
  std::mutex lock;
  std::vector<ContextRef> list;  // in the order of opening
  ContextRef current;
};

OpenDevices& openDevices() {
  static OpenDevices instance;
  return instance;
}

}  // namespace

std::mutex& lifecycleLock() {
  static std::mutex lock;
  return lock;
}

void publishOpened(const ContextRef& context) {
  OpenDevices& open = openDevices();
  std::lock_guard<std::mutex> guard(open.lock);
  open.list.push_back(context);
  open.current = context;
}

void withdrawClosed(const FvDevContext* context) {
  OpenDevices& open = openDevices();
  std::lock_guard<std::mutex> guard(open.lock);
  std::erase_if(open.list, [&](const ContextRef& c) { return c.get() == context; });
  // Only closing the current device hands the slot on, to the first device still open.
  bool wasCurrent = open.current.get() == context;
  open.current = wasCurrent && !open.list.empty() ? open.list.front() : nullptr;
}

ContextRef lookupContext(FvDevHandle handle) {
  if (handle == nullptr) return nullptr;
  OpenDevices& open = openDevices();
  std::lock_guard<std::mutex> guard(open.lock);
  for (const ContextRef& c : open.list) {
    if (c.get() == handle) return c;
  }
  return nullptr;
}

ContextRef currentContext() {
  OpenDevices& open = openDevices();
  std::lock_guard<std::mutex> guard(open.lock);
  return open.current;
}

FvDevHandle currentHandle() { return currentContext().get(); }

}  // namespace dravex
