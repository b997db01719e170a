#include "fvplatform/message_box.h"

#include <deque>
#include <mutex>

#include "fvplatform/clock.h"
#include "fvplatform/debug_output.h"

namespace fvplat {
namespace {

constexpr std::size_t kLogLimit = 256;

struct Boxes {
  std::mutex lock;
  MessageBoxPolicy policy;
  std::deque<MessageBoxCall> log;
};

Boxes& boxes() {
  static Boxes* instance = new Boxes;
  return *instance;
}

int defaultPolicy(const MessageBoxCall& call) {
  std::string line = "message box [" + call.caption + "]: " + call.text + "\n";
  OutputDebugStringA(line.c_str());
  if (call.timeoutMs == 0) return IDOK;
  CurrentClock().SleepMs(call.timeoutMs);
  return MB_TIMEDOUT;
}

int show(MessageBoxCall call) {
  MessageBoxPolicy policy;
  {
    Boxes& b = boxes();
    std::lock_guard<std::mutex> guard(b.lock);
    b.log.push_back(call);
    if (b.log.size() > kLogLimit) b.log.pop_front();
    policy = b.policy;
  }
  // Answered outside the lock: a policy may wait, or show another box.
  return policy ? policy(call) : defaultPolicy(call);
}

}  // namespace

MessageBoxPolicy SetMessageBoxPolicy(MessageBoxPolicy policy) {
  Boxes& b = boxes();
  std::lock_guard<std::mutex> guard(b.lock);
  std::swap(b.policy, policy);
  return policy;
}

MessageBoxPolicy AnswerAtOnce(int answer) {
  return [answer](const MessageBoxCall&) { return answer; };
}

std::vector<MessageBoxCall> MessageBoxLog() {
  Boxes& b = boxes();
  std::lock_guard<std::mutex> guard(b.lock);
  return {b.log.begin(), b.log.end()};
}

void ClearMessageBoxLog() {
  Boxes& b = boxes();
  std::lock_guard<std::mutex> guard(b.lock);
  b.log.clear();
}

}  // namespace fvplat

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  return fvplat::show({owner, caption ? caption : "", text ? text : "", type, 0});
}

int MessageBoxTimeoutA(HWND owner, const char* text, const char* caption, UINT type,
                       std::uint16_t /*language*/, DWORD milliseconds) {
  return fvplat::show({owner, caption ? caption : "", text ? text : "", type, milliseconds});
}
