#include <atomic>
#include <stdexcept>

#include "blob/image_blob.h"
#include "context/device_ops.h"
#include "fvplatform/window.h"
#include "sim_fixture.h"

namespace {

using dravex::lookupContext;
using fvtest::SimDeviceTest;
using fvtest::vendorRequests;
using fvtest::waitFor;

class Worker : public SimDeviceTest {
 protected:
  dravex::ContextRef openWithFinger(HWND preview = nullptr) {
    fvsim_plug_type(1);
    FvDevHandle handle = open(0, preview);
    dravex::ContextRef context = lookupContext(handle);
    EXPECT_NE(context, nullptr);
    return context;
  }
  static bool holdsFrame(const dravex::ContextRef& c) { return c->newFrame != 0; }

  std::vector<std::uint8_t> blob_ = std::vector<std::uint8_t>(100000);
  bool take(const dravex::ContextRef& c) {
    unsigned length = static_cast<unsigned>(blob_.size());
    return dravex::takeHeldFrame(c.get(), blob_.data(), &length);
  }
  // Clears the trace and lets the worker run at least `turns` finger polls.
  static void letTurnsPass(int turns) {
    fvsim_trace_clear();
    ASSERT_TRUE(waitFor([&] { return vendorRequests(0xB1).size() >= static_cast<std::size_t>(turns); }));
  }
  static bool grabbed() { return !vendorRequests(0xB2).empty(); }
};

TEST_F(Worker, OneHeldFramePerPlacementUntilACallerTakesIt) {
  auto context = openWithFinger();
  EXPECT_FALSE(take(context)) << "no finger, no frame";
  fvsim_set_finger(0, 1);
  ASSERT_TRUE(waitFor([&] { return holdsFrame(context); }));
  EXPECT_TRUE(dravex::isFingerPresent(context.get()));
  letTurnsPass(20);
  EXPECT_FALSE(grabbed()) << "no acquisition while a frame waits";

  ASSERT_TRUE(take(context));
  // The finger stays: the worker acquires again.
  ASSERT_TRUE(waitFor(grabbed));
  ASSERT_TRUE(waitFor([&] { return holdsFrame(context); }));
}

TEST_F(Worker, AFrameThatDoesNotFitIsKeptForTheNextCall) {
  auto context = openWithFinger();
  fvsim_set_finger(0, 1);
  ASSERT_TRUE(waitFor([&] { return holdsFrame(context); }));
  unsigned size = 0;
  {
    std::lock_guard<std::mutex> lock(context->frameLock);
    size = static_cast<unsigned>(dravex::encodeImageBlob(context->frame.data()).size());
  }
  ASSERT_GT(size, 0u);
  // The blob must be strictly smaller than the capacity.
  for (unsigned capacity : {0u, 16u, size}) {
    unsigned length = capacity;
    EXPECT_FALSE(dravex::takeHeldFrame(context.get(), blob_.data(), &length)) << capacity;
    EXPECT_EQ(length, capacity);
    EXPECT_TRUE(holdsFrame(context)) << "kept after a capacity of " << capacity;
  }
  unsigned length = size + 1;
  EXPECT_TRUE(dravex::takeHeldFrame(context.get(), blob_.data(), &length));
  EXPECT_EQ(length, size);
}

TEST_F(Worker, LiftingTheFingerClearsAnUntakenFrameAndTheBacklight) {
  auto context = openWithFinger();
  fvsim_set_finger(0, 1);
  ASSERT_TRUE(waitFor([&] { return holdsFrame(context); }));
  EXPECT_EQ(context->backlight, 1);
  EXPECT_NE(fvtest::deviceState().backlight[0], 0) << "the on pattern went out";
  fvsim_set_finger(0, 0);
  ASSERT_TRUE(waitFor([&] { return context->fingerState == 0; }));
  EXPECT_FALSE(holdsFrame(context));
  EXPECT_EQ(context->backlight, 0);
  EXPECT_FALSE(take(context));
  const FvSimDeviceState state = fvtest::deviceState();
  EXPECT_EQ(std::vector<unsigned char>(state.backlight, state.backlight + 8), std::vector<unsigned char>(8, 0));
}

// A frame from an earlier placement would score as the same image: each placement must hand
// out a frame of its own, for the same finger and for another one put down in its place.
TEST_F(Worker, EveryPlacementHandsOutAFrameOfItsOwn) {
  auto context = openWithFinger();
  std::vector<std::vector<std::uint8_t>> frames;
  for (int placement = 0; placement < 12; ++placement) {
    fvsim_set_finger_seed(0, placement < 8 ? 4242 : 4243);
    fvsim_set_finger(0, 1);
    ASSERT_TRUE(waitFor([&] { return holdsFrame(context); })) << placement;
    unsigned length = static_cast<unsigned>(blob_.size());
    ASSERT_TRUE(dravex::takeHeldFrame(context.get(), blob_.data(), &length)) << placement;
    // The finger stays a moment: the worker acquires again, a frame of this placement.
    ASSERT_TRUE(waitFor([&] { return holdsFrame(context); })) << placement;
    fvsim_set_finger(0, 0);
    ASSERT_TRUE(waitFor([&] { return context->fingerState == 0; })) << placement;
    std::vector<std::uint8_t> pixels(76800);
    ASSERT_TRUE(dravex::decodeImageBlob({blob_.begin(), blob_.begin() + length}, pixels.data()).ok);
    for (std::size_t k = 0; k < frames.size(); ++k) {
      EXPECT_NE(frames[k], pixels) << "placement " << placement << " gave the frame of placement " << k;
    }
    frames.push_back(std::move(pixels));
  }
}

TEST_F(Worker, UnplugAndReplugReopenTheDeviceWithOneWorker) {
  auto context = openWithFinger();
  fvsim_set_finger(0, 1);
  ASSERT_TRUE(waitFor([&] { return holdsFrame(context); }));
  ASSERT_TRUE(take(context));

  fvsim_unplug(0);
  EXPECT_FALSE(dravex::contextIsOpen(context.get())) << "no device present";
  ASSERT_TRUE(waitFor([&] { return context->openFlag == 0; })) << "the worker's poll failed";
  EXPECT_FALSE(dravex::isFingerPresent(context.get()));
  EXPECT_FALSE(dravex::setLedLevels(context.get(), 5, 0));

  {
    // The finger lies there when the worker first looks at the replugged device.
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    ASSERT_EQ(fvsim_plug_type(1), 0);
    fvsim_set_finger(0, 1);
    fvsim_trace_clear();
  }
  ASSERT_TRUE(waitFor([&] { return context->openFlag == 1; }));
  EXPECT_TRUE(dravex::contextIsOpen(context.get()));
  EXPECT_EQ(dravex::runningWorkerCount(), 1);
  // Seen anew: backlight on again and a fresh frame.
  ASSERT_TRUE(waitFor([&] { return holdsFrame(context); }));
  bool backlightOn = false;
  for (const auto& r : vendorRequests(0xB5)) backlightOn |= !r.data.empty() && r.data[0] != 0;
  EXPECT_TRUE(backlightOn);
  EXPECT_TRUE(take(context));
}

TEST_F(Worker, DrawsThePreviewAndInvalidatesItAtTheEnd) {
  HWND window = fvplat::CreateChildWindow(nullptr, 160, 120);
  auto context = openWithFinger(window);
  fvsim_set_finger(0, 1);
  ASSERT_TRUE(waitFor([&] { return holdsFrame(context); }));
  fvplat::SurfaceSnapshot drawn = fvplat::ReadSurface(window);
  EXPECT_EQ(drawn.bgra[(60 * 160 + 80) * 4 + 3], 255) << "the frame reached the window";
  EXPECT_EQ(drawn.invalidations, 0);

  FvDevHandle handle = handleOf(context);
  context.reset();
  dravex::closeDeviceContext(handle);
  forget(handle);
  fvplat::SurfaceSnapshot closed = fvplat::ReadSurface(window);
  EXPECT_EQ(closed.invalidations, 1);
  EXPECT_TRUE(closed.erase);
  DestroyWindow(window);
}

TEST_F(Worker, APreviewWindowDestroyedWhileCapturingIsLeftAlone) {
  HWND window = fvplat::CreateChildWindow(nullptr, 64, 48);
  auto context = openWithFinger(window);
  fvsim_set_finger(0, 1);
  DestroyWindow(window);
  ASSERT_TRUE(waitFor([&] { return holdsFrame(context); }));
  EXPECT_TRUE(take(context));
}

// A fake clock whose first settling pause after the backlight goes on throws.
class ThrowingClock final : public fvplat::Clock {
 public:
  std::uint64_t NowMs() override { return inner_.NowMs(); }
  void SleepMs(std::uint32_t ms) override {
    if (ms == 35 && throwsLeft_.fetch_sub(1) > 0) throw std::runtime_error("no time");
    inner_.SleepMs(ms);
  }

