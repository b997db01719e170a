#include "fvplatform/message_box.h"

#include <cstdio>
#include <mutex>

namespace fvplat {
namespace {

std::mutex& PolicyMutex() {
  static std::mutex mutex;
  return mutex;
}

MessageBoxPolicy& Policy() {
  static MessageBoxPolicy policy;
  return policy;
}

}  // namespace

MessageBoxPolicy SetMessageBoxPolicy(MessageBoxPolicy policy) {
  std::lock_guard<std::mutex> lock(PolicyMutex());
  MessageBoxPolicy previous = std::move(Policy());
  Policy() = std::move(policy);
  return previous;
}

}  // namespace fvplat

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  fvplat::MessageBoxRecord record{owner, caption ? caption : "", text ? text : "", type};
  fvplat::MessageBoxPolicy policy;
  {
    std::lock_guard<std::mutex> lock(fvplat::PolicyMutex());
    policy = fvplat::Policy();
  }
  // The policy runs outside the lock: it may show another box.
  if (policy) return policy(record);
  std::fprintf(stderr, "[message box] %s: %s\n", record.caption.c_str(), record.text.c_str());
  return IDOK;
}
