#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>

#include "api/last_error.h"
#include "acquire/acquire_frame.h"
#include "context/device_ops.h"
#include "fvplatform/usb_requests.h"
#include "protocol/fvdev_protocol.h"
#include "sim_fixture.h"

namespace {

using dravex::lookupContext;
using fvtest::SimDeviceTest;
using fvtest::vendorRequests;
using fvtest::waitFor;

class Exposure : public SimDeviceTest {
 protected:
  // exposureUnit 0 keeps the simulator's usual brightness for the type.
  dravex::ContextRef openType(int type, unsigned productId, int exposureUnit = 0) {
    FvSimDeviceConfig config{};
    EXPECT_TRUE(fvsim_default_config(type, &config));
    config.productId = productId;
    config.cold = 0;
    if (exposureUnit) {
      config.exposureUnit = exposureUnit;
      config.maxExposure = 4 * exposureUnit;
    }
    EXPECT_EQ(fvsim_plug(&config), 0);
    return lookupContext(open());
  }
};

TEST_F(Exposure, ConvergesFromEverySensorsDefaultStart) {
  // One device per row of the sensor defaults, each with a sensor as bright as that row's start
  // exposure expects.
  struct Case {
    int type;
    unsigned productId;
    int exposureUnit;
  };
  for (const Case& c : {Case{2, 0x009B, 0}, Case{1, 0x8243, 0}, Case{3, 0x8243, 0}, Case{16, 0x8431, 0},
                        Case{18, 0x8232, 0}, Case{2, 0x1234, 850}}) {
    SCOPED_TRACE(::testing::Message() << "type " << c.type << " product " << std::hex << c.productId);
    fvsim_reset();
    auto context = openType(c.type, c.productId, c.exposureUnit);
    ASSERT_NE(context, nullptr);
    fvsim_trace_clear();
    fvsim_set_finger(0, 1);
    ASSERT_TRUE(waitFor([&] { return context->newFrame != 0; }));
    {
      std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
      EXPECT_GE(context->params.lastLevel, context->params.bandLow);
      EXPECT_LE(context->params.lastLevel, context->params.bandHigh);
    }
    EXPECT_LT(vendorRequests(0xB3).size(), 40u) << "exposure steps to the first accepted frame";
    FvDevHandle handle = handleOf(context);
    context.reset();
    dravex::closeDeviceContext(handle);
    forget(handle);
  }
}

// The library's exposure request lights the frame as the request worked out by hand does: the
// two-sensor form to sensor 0 for types 3, 16 and 18, four gain words 32 with the product's bits.
TEST_F(Exposure, SetExposureLightsTheFrameAsTheHandMadeRequest) {
  const struct {
    int type;
    unsigned productId;
    std::uint16_t wIndex, word;
  } cases[] = {{1, 0x8243, 0, 0xA0}, {2, 0x009B, 0, 0x20}, {3, 0x8243, 0, 0xA0},
               {16, 0x8431, 0, 0x60}, {18, 0x8232, 0, 0xA0}, {2, 0x8431, 0, 0x60}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "type " << c.type << " product " << std::hex << c.productId);
    fvsim_reset();
    auto context = openType(c.type, c.productId);
    ASSERT_NE(context, nullptr);
    fvsim_set_finger(0, 1);
    ASSERT_TRUE(waitFor([&] { return context->newFrame != 0; })) << "the finger is lit";
    {
      std::lock_guard<std::recursive_mutex> lock(context->deviceLock);  // the worker waits
      FvSimDeviceConfig config{};
      fvsim_default_config(c.type, &config);
      const int exposure = config.exposureUnit / 2;
      const auto size = static_cast<std::size_t>(config.width * config.height);
      std::vector<std::uint8_t> library(size), byHand(size);
      int bytes = 0;
      ASSERT_TRUE(dravex::setExposure(context.get(), exposure));
      ASSERT_TRUE(dravex::grabRawFrame(*context, library, &bytes));
      std::uint8_t data[10];
      fvplat::usb::PutU16(data, static_cast<std::uint16_t>(exposure));
      for (int g = 0; g < 4; ++g) fvplat::usb::PutU16(data + 2 + 2 * g, c.word);
      ASSERT_TRUE(dravex::FVDEVLib_ctrl_out(context->device.get(), 0xB3, c.wIndex, 0, data, 10));
      ASSERT_TRUE(dravex::grabRawFrame(*context, byHand, &bytes));
      EXPECT_EQ(library, byHand);
      EXPECT_GT(*std::max_element(library.begin(), library.end()), 60) << "a lit frame";
    }
    FvDevHandle handle = handleOf(context);
    context.reset();
    dravex::closeDeviceContext(handle);
    forget(handle);
  }
}

