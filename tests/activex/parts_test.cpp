// The control's parts on their own: where the finger window shows its image, the timer base
// on the fake clock, the liveness prompts, the machine code and the upload client.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "control/orvek_time.h"
#include "dialogs/finger_dlg.h"
#include "dialogs/letterbox.h"
#include "fvplatform/clock.h"
#include "fvplatform/messages.h"
#include "fvplatform/window.h"
#include "recording/liveness_prompts.h"
#include "recording/machine_code.h"
#include "recording/upload_client.h"
#include "upload_listener.h"

namespace {

TEST(Letterbox, LargestFitWithAspectKeptAndCentred) {
  struct Case {
    int width, height;
    RECT expected;
  };
  // Worked by hand for a 320 x 240 image.
  const Case cases[] = {
      {320, 240, {0, 0, 320, 240}},    // unscaled at (0, 0)
      {400, 240, {40, 0, 360, 240}},   // wider: bars left and right
      {640, 300, {120, 0, 520, 300}},  // scale 1.25
      {320, 480, {0, 120, 320, 360}},  // taller: bars above and below
      {100, 100, {0, 12, 100, 87}},    // scale 0.3125: 100 x 75, offset 25 / 2
      {321, 240, {0, 0, 320, 240}},    // a slack of 1 halves to 0
      {333, 250, {0, 0, 333, 249}},    // 333 / 320 = 1.040625: 249.75 truncated
      {0, 240, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const RECT r = pellacor::LetterboxRect(c.width, c.height, 320, 240);
    EXPECT_EQ(r.left, c.expected.left) << c.width << "x" << c.height;
    EXPECT_EQ(r.top, c.expected.top) << c.width << "x" << c.height;
    EXPECT_EQ(r.right, c.expected.right) << c.width << "x" << c.height;
    EXPECT_EQ(r.bottom, c.expected.bottom) << c.width << "x" << c.height;
  }
}

// The pixel (B, G, R) of a window's surface at (x, y).
std::array<int, 3> Pixel(const fvplat::SurfaceSnapshot& s, int x, int y) {
  const std::uint8_t* p = &s.bgra[(static_cast<std::size_t>(y) * s.width + x) * 4];
  return {p[0], p[1], p[2]};
}

TEST(FingerWindow, PaintsItsGreyImageLetterboxedAndNeverErases) {
  HWND parent = fvplat::CreateChildWindow(nullptr, 400, 240);
  CFingerDlg dialog;
  ASSERT_TRUE(dialog.Create(parent, 400, 240));
  EXPECT_TRUE(IsWindowVisible(dialog.GetSafeHwnd()));
  ASSERT_EQ(dialog.Image().size(), 320u * 240u);
  EXPECT_EQ(dialog.Palette()[0], 0x000000u);
  EXPECT_EQ(dialog.Palette()[200], 0xC8C8C8u);
  // A marker row: the image's left half 200, right half 90.
  for (int x = 0; x < 320; ++x) dialog.Image()[120 * 320 + x] = x < 160 ? 200 : 90;
  // Something drawn into the window before (as the library's preview) stays in the bars.
  HDC dc = GetDC(dialog.GetSafeHwnd());
  std::vector<std::uint8_t> red(400 * 240 * 4);
  for (std::size_t i = 0; i < red.size(); i += 4) red[i + 2] = red[i + 3] = 255;
  fvplat::CopyToSurface(dc, 0, 0, 400, 240, red.data());
  ReleaseDC(dialog.GetSafeHwnd(), dc);

  EXPECT_EQ(SendMessageA(dialog.GetSafeHwnd(), WM_ERASEBKGND, 0, 0), TRUE);
  SendMessageA(dialog.GetSafeHwnd(), WM_PAINT, 0, 0);
  const auto s = fvplat::ReadSurface(dialog.GetSafeHwnd());
  ASSERT_EQ(s.width, 400);
  EXPECT_EQ(Pixel(s, 39, 120), (std::array<int, 3>{0, 0, 255}));   // bar: untouched
  EXPECT_EQ(Pixel(s, 40, 120), (std::array<int, 3>{200, 200, 200}));
  EXPECT_EQ(Pixel(s, 199, 120), (std::array<int, 3>{200, 200, 200}));
  EXPECT_EQ(Pixel(s, 200, 120), (std::array<int, 3>{90, 90, 90}));
  EXPECT_EQ(Pixel(s, 359, 120), (std::array<int, 3>{90, 90, 90}));
  EXPECT_EQ(Pixel(s, 360, 120), (std::array<int, 3>{0, 0, 255}));  // bar: untouched
  EXPECT_EQ(Pixel(s, 100, 119), (std::array<int, 3>{0, 0, 0}));     // the image is black elsewhere
  dialog.DestroyWindow();
  EXPECT_FALSE(dialog.HasWindow());
  DestroyWindow(parent);
}

TEST(FingerWindow, AtItsOwnSizeTheImageIsShownUnscaled) {
  CFingerDlg dialog;
  ASSERT_TRUE(dialog.Create(nullptr));
  for (int x = 0; x < 320; ++x) dialog.Image()[239 * 320 + x] = static_cast<std::uint8_t>(x % 256);
  SendMessageA(dialog.GetSafeHwnd(), WM_PAINT, 0, 0);
  const auto s = fvplat::ReadSurface(dialog.GetSafeHwnd());
  ASSERT_EQ(s.width, 320);
  ASSERT_EQ(s.height, 240);
  for (int x : {0, 1, 100, 255, 256, 319}) {
    EXPECT_EQ(Pixel(s, x, 239)[1], x % 256) << x;
  }
}

TEST(LivenessPrompts, SevenPromptsThenRoundAgain) {
  pellacor::LivenessPrompts prompts;
  const char* const expected[][2] = {
      {"{\"RETURNID\":70,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please face the camera\"}", "normal.wav"},
      {"{\"RETURNID\":71,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please turn left\"}", "left.wav"},
      {"{\"RETURNID\":72,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please turn right\"}", "right.wav"},
      {"{\"RETURNID\":73,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please look up\"}", "up.wav"},
      {"{\"RETURNID\":74,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please bow down\"}", "down.wav"},
      {"{\"RETURNID\":75,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please open your mouth\"}", "mouth.wav"},
      {"{\"RETURNID\":76,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please blink\"}", "eye.wav"},
  };
  for (int round = 0; round < 2; ++round) {
    for (const auto& e : expected) {
      const pellacor::LivenessPrompt* prompt = prompts.next();
      ASSERT_NE(prompt, nullptr);
      EXPECT_STREQ(prompt->text, e[0]);
      EXPECT_STREQ(prompt->voice, e[1]);
    }
  }
  EXPECT_EQ(prompts.step(), 8);
}

// A timer base that counts its ticks.
class CountingTimer final : public COrvekTime {
 public:
  ~CountingTimer() override { stopTimer(); }
  void onTimer() override { ++ticks; }
  std::atomic<int> ticks{0};
};

void AdvanceUntil(fvplat::FakeClock& clock, const std::atomic<int>& ticks, int wanted) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (ticks < wanted && std::chrono::steady_clock::now() < until) {
    clock.Advance(4000);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

TEST(OrvekTime, TicksEveryPeriodWhileRunningAndNoneAfterAStop) {
  fvplat::ScopedFakeClock fake;
  CountingTimer timer;
  EXPECT_FALSE(timer.isRunning());
  timer.setTimeoutSeconds(4);
  timer.startTimer();
  EXPECT_TRUE(timer.isRunning());
  AdvanceUntil(fake.clock(), timer.ticks, 3);
  EXPECT_GE(timer.ticks.load(), 3);
  timer.stopTimer();  // joins the timer thread: no tick runs after this
  EXPECT_FALSE(timer.isRunning());
  const int stopped = timer.ticks;
  fake.clock().Advance(40000);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(timer.ticks.load(), stopped);
  // A new timer replaces the old one.
  EXPECT_NE(timer.setTimer(1000), 0u);
  EXPECT_NE(timer.setTimer(1000), 0u);
  AdvanceUntil(fake.clock(), timer.ticks, stopped + 1);
  EXPECT_GT(timer.ticks.load(), stopped);
}

// Gives the timer thread time to see the fake clock where it is now.
void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(60)); }

void WaitForTicks(const std::atomic<int>& ticks, int wanted) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (ticks < wanted && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

TEST(OrvekTime, APeriodOfFourSecondsTicksAtFourThousandMilliseconds) {
  fvplat::ScopedFakeClock fake;
  CountingTimer timer;
  timer.setTimeoutSeconds(4);
  timer.startTimer();
  for (int tick = 1; tick <= 2; ++tick) {
    fake.clock().Advance(3999);
    Settle();
    EXPECT_EQ(timer.ticks.load(), tick - 1) << "tick " << tick << " came early";
    fake.clock().Advance(1);
    WaitForTicks(timer.ticks, tick);
    EXPECT_EQ(timer.ticks.load(), tick);
  }
  timer.stopTimer();
}

TEST(MachineCode, TheProcessorsOwnCpuidLeafOne) {
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid(1, eax, ebx, ecx, edx);
  char expected[17];
  std::snprintf(expected, sizeof expected, "%08X%08X", edx, eax);
  EXPECT_EQ(pellacor::MachineCode(), expected);
  EXPECT_EQ(pellacor::MachineCode().size(), 16u);
#else
  EXPECT_EQ(pellacor::MachineCode(), "not available");
#endif
  EXPECT_EQ(pellacor::FormatMachineCode(0xBFEBFBFFu, 0x000906EAu), "BFEBFBFF000906EA");
  EXPECT_EQ(pellacor::FormatMachineCode(0, 0x6Au), "000000000000006A");
}

TEST(UploadClient, SendsTheTextWithItsZeroAndReadsTheNumber) {
  pellacortest::UploadListener service("42.5");
  ASSERT_TRUE(service.listening());
  const auto outcome = pellacor::SendToUploadService("http://up/x,/rec/a.mp4", service.port());
  EXPECT_TRUE(outcome.connected);
  EXPECT_TRUE(outcome.sent);
  EXPECT_EQ(outcome.answerBytes, 4);
  EXPECT_DOUBLE_EQ(outcome.answer, 42.5);
  const auto received = service.received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], std::string("http://up/x,/rec/a.mp4") + '\0');
}

