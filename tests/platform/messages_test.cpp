#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "bounded_wait.h"
#include "fvplatform/clock.h"
#include "fvplatform/message_box.h"
#include "fvplatform/messages.h"
#include "fvplatform/window.h"

namespace {

constexpr UINT kPing = WM_USER + 1;

// What a window procedure saw, kept in the window's user data.
struct Seen {
  std::mutex lock;
  std::vector<std::pair<UINT, WPARAM>> messages;
  std::vector<std::thread::id> threads;
  void add(UINT m, WPARAM w) {
    std::lock_guard<std::mutex> guard(lock);
    messages.emplace_back(m, w);
    threads.push_back(std::this_thread::get_id());
  }
  std::vector<std::pair<UINT, WPARAM>> copy() {
    std::lock_guard<std::mutex> guard(lock);
    return messages;
  }
};

LRESULT recordingProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (auto* seen = reinterpret_cast<Seen*>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
    if (message != WM_CREATE && message != WM_DESTROY) seen->add(message, w);
  }
  if (message == kPing) return static_cast<LRESULT>(w) * 2 + l;
  return DefWindowProcA(window, message, w, l);
}

HWND makeWindow(Seen& seen, const char* caption = "", HWND parent = nullptr) {
  fvplat::WindowSpec spec;
  spec.caption = caption;
  spec.parent = parent;
  spec.proc = &recordingProc;
  HWND window = fvplat::CreatePlatformWindow(spec);
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&seen));
  return window;
}

// Pumps this thread's queue until `done` holds. When it never does, `window` goes: a send from
// another thread that waits on it then fails, so its thread can always be joined.
void PumpUntil(const std::function<bool()>& done, HWND window) {
  const auto pumped = [&] {
    if (done()) return true;
    fvplat::PumpPending();
    return done();
  };
  if (fvtest::WaitUntil(pumped, std::chrono::seconds(10))) return;
  ADD_FAILURE() << "what the other thread sent never ran here";
  DestroyWindow(window);
}

TEST(Messages, PostedMessagesRunInOrderOnTheOwnerThreadOnly) {
  Seen seen;
  HWND window = makeWindow(seen);
  std::thread poster([&] {
    for (WPARAM i = 0; i < 3; ++i) EXPECT_TRUE(PostMessageA(window, kPing, i, 0));
  });
  poster.join();
  EXPECT_TRUE(seen.copy().empty()) << "nothing runs before the owner pumps";
  EXPECT_EQ(fvplat::PumpPending(), 3);
  const std::vector<std::pair<UINT, WPARAM>> expected = {{kPing, 0}, {kPing, 1}, {kPing, 2}};
  EXPECT_EQ(seen.copy(), expected);
  for (auto id : seen.threads) EXPECT_EQ(id, std::this_thread::get_id());

  EXPECT_TRUE(PostMessageA(window, kPing, 9, 0));
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_EQ(fvplat::PumpPending(), 0) << "a destroyed window's messages are dropped";
  EXPECT_FALSE(PostMessageA(window, kPing, 0, 0)) << "the sender keeps what it passed";
}

TEST(Messages, SendRunsDirectlyOnTheOwnerAndWaitsForTheOwnersPumpElsewhere) {
  Seen seen;
  HWND window = makeWindow(seen);
  EXPECT_EQ(SendMessageA(window, kPing, 20, 1), 41);
  EXPECT_EQ(seen.copy().size(), 1u) << "a send on the owner thread runs before it returns";

  std::atomic<bool> returned{false};
  LRESULT answer = 0;
  std::thread sender([&] {
    answer = SendMessageA(window, kPing, 5, 2);
    returned = true;
  });
  // The send cannot complete until this thread pumps.
  PumpUntil([&] { return returned.load(); }, window);
  sender.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(answer, 12);
  ASSERT_EQ(seen.threads.size(), 2u);
  EXPECT_EQ(seen.threads[1], std::this_thread::get_id());
  DestroyWindow(window);
}

