#pragma once
// Internal: the one registry of windows and the per-thread message queues behind them.
// Lock order: the registry lock before a queue's lock before a window's surface lock.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "fvplatform/dialog.h"
#include "fvplatform/messages.h"
#include "fvplatform/window.h"

namespace fvplat::detail {

struct ThreadQueue;

// A message sent across threads; its state is guarded by the sender's queue lock.
struct SentMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::shared_ptr<ThreadQueue> sender;
  enum class State { Waiting, Done, Failed } state = State::Waiting;
  LRESULT result = 0;
};

struct Timer {
  HWND window;
  UINT_PTR id;
  std::uint32_t period;
  std::uint64_t due;
  TIMERPROC proc;
};

struct ThreadQueue {
  std::thread::id thread = std::this_thread::get_id();
  std::mutex lock;
  std::condition_variable wake;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentMessage>> incoming;
  std::vector<Timer> timers;
  bool quit = false;
  int quitCode = 0;
  bool closed = false;  // the thread has ended
};

struct Window {
  // Guarded by the registry lock.
  std::uintptr_t parent = 0;
  std::shared_ptr<ThreadQueue> owner;
  WNDPROC proc = nullptr;
  LONG_PTR userData = 0;
  std::string caption;
  int id = 0;
  int x = 0;
  int y = 0;
  bool visible = true;
  bool minimised = false;
  bool topmost = false;
  bool closeGreyed = false;
  bool refusesSends = false;
  std::shared_ptr<ControlState> control;  // set for dialog controls
  // The surface, guarded by its own lock so drawing never waits on the registry.
  int width = 0;
  int height = 0;
  std::mutex surfaceLock;
  std::vector<std::uint8_t> bgra;
  int invalidations = 0;
  bool erase = false;
};

struct Registry {
  std::mutex lock;
  std::uintptr_t next = 1;
  std::vector<std::uintptr_t> order;  // creation order, for lookups by caption and children
  std::unordered_map<std::uintptr_t, std::shared_ptr<Window>> windows;
  std::unordered_map<std::uintptr_t, std::shared_ptr<Window>> surfaces;
};

Registry& registry();
std::uintptr_t keyOf(HWND window);
HWND handleOf(std::uintptr_t key);
// Caller holds the registry lock.
std::shared_ptr<Window> findLocked(HWND window);
std::shared_ptr<Window> findWindow(HWND window);

// The calling thread's queue, made on first use; closed when the thread ends.
std::shared_ptr<ThreadQueue> currentQueue();

// Completes a send and wakes its sender.
void finishSend(SentMessage& sent, SentMessage::State state, LRESULT result);
// Fails every waiting send to one of `windows` in `queue` and drops their posted messages and
// timers (all of them when `windows` is empty is not meant: pass the windows).
void dropWindowsFromQueue(ThreadQueue& queue, const std::vector<HWND>& windows, bool sendsOnly);

}  // namespace fvplat::detail