TEST(UploadClient, AnAnswerLongerThanTenBytesIsCutAndSilenceEndsOnTheClock) {
  {
    pellacortest::UploadListener service("123456789012345");
    ASSERT_TRUE(service.listening());
    const auto outcome = pellacor::SendToUploadService("u,p", service.port());
    EXPECT_EQ(outcome.answerBytes, 10);
    EXPECT_DOUBLE_EQ(outcome.answer, 1234567890.0);
  }
  fvplat::ScopedFakeClock fake;
  pellacortest::UploadListener silent("");  // reads, never answers
  ASSERT_TRUE(silent.listening());
  const auto outcome = pellacor::SendToUploadService("u,p", silent.port(), 5000);
  EXPECT_TRUE(outcome.sent);
  EXPECT_EQ(outcome.answerBytes, 0);
  EXPECT_GE(fake.clock().NowMs(), 5000u);
}

TEST(UploadClient, NoServiceMeansNoConnectionAndNothingSent) {
  int port = 0;
  {
    pellacortest::UploadListener closed("1");  // a port that was free a moment ago
    port = closed.port();
  }
  const auto outcome = pellacor::SendToUploadService("u,p", port);
  EXPECT_FALSE(outcome.connected);
  EXPECT_FALSE(outcome.sent);
}