TEST_F(Exposure, ExportedStepMovesTheDeviceOrRefusesInsideTheBand) {
  auto context = openType(1, 0x1234);  // steps 128, 64, 32, 16 from 760
  ASSERT_NE(context, nullptr);
  int exposure = -1;
  dravex::takeLastError();
  EXPECT_EQ(dravex::exposureStep(context.get(), 80, &exposure), 0);
  EXPECT_EQ(dravex::takeLastError(), 5);
  EXPECT_EQ(exposure, -1);
  // The worker idles without a finger, so the exposure is ours to move.
  ASSERT_EQ(dravex::exposureStep(context.get(), 0, &exposure), 1);
  EXPECT_EQ(exposure, 888);
  EXPECT_EQ(fvtest::deviceState().exposure[0], 888);
  ASSERT_EQ(dravex::exposureStep(context.get(), 255, &exposure), 1);
  EXPECT_EQ(exposure, 760);
  EXPECT_EQ(dravex::exposureStep(nullptr, 0, &exposure), 0);
}

TEST_F(Exposure, CalibrationWithoutAFingerReturnsAtOnceAndWritesNothing) {
  auto context = openType(1, 0x8243);
  ASSERT_NE(context, nullptr);
  const auto before = fvtest::deviceMemory();
  fvsim_trace_clear();
  EXPECT_EQ(dravex::calibrateExposureSteps(context.get()), 0);
  EXPECT_EQ(fvtest::deviceMemory(), before);
  EXPECT_TRUE(vendorRequests(0xB2).empty()) << "no frame was grabbed";
  EXPECT_EQ(dravex::runningWorkerCount(), 1) << "the worker runs again";
  std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
  EXPECT_EQ(context->params.steps[0], 285.0f);
}

TEST_F(Exposure, CalibrationThatCannotConvergeEndsAndWritesNothing) {
  auto context = openType(1, 0x8243);
  ASSERT_NE(context, nullptr);
  fvsim_set_finger(0, 1);
  ASSERT_TRUE(waitFor([&] { return context->fingerState == 3; }));
  const auto before = fvtest::deviceMemory();
  fvsim_inject_request(0, 0xB2, 1000000);  // no frame ever comes
  fvsim_trace_clear();
  EXPECT_EQ(dravex::calibrateExposureSteps(context.get()), 0);
  fvsim_inject_request(0, 0xB2, 0);
  EXPECT_EQ(fvtest::deviceMemory(), before);
  EXPECT_LE(fvtest::vendorRequests(0xB2).size(), 32u * 201u) << "passes and steps are bounded";
  EXPECT_EQ(dravex::runningWorkerCount(), 1);
  std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
  EXPECT_EQ(context->params.steps[0], 285.0f) << "the mirror is as it was";
}

TEST_F(Exposure, CalibrationOnAFingerStoresTunedStepsAndStart) {
  auto context = openType(1, 0x8243);
  ASSERT_NE(context, nullptr);
  fvsim_set_finger(0, 1);
  ASSERT_TRUE(waitFor([&] { return context->fingerState == 3; }));
  fvsim_trace_clear();
  EXPECT_EQ(dravex::calibrateExposureSteps(context.get()), 0);
  EXPECT_EQ(dravex::runningWorkerCount(), 1);
  const auto memory = fvtest::deviceMemory();
  dravex::FvParamBlock stored;
  std::memcpy(&stored, memory.data(), sizeof stored);
  std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
  EXPECT_EQ(std::memcmp(&stored, &context->params, sizeof stored), 0) << "the whole block went out";
  EXPECT_NE(stored.steps[0], 285.0f);
  EXPECT_GT(stored.steps[0], stored.steps[1]);
  EXPECT_GT(stored.steps[2], stored.steps[3]);
  EXPECT_GT(stored.startExposure, 0);
  // Each pass begins at exposure 0; there are few and each is bounded.
  int passes = 0;
  for (const auto& r : vendorRequests(0xB3)) passes += r.data.size() >= 2 && r.data[0] == 0 && r.data[1] == 0;
  EXPECT_GE(passes, 1);
  EXPECT_LE(passes, 32);
}

}  // namespace

