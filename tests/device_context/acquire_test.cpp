#include <cmath>
#include <cstring>

#include "api/last_error.h"
#include "context/device_ops.h"
#include "params/param_block.h"
#include "sim_fixture.h"

namespace {

using dravex::lookupContext;
using fvtest::SimDeviceTest;
using fvtest::waitFor;

class Acquire : public SimDeviceTest {
 protected:
  dravex::ContextRef plugAndOpen(int type, int width, int height, int cold = 0) {
    FvSimDeviceConfig config{};
    EXPECT_TRUE(fvsim_default_config(type, &config));
    config.width = width;
    config.height = height;
    config.cold = cold;
    EXPECT_EQ(fvsim_plug(&config), 0);
    return lookupContext(open());
  }
  // The frame the worker holds after the first placement of finger 7.
  std::vector<std::uint8_t> firstHeldFrame(const dravex::ContextRef& context) {
    fvsim_set_finger_seed(0, 7);
    fvsim_set_finger(0, 1);
    EXPECT_TRUE(waitFor([&] { return context->newFrame != 0; }));
    std::lock_guard<std::mutex> lock(context->frameLock);
    return {context->frame.begin(), context->frame.end()};
  }
};

TEST_F(Acquire, EverySupportedRawSizeGivesAHeldFrame) {
  struct Case {
    int type, width, height, cold;
  };
  for (const Case& c : {Case{1, 640, 480, 0}, Case{1, 1280, 1024, 0}, Case{2, 320, 240, 0},
                        Case{3, 640, 480, 1}}) {
    SCOPED_TRACE(::testing::Message() << "type " << c.type << ", " << c.width << " x " << c.height
                                      << (c.cold ? ", cold" : ""));
    fvsim_reset();
    auto context = plugAndOpen(c.type, c.width, c.height, c.cold);
    ASSERT_NE(context, nullptr);
    fvsim_set_finger(0, 1);
    EXPECT_TRUE(waitFor([&] { return context->newFrame != 0; }));
    FvDevHandle handle = handleOf(context);
    context.reset();
    dravex::closeDeviceContext(handle);
    forget(handle);
  }
}

TEST_F(Acquire, AnUnsupportedRawSizeGivesNoFrameAndError4) {
  auto context = plugAndOpen(1, 400, 300);
  ASSERT_NE(context, nullptr);
  dravex::takeLastError();
  fvsim_set_finger(0, 1);
  ASSERT_TRUE(waitFor([] { return dravex::takeLastError() == 4; }));
  fvsim_trace_clear();
  ASSERT_TRUE(waitFor([] { return fvtest::vendorRequests(0xB2).size() >= 5; }));
  EXPECT_EQ(context->newFrame, 0) << "the buffer's old content is no capture";
  EXPECT_TRUE(fvtest::vendorRequests(0xB3).empty()) << "nothing measured, nothing steered";
}

TEST_F(Acquire, AFailedGrabGivesError6AndTheWorkerTriesAgain) {
  auto context = plugAndOpen(1, 640, 480);
  ASSERT_NE(context, nullptr);
  {
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    fvsim_inject_request(0, 0xB2, 3);
    fvsim_set_finger(0, 1);
    dravex::takeLastError();
  }
  ASSERT_TRUE(waitFor([&] { return context->newFrame != 0; }));
  // The arrival's throw-away grab takes the first refusal; the next two are acquisition steps.
  EXPECT_EQ(dravex::takeLastError(), 6);
}

TEST_F(Acquire, TheBlocksMirrorFlagMirrorsEveryFrame) {
  auto plain = plugAndOpen(1, 640, 480);
  ASSERT_NE(plain, nullptr);
  const std::vector<std::uint8_t> asSeen = firstHeldFrame(plain);
  FvDevHandle handle = handleOf(plain);
  plain.reset();
  dravex::closeDeviceContext(handle);
  forget(handle);

  // The same scene again, on a device whose stored block asks for mirroring.
  fvsim_reset();
  FvSimDeviceConfig config{};
  fvsim_default_config(1, &config);
  ASSERT_EQ(fvsim_plug(&config), 0);
  FvDevHandle probe = open();
  auto stored = fvtest::deviceMemory();
  dravex::closeDeviceContext(probe);
  forget(probe);
  fvsim_reset();
  ASSERT_EQ(fvsim_plug(&config), 0);
  std::int32_t mirror = 1;
  std::memcpy(stored.data() + 32, &mirror, 4);
  fvsim_set_memory(0, 0, stored.data(), 96);
  auto mirrored = lookupContext(open());
  ASSERT_NE(mirrored, nullptr);
  const std::vector<std::uint8_t> flipped = firstHeldFrame(mirrored);
  // The mirrored device measures another part of the scene and so settles at another
  // exposure: compare by correlation, which brightness and contrast do not change.
  auto correlation = [&](bool turned) {
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    const double n = 320.0 * 240.0;
    for (int r = 0; r < 240; ++r) {
      for (int j = 0; j < 320; ++j) {
        const double a = flipped[r * 320 + j], b = asSeen[r * 320 + (turned ? 319 - j : j)];
        sa += a, sb += b, saa += a * a, sbb += b * b, sab += a * b;
      }
    }
    return (sab - sa * sb / n) / std::sqrt((saa - sa * sa / n) * (sbb - sb * sb / n));
  };
  const double same = correlation(true), other = correlation(false);
  EXPECT_GT(same, 0.99);
  EXPECT_GT(1 - other, 20 * (1 - same)) << same << " " << other;
}

}  // namespace