TEST(UploadClient, TheServiceIsOnPort9000UnlessAnotherPortIsNamed) {
  const struct {
    const char* setting;  // nullptr: not set
    int port;
  } cases[] = {{nullptr, 9000}, {"", 9000},      {"1234", 1234},  {"65535", 65535}, {"0", 9000},
               {"65536", 9000}, {"-1", 9000},    {"12ab", 9000},  {"abc", 9000}};
  for (const auto& c : cases) {
    if (c.setting == nullptr) {
      ::unsetenv("FV_UPLOAD_PORT");
    } else {
      ::setenv("FV_UPLOAD_PORT", c.setting, 1);
    }
    EXPECT_EQ(pellacor::UploadServicePort(), c.port) << (c.setting ? c.setting : "(not set)");
  }
  ::unsetenv("FV_UPLOAD_PORT");
}

TEST(UploadClient, FileNamesThatLeaveTheRecordingFolderAreRefused) {
  const struct {
    const char* name;
    bool plain;
  } cases[] = {
      {"20240101120000123.mp4", true}, {"a.b.mp4", true},     {"", false},
      {"..", false},                   {"../a.mp4", false},   {"a..mp4", false},
      {"sub/a.mp4", false},            {"sub\\a.mp4", false}, {"/etc/passwd", false},
      {"C:\\a.mp4", false},
  };
  for (const auto& c : cases) EXPECT_EQ(pellacor::IsPlainFileName(c.name), c.plain) << c.name;
}

}  // namespace