namespace {

TEST_F(Exposure, CalibrationIsBoundedByTimeOnThePlatformClock) {
  fvsim_plug_type(1);
  // The library reads frames from the last bulk IN, where this device sends none: every grab
  // waits out its second.
  const unsigned char config[] = {9, 2, 32, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 2, 0xFF, 0, 0, 0,
                                  7, 5, 0x82, 2, 0x00, 0x02, 0, 7, 5, 0x86, 2, 0x00, 0x02, 0};
  ASSERT_TRUE(fvsim_set_descriptor(0, 2, config, sizeof config));
  auto context = lookupContext(open());
  ASSERT_NE(context, nullptr);
  fvsim_set_finger(0, 1);
  ASSERT_TRUE(waitFor([&] { return context->fingerState == 3; }));
  const std::uint64_t start = fvplat::ClockMs();
  EXPECT_EQ(dravex::calibrateExposureSteps(context.get()), 0);
  // 30 s, and what was under way when the limit came: the worker's grab, one pass's start, a step.
  EXPECT_LT(fvplat::ClockMs() - start, 30000u + 4000u);
  EXPECT_EQ(dravex::runningWorkerCount(), 1);
}

// A fake clock that runs `once` at the first settling pause calibration makes on `thread`.
class HookedClock final : public fvplat::Clock {
 public:
  std::uint64_t NowMs() override { return inner_.NowMs(); }
  void SleepMs(std::uint32_t ms) override {
    if (ms == 35 && std::this_thread::get_id() == thread && once) std::exchange(once, nullptr)();
    inner_.SleepMs(ms);
  }
  std::thread::id thread;
  std::function<void()> once;

 private:
  fvplat::FakeClock inner_;
};

TEST_F(Exposure, AFailedCalibrationKeepsADeviceNumberSetMeanwhile) {
  HookedClock clock;
  const auto onClock = workersOn(clock);
  {
    auto context = openType(1, 0x8243);
    ASSERT_NE(context, nullptr);
    fvsim_set_finger(0, 1);
    ASSERT_TRUE(waitFor([&] { return context->fingerState == 3; }));
    // A held frame stops the steering: the exposure stays where the worker left it.
    ASSERT_TRUE(waitFor([&] { return context->newFrame != 0; }));
    int exposure = 0;
    {
      std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
      exposure = context->params.exposure;
    }
    // In the first pass another caller numbers the device, then the finger goes.
    clock.thread = std::this_thread::get_id();
    clock.once = [&] {
      EXPECT_TRUE(dravex::setDeviceNumber(context.get(), 4242));
      fvsim_set_finger(0, 0);
    };
    EXPECT_EQ(dravex::calibrateExposureSteps(context.get()), 0);
    EXPECT_EQ(clock.once, nullptr) << "the pass began";
    fvsim_inject_request(0, 0xB4, 1);
    int number = 0;
    EXPECT_FALSE(dravex::getDeviceNumber(context.get(), &number));
    EXPECT_EQ(number, 4242) << "the mirror kept the number";
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    EXPECT_EQ(context->params.steps[0], 285.0f) << "the steps are back";
    EXPECT_EQ(context->params.exposure, exposure) << "and the exposure";
  }
}

TEST_F(Exposure, CalibratingAClosedContextStartsNoWorker) {
  auto context = openType(1, 0x8243);
  ASSERT_NE(context, nullptr);
  FvDevHandle handle = handleOf(context);
  ASSERT_EQ(dravex::closeDeviceContext(handle), 1);
  forget(handle);
  EXPECT_EQ(dravex::calibrateExposureSteps(context.get()), 0);
  EXPECT_EQ(dravex::runningWorkerCount(), 0);
  context.reset();  // the last reference: nothing may still run on it
}

TEST_F(Exposure, CalibrationAndCloseOnTwoThreads) {
  for (int round = 0; round < 20; ++round) {
    fvsim_reset();
    fvsim_plug_type(1);
    FvDevHandle handle = nullptr;
    ASSERT_EQ(dravex::openDeviceContext(0, nullptr, &handle), 1);
    std::thread calibrating([] { dravex::calibrateCurrentDevice(); });
    dravex::closeDeviceContext(handle);
    calibrating.join();
    EXPECT_EQ(dravex::runningWorkerCount(), 0) << round;
  }
}

}  // namespace