TEST(Messages, WaitingSendsFailWhenTheWindowRefusesThemOrIsDestroyed) {
  for (bool destroy : {false, true}) {
    Seen seen;
    HWND window = makeWindow(seen);
    std::atomic<int> started{0}, finished{0};
    std::vector<std::thread> senders;
    std::vector<int> delivered(3, -1);
    for (int i = 0; i < 3; ++i) {
      senders.emplace_back([&, i] {
        ++started;
        LRESULT r = 0;
        delivered[i] = fvplat::TrySendMessage(window, kPing, 1, 0, &r) ? 1 : 0;
        ++finished;
      });
    }
    while (started.load() < 3) std::this_thread::yield();
    // The senders may not have queued yet; a refusal or destruction must fail them either way.
    if (destroy)
      DestroyWindow(window);
    else
      fvplat::SetSendsRefused(window, true);
    // A send that stayed queued would hold its sender: after the bound it is run, then joined.
    EXPECT_TRUE(fvtest::WaitUntil([&] { return finished.load() == 3; }, std::chrono::seconds(10)))
        << "a send stayed queued";
    PumpUntil([&] { return finished.load() == 3; }, window);
    for (auto& t : senders) t.join();
    EXPECT_EQ(delivered, std::vector<int>(3, 0)) << (destroy ? "destroyed" : "refused");
    EXPECT_TRUE(seen.copy().empty());
    if (!destroy) {
      EXPECT_EQ(SendMessageA(window, kPing, 3, 0), 6) << "the owner's own sends still run";
      fvplat::SetSendsRefused(window, false);
      std::atomic<bool> sentAgain{false};
      std::thread again([&] {
        EXPECT_EQ(SendMessageA(window, kPing, 4, 0), 8);
        sentAgain = true;
      });
      PumpUntil([&] { return sentAgain.load(); }, window);
      again.join();
      DestroyWindow(window);
    }
  }
}

TEST(Messages, TwoThreadsSendingToEachOtherBothComplete) {
  Seen mine;
  HWND here = makeWindow(mine);
  std::atomic<HWND> there{nullptr};
  std::atomic<bool> done{false};
  Seen theirs;
  std::thread other([&] {
    there = makeWindow(theirs);
    // Sends back while the main thread is blocked sending here.
    EXPECT_EQ(SendMessageA(here, kPing, 7, 0), 14);
    MSG msg;
    while (!done) {
      if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      std::this_thread::yield();
    }
  });
  while (there.load() == nullptr) std::this_thread::yield();
  EXPECT_EQ(SendMessageA(there.load(), kPing, 1, 0), 2);
  // The other thread's send to this thread ran while this one waited, or runs now.
  PumpUntil([&] { return !mine.copy().empty(); }, here);
  done = true;
  other.join();
  EXPECT_FALSE(IsWindow(there.load())) << "a thread's windows end with it";
  EXPECT_FALSE(PostMessageA(there.load(), kPing, 0, 0));
  DestroyWindow(here);
}

WNDPROC previousProc = nullptr;
LRESULT prefixProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == kPing && w == 100) return -1;  // handled here, not passed on
  return CallWindowProcA(previousProc, window, message, w, l);
}

TEST(Messages, SubclassingReplacesTheProcedureAndChainsToThePreviousOne) {
  Seen seen;
  HWND window = makeWindow(seen);
  previousProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&prefixProc)));
  EXPECT_EQ(previousProc, &recordingProc);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&prefixProc));
  EXPECT_EQ(SendMessageA(window, kPing, 100, 0), -1);
  EXPECT_EQ(SendMessageA(window, kPing, 3, 0), 6);
  EXPECT_EQ(seen.copy().size(), 1u);
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
  EXPECT_EQ(SendMessageA(window, kPing, 100, 0), 200) << "restored";
  DestroyWindow(window);
}

TEST(Timers, FireWhenDueOnThePlatformClockUntilKilled) {
  fvplat::ScopedFakeClock fake;
  Seen seen;
  HWND window = makeWindow(seen);
  EXPECT_EQ(SetTimer(window, 1, 1500, nullptr), 1u);
  fake.clock().Advance(1499);
  EXPECT_EQ(fvplat::PumpPending(), 0);
  fake.clock().Advance(1);
  EXPECT_EQ(fvplat::PumpPending(), 1);
  EXPECT_EQ(seen.copy().back(), (std::pair<UINT, WPARAM>{WM_TIMER, 1}));
  EXPECT_EQ(fvplat::PumpPending(), 0) << "the next period has not passed";

  // Setting it again restarts its period; a timer set from another thread fires on the owner.
  fake.clock().Advance(1000);
  std::thread setter([&] { SetTimer(window, 1, 1500, nullptr); SetTimer(window, 11, 200, nullptr); });
  setter.join();
  fake.clock().Advance(499);
  EXPECT_EQ(fvplat::PumpPending(), 1);
  EXPECT_EQ(seen.copy().back(), (std::pair<UINT, WPARAM>{WM_TIMER, 11}));
  EXPECT_TRUE(KillTimer(window, 11));
  EXPECT_FALSE(KillTimer(window, 11));
  fake.clock().Advance(1001);
  EXPECT_EQ(fvplat::PumpPending(), 1);
  EXPECT_EQ(seen.copy().back(), (std::pair<UINT, WPARAM>{WM_TIMER, 1}));
  EXPECT_EQ(seen.threads.back(), std::this_thread::get_id());
  EXPECT_TRUE(KillTimer(window, 1));
  fake.clock().Advance(10000);
  EXPECT_EQ(fvplat::PumpPending(), 0);
  DestroyWindow(window);
  EXPECT_EQ(SetTimer(window, 1, 10, nullptr), 0u);
}

