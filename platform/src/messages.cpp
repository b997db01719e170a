#include "fvplatform/messages.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "fvplatform/clock.h"
#include "window_registry.h"

namespace fvplat {
namespace detail {
namespace {

// Ends the thread's queue with the thread: its windows go, and sends waiting for it fail.
void closeQueue(const std::shared_ptr<ThreadQueue>& queue) {
  std::vector<HWND> owned;
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (std::uintptr_t key : r.order) {
      if (r.windows.at(key)->owner == queue) owned.push_back(handleOf(key));
    }
    for (HWND window : owned) {
      r.windows.erase(keyOf(window));
      r.order.erase(std::find(r.order.begin(), r.order.end(), keyOf(window)));
    }
  }
  std::deque<std::shared_ptr<SentMessage>> waiting;
  {
    std::lock_guard<std::mutex> guard(queue->lock);
    queue->closed = true;
    waiting.swap(queue->incoming);
    queue->posted.clear();
    queue->timers.clear();
  }
  for (auto& sent : waiting) finishSend(*sent, SentMessage::State::Failed, 0);
}

struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue = std::make_shared<ThreadQueue>();
  ~QueueHolder() { closeQueue(queue); }
};

bool matches(const MSG& msg, HWND window, UINT first, UINT last) {
  if (window != nullptr && msg.hwnd != window) return false;
  if (first == 0 && last == 0) return true;
  return msg.message >= first && msg.message <= last;
}

void runSent(SentMessage& sent) {
  WNDPROC proc = nullptr;
  {
    std::lock_guard<std::mutex> guard(registry().lock);
    if (std::shared_ptr<Window> window = findLocked(sent.window)) proc = window->proc;
  }
  if (proc == nullptr) {
    finishSend(sent, SentMessage::State::Failed, 0);
    return;
  }
  LRESULT result = proc(sent.window, sent.message, sent.wParam, sent.lParam);
  finishSend(sent, SentMessage::State::Done, result);
}

// Runs waiting sends, then takes (or looks at) the first matching posted message, a quit, or a
// due timer. Waits for one when `wait` is set.
bool takeMessage(ThreadQueue& queue, MSG* out, HWND window, UINT first, UINT last, bool remove,
                 bool wait, int* sendsRun) {
  std::unique_lock<std::mutex> lock(queue.lock);
  for (;;) {
    if (!queue.incoming.empty()) {
      std::shared_ptr<SentMessage> sent = queue.incoming.front();
      queue.incoming.pop_front();
      lock.unlock();
      runSent(*sent);
      if (sendsRun) ++*sendsRun;
      lock.lock();
      continue;
    }
    auto posted = std::find_if(queue.posted.begin(), queue.posted.end(),
                               [&](const MSG& m) { return matches(m, window, first, last); });
    if (posted != queue.posted.end()) {
      *out = *posted;
      if (remove) queue.posted.erase(posted);
      return true;
    }
    if (queue.quit) {
      *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, 0, {0, 0}};
      if (remove) queue.quit = false;
      return true;
    }
    const std::uint64_t now = ClockMs();
    Timer* dueTimer = nullptr;
    for (Timer& timer : queue.timers) {
      MSG probe{timer.window, WM_TIMER, timer.id, 0, 0, {0, 0}};
      if (timer.due <= now && matches(probe, window, first, last) &&
          (dueTimer == nullptr || timer.due < dueTimer->due))
        dueTimer = &timer;
    }
    if (dueTimer != nullptr) {
      *out = MSG{dueTimer->window, WM_TIMER, dueTimer->id,
                 reinterpret_cast<LPARAM>(dueTimer->proc), static_cast<DWORD>(now), {0, 0}};
      if (remove) dueTimer->due = now + dueTimer->period;
      return true;
    }
    if (!wait) return false;
    Clock& clock = CurrentClock();
    if (&clock == &SystemClock()) {
      std::uint64_t next = UINT64_MAX;
      for (const Timer& timer : queue.timers) next = std::min(next, timer.due);
      if (next == UINT64_MAX)
        queue.wake.wait(lock);
      else
        queue.wake.wait_for(lock, std::chrono::milliseconds(next - now));
    } else {
      // A fake clock moves without telling anyone: look again soon.
      queue.wake.wait_for(lock, std::chrono::milliseconds(1));
    }
  }
}

}  // namespace