 private:
  fvplat::FakeClock inner_;
  std::atomic<int> throwsLeft_{1};
};

TEST_F(Worker, AnExceptionInATurnStaysInTheWorker) {
  ThrowingClock clock;
  const auto onClock = workersOn(clock);
  auto context = openWithFinger();
  fvsim_trace_clear();
  fvsim_set_finger(0, 1);
  // The arrival is cut short by the exception; the next turn sees the finger again.
  EXPECT_TRUE(waitFor([&] { return holdsFrame(context); }));
  EXPECT_EQ(dravex::runningWorkerCount(), 1);
  int backlightOn = 0;
  for (const auto& r : vendorRequests(0xB5)) backlightOn += !r.data.empty() && r.data[0] != 0;
  EXPECT_EQ(backlightOn, 2);
  FvDevHandle handle = handleOf(context);
  context.reset();
  dravex::closeDeviceContext(handle);
  forget(handle);
}

}  // namespace

namespace {

TEST_F(Worker, CloseInvalidatesThePreviewAfterAFailedReopen) {
  HWND window = fvplat::CreateChildWindow(nullptr, 160, 120);
  auto context = openWithFinger(window);
  fvsim_inject(0, FVSIM_FAULT_FAIL, 1000000);  // the poll fails, and so does every reopen
  ASSERT_TRUE(waitFor([&] {
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    return context->openFlag == 0 && context->device == nullptr;
  }));
  FvDevHandle handle = handleOf(context);
  context.reset();
  dravex::closeDeviceContext(handle);
  forget(handle);
  EXPECT_EQ(fvplat::ReadSurface(window).invalidations, 1);
  DestroyWindow(window);
}

}  // namespace