TEST(Messages, GetMessageWaitsForAPostAndEndsOnQuit) {
  Seen seen;
  HWND window = makeWindow(seen);
  std::thread poster([&] {
    PostMessageA(window, kPing, 1, 0);
    PostMessageA(window, WM_CLOSE, 0, 0);
  });
  // A quit that never comes ends the loop at a timer of the system clock instead.
  const UINT_PTR giveUp = SetTimer(nullptr, 0, 10000, nullptr);
  MSG msg;
  int loops = 0;
  while (GetMessageA(&msg, nullptr, 0, 0)) {
    if (msg.message == WM_TIMER && msg.wParam == giveUp) {
      ADD_FAILURE() << "no quit within 10 s";
      break;
    }
    DispatchMessageA(&msg);
    if (!IsWindow(window)) PostQuitMessage(3);
    ++loops;
  }
  KillTimer(nullptr, giveUp);
  poster.join();
  EXPECT_EQ(loops, 2);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
}

TEST(Windows, CaptionLookupPlacementTopmostAndChildren) {
  Seen seen;
  HWND main = makeWindow(seen, "主窗口");
  HWND child = makeWindow(seen, "主窗口", main);
  EXPECT_EQ(FindWindowA(nullptr, "主窗口"), main) << "only top-level windows are found";
  EXPECT_EQ(FindWindowA(nullptr, "other"), nullptr);
  EXPECT_EQ(GetParent(child), main);
  EXPECT_EQ(fvplat::ChildWindows(main), std::vector<HWND>{child});

  WINDOWPLACEMENT p{};
  ASSERT_TRUE(GetWindowPlacement(main, &p));
  EXPECT_EQ(p.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
  p.showCmd = SW_SHOWMINIMIZED;
  SetWindowPlacement(main, &p);
  EXPECT_TRUE(IsIconic(main));
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_TRUE(ShowWindow(main, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(main));
  GetWindowPlacement(main, &p);
  EXPECT_EQ(p.showCmd, static_cast<UINT>(SW_HIDE));
  p.showCmd = SW_SHOWNORMAL;
  SetWindowPlacement(main, &p);
  EXPECT_FALSE(IsIconic(main));
  EXPECT_FALSE(fvplat::IsTopmost(main));
  SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  EXPECT_TRUE(fvplat::IsTopmost(main));
  EXPECT_TRUE(IsWindowVisible(main));

  char text[4];
  EXPECT_EQ(GetWindowTextA(main, text, sizeof text), 3) << "cut to the buffer";
  SetWindowTextA(child, "abc");
  EXPECT_EQ(fvplat::WindowText(child), "abc");
  fvplat::SetCloseGreyed(main, true);
  EXPECT_TRUE(fvplat::IsCloseGreyed(main));

  DestroyWindow(main);
  EXPECT_FALSE(IsWindow(child)) << "children go with their parent";
  EXPECT_EQ(FindWindowA(nullptr, "主窗口"), nullptr);
}

TEST(MessageBoxes, RecordedAndAnsweredByThePolicy) {
  fvplat::ScopedFakeClock fake;
  fvplat::ClearMessageBoxLog();
  fvplat::MessageBoxPolicy previous = fvplat::SetMessageBoxPolicy({});
  // The default lets a self-closing box run out its time on the platform clock.
  EXPECT_EQ(MessageBoxTimeoutA(nullptr, "正文", "提示", MB_OK, 0, 3000), MB_TIMEDOUT);
  EXPECT_EQ(fake.clock().NowMs(), 3000u);
  EXPECT_EQ(MessageBoxA(nullptr, "plain", "c", MB_OK), IDOK);
  fvplat::SetMessageBoxPolicy(fvplat::AnswerAtOnce(IDCANCEL));
  EXPECT_EQ(MessageBoxTimeoutA(nullptr, "x", "y", MB_OK, 0, 3000), IDCANCEL);
  EXPECT_EQ(fake.clock().NowMs(), 3000u);
  std::vector<fvplat::MessageBoxCall> log = fvplat::MessageBoxLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].caption, "提示");
  EXPECT_EQ(log[0].text, "正文");
  EXPECT_EQ(log[0].timeoutMs, 3000u);
  EXPECT_EQ(log[1].timeoutMs, 0u);
  fvplat::SetMessageBoxPolicy(previous);
}

}  // namespace