std::shared_ptr<ThreadQueue> currentQueue() {
  thread_local QueueHolder holder;
  return holder.queue;
}

void finishSend(SentMessage& sent, SentMessage::State state, LRESULT result) {
  std::lock_guard<std::mutex> guard(sent.sender->lock);
  sent.state = state;
  sent.result = result;
  sent.sender->wake.notify_all();
}

void dropWindowsFromQueue(ThreadQueue& queue, const std::vector<HWND>& windows, bool sendsOnly) {
  auto listed = [&](HWND w) { return std::find(windows.begin(), windows.end(), w) != windows.end(); };
  std::vector<std::shared_ptr<SentMessage>> failed;
  {
    std::lock_guard<std::mutex> guard(queue.lock);
    for (auto it = queue.incoming.begin(); it != queue.incoming.end();) {
      if (listed((*it)->window)) {
        failed.push_back(*it);
        it = queue.incoming.erase(it);
      } else {
        ++it;
      }
    }
    if (!sendsOnly) {
      std::erase_if(queue.posted, [&](const MSG& m) { return listed(m.hwnd); });
      std::erase_if(queue.timers, [&](const Timer& t) { return listed(t.window); });
    }
  }
  // Woken outside the queue lock: a sender's lock is never taken under another queue's.
  for (auto& sent : failed) finishSend(*sent, SentMessage::State::Failed, 0);
}

}  // namespace detail

using namespace detail;

bool TrySendMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  std::shared_ptr<ThreadQueue> me = currentQueue();
  auto sent = std::make_shared<SentMessage>();
  WNDPROC direct = nullptr;
  {
    std::lock_guard<std::mutex> guard(registry().lock);
    std::shared_ptr<Window> window = findLocked(handle);
    if (!window) return false;
    if (window->owner == me) {
      direct = window->proc;
    } else {
      if (window->refusesSends) return false;
      *sent = SentMessage{handle, message, wParam, lParam, me};
      // Queued under the registry lock, so a refusal or destruction either sees it or is seen.
      std::lock_guard<std::mutex> queueGuard(window->owner->lock);
      if (window->owner->closed) return false;
      window->owner->incoming.push_back(sent);
      window->owner->wake.notify_all();
    }
  }
  if (direct != nullptr) {
    LRESULT r = direct(handle, message, wParam, lParam);
    if (result) *result = r;
    return true;
  }
  std::unique_lock<std::mutex> lock(me->lock);
  while (sent->state == SentMessage::State::Waiting) {
    if (!me->incoming.empty()) {
      // Run what others send to this thread meanwhile, so two threads sending to each other
      // do not wait for ever.
      std::shared_ptr<SentMessage> other = me->incoming.front();
      me->incoming.pop_front();
      lock.unlock();
      runSent(*other);
      lock.lock();
      continue;
    }
    me->wake.wait(lock);
  }
  if (sent->state != SentMessage::State::Done) return false;
  if (result) *result = sent->result;
  return true;
}

void SetSendsRefused(HWND handle, bool refused) {
  std::shared_ptr<ThreadQueue> owner;
  {
    std::lock_guard<std::mutex> guard(registry().lock);
    std::shared_ptr<Window> window = findLocked(handle);
    if (!window) return;
    window->refusesSends = refused;
    owner = window->owner;
  }
  if (refused) dropWindowsFromQueue(*owner, {handle}, true);
}

int PumpPending() {
  std::shared_ptr<ThreadQueue> me = currentQueue();
  int count = 0;
  MSG msg;
  while (takeMessage(*me, &msg, nullptr, 0, 0, true, false, &count)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // left for the thread's own loop
      break;
    }
    DispatchMessageA(&msg);
    ++count;
  }
  return count;
}

}  // namespace fvplat

using namespace fvplat;
using namespace fvplat::detail;

BOOL PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{handle, message, wParam, lParam, static_cast<DWORD>(ClockMs()), {0, 0}};
  std::shared_ptr<ThreadQueue> queue;
  if (handle == nullptr) {
    queue = currentQueue();
  } else {
    std::lock_guard<std::mutex> guard(registry().lock);
    std::shared_ptr<Window> window = findLocked(handle);
    if (!window) return FALSE;
    queue = window->owner;
    // Queued under the registry lock, so a destruction after this drops the message.
    std::lock_guard<std::mutex> queueGuard(queue->lock);
    if (queue->closed) return FALSE;
    queue->posted.push_back(msg);
    queue->wake.notify_all();
    return TRUE;
  }
  std::lock_guard<std::mutex> queueGuard(queue->lock);
  queue->posted.push_back(msg);
  queue->wake.notify_all();
  return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  return TrySendMessage(window, message, wParam, lParam, &result) ? result : 0;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT first, UINT last) {
  if (msg == nullptr) return -1;
  takeMessage(*currentQueue(), msg, window, first, last, true, true, nullptr);
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
  if (msg == nullptr) return FALSE;
  return takeMessage(*currentQueue(), msg, window, first, last, (remove & PM_REMOVE) != 0, false,
                     nullptr)
             ? TRUE
             : FALSE;
}

BOOL TranslateMessage(const MSG* /*msg*/) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg == nullptr) return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
    return 0;
  }
  if (msg->hwnd == nullptr) return 0;
  WNDPROC proc = nullptr;
  {
    std::lock_guard<std::mutex> guard(registry().lock);
    if (std::shared_ptr<Window> window = findLocked(msg->hwnd)) proc = window->proc;
  }
  return proc ? proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

void PostQuitMessage(int exitCode) {
  std::shared_ptr<ThreadQueue> me = currentQueue();
  std::lock_guard<std::mutex> guard(me->lock);
  me->quit = true;
  me->quitCode = exitCode;
  me->wake.notify_all();
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  if (message == WM_CLOSE) DestroyWindow(window);
  return 0;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(window, message, wParam, lParam) : 0;
}

LONG_PTR SetWindowLongPtrA(HWND handle, int index, LONG_PTR value) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  if (!window) return 0;
  LONG_PTR previous = 0;
  if (index == GWLP_WNDPROC) {
    previous = reinterpret_cast<LONG_PTR>(window->proc);
    window->proc = value != 0 ? reinterpret_cast<WNDPROC>(value) : &DefWindowProcA;
  } else if (index == GWLP_USERDATA) {
    previous = window->userData;
    window->userData = value;
  }
  return previous;
}

LONG_PTR GetWindowLongPtrA(HWND handle, int index) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> window = findLocked(handle);
  if (!window) return 0;
  if (index == GWLP_WNDPROC) return reinterpret_cast<LONG_PTR>(window->proc);
  if (index == GWLP_USERDATA) return window->userData;
  return 0;
}

UINT_PTR SetTimer(HWND handle, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  std::shared_ptr<ThreadQueue> queue;
  if (handle == nullptr) {
    queue = currentQueue();
    static std::atomic<UINT_PTR> nextThreadTimer{0x7FFF0000u};
    id = nextThreadTimer.fetch_add(1);
  } else {
    std::lock_guard<std::mutex> guard(registry().lock);
    std::shared_ptr<Window> window = findLocked(handle);
    if (!window) return 0;
    queue = window->owner;
  }
  const std::uint64_t due = ClockMs() + elapseMs;
  std::lock_guard<std::mutex> guard(queue->lock);
  auto it = std::find_if(queue->timers.begin(), queue->timers.end(),
                         [&](const Timer& t) { return t.window == handle && t.id == id; });
  Timer timer{handle, id, elapseMs, due, proc};
  if (it != queue->timers.end())
    *it = timer;
  else
    queue->timers.push_back(timer);
  queue->wake.notify_all();
  return id;
}

BOOL KillTimer(HWND handle, UINT_PTR id) {
  std::shared_ptr<ThreadQueue> queue;
  if (handle == nullptr) {
    queue = currentQueue();
  } else {
    std::lock_guard<std::mutex> guard(registry().lock);
    std::shared_ptr<Window> window = findLocked(handle);
    if (!window) return FALSE;
    queue = window->owner;
  }
  std::lock_guard<std::mutex> guard(queue->lock);
  std::size_t removed = std::erase_if(
      queue->timers, [&](const Timer& t) { return t.window == handle && t.id == id; });
  return removed ? TRUE : FALSE;
}
