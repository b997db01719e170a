#include <cstring>

#include "api/last_error.h"
#include "context/device_ops.h"
#include "params/param_block.h"
#include "sim_fixture.h"

namespace {

using dravex::closeDeviceContext;
using dravex::currentHandle;
using dravex::lookupContext;
using dravex::openDeviceContext;
using fvtest::SimDeviceTest;

class DeviceOpen : public SimDeviceTest {};

int lastError() { return dravex::takeLastError(); }

std::int32_t i32(const std::array<unsigned char, 256>& m, int offset) {
  std::int32_t v;
  std::memcpy(&v, m.data() + offset, 4);
  return v;
}
float f32(const std::array<unsigned char, 256>& m, int offset) {
  float v;
  std::memcpy(&v, m.data() + offset, 4);
  return v;
}

TEST_F(DeviceOpen, WritesThePerSensorDefaultsIntoAFreshDevice) {
  struct Case {
    int type;
    unsigned productId;
    int sensor, startExposure;
    unsigned char firstOn, secondOn;
    float s1, s4;
  };
  const Case cases[] = {
      {1, 0x009B, 2, 120, 0x36, 0x25, 64, 8},
      {1, 0x8243, 1, 680, 0x3F, 0x2F, 285, 35},
      {3, 0x8243, 1, 800, 0x3F, 0x3F, 285, 35},
      {16, 0x8431, 0, 40, 0x36, 0x25, 20, 2.5f},
      {18, 0x8232, 0, 40, 0x36, 0x25, 20, 2.5f},
      {2, 0x1234, 0, 760, 0x36, 0x25, 128, 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "type " << c.type << " product " << std::hex << c.productId);
    fvsim_reset();
    FvSimDeviceConfig config{};
    ASSERT_TRUE(fvsim_default_config(c.type, &config));
    config.productId = c.productId;
    config.cold = 0;
    ASSERT_EQ(fvsim_plug(&config), 0);
    FvDevHandle handle = open();
    ASSERT_NE(handle, nullptr);
    const auto memory = fvtest::deviceMemory();
    EXPECT_EQ(memory[0], 0x76);
    EXPECT_EQ(memory[1], 0x98);
    EXPECT_EQ(memory[2] | memory[3] << 8, 2561);
    EXPECT_EQ(i32(memory, 4), c.sensor);
    EXPECT_EQ(i32(memory, 24), config.width);
    EXPECT_EQ(i32(memory, 28), config.height);
    EXPECT_EQ(i32(memory, 40), c.startExposure);
    EXPECT_EQ(memory[44], c.firstOn);
    EXPECT_EQ(memory[45], c.secondOn);
    EXPECT_EQ(f32(memory, 76), c.s1);
    EXPECT_EQ(f32(memory, 88), c.s4);
    EXPECT_EQ(std::memcmp(memory.data() + 92, "1234", 4), 0);
    EXPECT_EQ(fvtest::deviceState().exposure[0], c.startExposure) << "open sends the start exposure";
    closeDeviceContext(handle);
    forget(handle);
  }
}

// The vendor requests of an open and a close in order, without the worker's finger polls.
std::vector<fvtest::VendorRequest> requestsBesidesPolls() {
  std::vector<fvtest::VendorRequest> out;
  for (auto& r : fvtest::vendorRequests()) {
    if (r.request != 0xB1) out.push_back(r);
  }
  return out;
}

TEST_F(DeviceOpen, OpenAndCloseSendTheirRequestsInOrder) {
  FvSimDeviceConfig config{};
  ASSERT_TRUE(fvsim_default_config(1, &config));  // product 0x8243: gain words get 0x80
  ASSERT_EQ(fvsim_plug(&config), 0);
  fvsim_trace_clear();
  FvDevHandle handle = open();
  ASSERT_NE(handle, nullptr);
  auto opened = requestsBesidesPolls();
  ASSERT_EQ(opened.size(), 5u);
  EXPECT_EQ(opened[0].request, 0xB0);
  EXPECT_EQ(opened[1].request, 0xB5);
  EXPECT_EQ(opened[1].data, std::vector<unsigned char>(8, 0));
  EXPECT_EQ(opened[2].request, 0xB4) << "the block is read";
  EXPECT_EQ(opened[2].index, 0);
  EXPECT_EQ(opened[2].length, 96);
  EXPECT_EQ(opened[3].request, 0xB4) << "and, being fresh, written";
  EXPECT_EQ(opened[3].length, 96);
  EXPECT_EQ(opened[4].request, 0xB3);
  EXPECT_EQ(opened[4].data, (std::vector<unsigned char>{0xA8, 0x02, 0xA0, 0, 0xA0, 0, 0xA0, 0, 0xA0, 0}))
      << "start exposure 680 with gain words 32";

  fvsim_trace_clear();
  ASSERT_EQ(closeDeviceContext(handle), 1);
  forget(handle);
  auto closed = requestsBesidesPolls();
  ASSERT_EQ(closed.size(), 2u);
  EXPECT_EQ(closed[0].request, 0xB5);
  EXPECT_EQ(closed[0].data, std::vector<unsigned char>(8, 0));
  EXPECT_EQ(closed[1].request, 0xB3);
  EXPECT_EQ(closed[1].data, (std::vector<unsigned char>{0, 0, 0x80, 0, 0x80, 0, 0x80, 0, 0x80, 0}))
      << "exposure 0, gain words 0 with the product's bits";
}

TEST_F(DeviceOpen, ABlockOfAnotherEditionIsRebuiltWithItsDeviceNumber) {
  FvSimDeviceConfig config{};
  ASSERT_TRUE(fvsim_default_config(1, &config));
  ASSERT_EQ(fvsim_plug(&config), 0);
  FvDevHandle first = open();
  ASSERT_NE(first, nullptr);
  closeDeviceContext(first);
  forget(first);
  auto memory = fvtest::deviceMemory();
  const std::int32_t number = 42, lowBand = 50;
  memory[2] = 0x00;  // edition 2560
  std::memcpy(memory.data() + 8, &lowBand, 4);
  std::memcpy(memory.data() + 16, &number, 4);
  fvsim_set_memory(0, 0, memory.data(), 96);

  ASSERT_NE(open(), nullptr);
  const auto rebuilt = fvtest::deviceMemory();
  EXPECT_EQ(rebuilt[2] | rebuilt[3] << 8, 2561);
  EXPECT_EQ(i32(rebuilt, 8), 70) << "the tuning is the defaults again";
  EXPECT_EQ(i32(rebuilt, 16), 42) << "the number someone gave the device stays";
}

TEST_F(DeviceOpen, RefusesMissingDevicesAndFailedOpens) {
  EXPECT_EQ(openDeviceContext(0, nullptr, nullptr), 0);
  EXPECT_EQ(lastError(), 7) << "no device at all";
  fvsim_plug_type(1);
  EXPECT_EQ(openDeviceContext(1, nullptr, nullptr), 0);
  EXPECT_EQ(lastError(), 7);
  EXPECT_EQ(openDeviceContext(-1, nullptr, nullptr), 0);
  EXPECT_EQ(lastError(), 7);

  fvsim_inject(0, FVSIM_FAULT_FAIL, 1000);
  FvDevHandle handle = nullptr;
  EXPECT_EQ(openDeviceContext(0, nullptr, &handle), 0);
  EXPECT_EQ(lastError(), 8);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(dravex::runningWorkerCount(), 0);
  EXPECT_EQ(currentHandle(), nullptr);
}

TEST_F(DeviceOpen, AFailedInformationReadFailsTheOpen) {
  fvsim_plug_type(1);
  fvsim_inject_request(0, 0xB0, 1);
  FvDevHandle handle = nullptr;
  EXPECT_EQ(openDeviceContext(0, nullptr, &handle), 0);
  EXPECT_EQ(lastError(), 8) << "not a device with 0 x 0 frames";
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(dravex::runningWorkerCount(), 0);
  EXPECT_TRUE(fvtest::vendorRequests(0xB4).empty()) << "no parameter block was touched";
  handle = open();
  ASSERT_NE(handle, nullptr) << "the next open works";
}

TEST_F(DeviceOpen, AReopenWaitsForAnInformationReadThatWorks) {
  fvsim_plug_type(1);
  auto context = lookupContext(open());
  ASSERT_NE(context, nullptr);
  fvsim_unplug(0);
  ASSERT_TRUE(fvtest::waitFor([&] { return context->openFlag == 0; }));
  {
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    fvsim_plug_type(1);
    fvsim_inject_request(0, 0xB0, 3);
    fvsim_trace_clear();
  }
  ASSERT_TRUE(fvtest::waitFor([&] { return context->openFlag == 1; }));
  const auto info = fvtest::vendorRequests(0xB0);
  ASSERT_EQ(info.size(), 4u);
  EXPECT_EQ(info.back().outcome, FVSIM_DONE);
  std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
  EXPECT_EQ(context->raw.size(), 640u * 480u) << "frame buffers from the information that came";
}

TEST_F(DeviceOpen, AHealthyHandleIsKeptWithItsOneWorker) {
  fvsim_plug_type(1);
  FvDevHandle handle = open();
  ASSERT_NE(handle, nullptr);
  FvDevHandle again = handle;
  EXPECT_EQ(openDeviceContext(0, nullptr, &again), 1);
  EXPECT_EQ(again, handle);
  EXPECT_EQ(dravex::runningWorkerCount(), 1);
}

TEST_F(DeviceOpen, AStaleHandleIsClosedBeforeTheNewOpen) {
  fvsim_plug_type(1);
  FvDevHandle handle = open();
  ASSERT_NE(handle, nullptr);
  fvsim_unplug(0);
  ASSERT_TRUE(fvtest::waitFor([&] { return !lookupContext(handle)->openFlag; }));
  fvsim_plug_type(1);
  FvDevHandle slot = handle;
  // The worker may reopen the lost device first; either way one context and one worker remain.
  ASSERT_EQ(openDeviceContext(0, nullptr, &slot), 1);
  if (slot != handle) {
    EXPECT_EQ(lookupContext(handle), nullptr);
    forget(handle);
    opened_.push_back(slot);
  }
  EXPECT_EQ(dravex::runningWorkerCount(), 1);
  EXPECT_EQ(currentHandle(), slot);
}

TEST_F(DeviceOpen, CloseDarkensTheDeviceAndHandsOnTheCurrentSlot) {
  fvsim_plug_type(1);
  fvsim_plug_type(1);
  FvDevHandle a = open(0), b = open(1);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(currentHandle(), b) << "the device opened last";
  EXPECT_EQ(dravex::runningWorkerCount(), 2);

  // Closing another device than the current one leaves none current.
  ASSERT_EQ(closeDeviceContext(a), 1);
  forget(a);
  EXPECT_EQ(currentHandle(), nullptr);
  EXPECT_EQ(lookupContext(a), nullptr);
  const FvSimDeviceState state = fvtest::deviceState(0);
  EXPECT_EQ(state.exposure[0], 0);
  EXPECT_EQ(std::vector<unsigned char>(state.backlight, state.backlight + 8), std::vector<unsigned char>(8, 0));

  FvDevHandle c = open(0);
  EXPECT_EQ(currentHandle(), c);
  // Closing the current device hands the slot to the first device still open.
  ASSERT_EQ(closeDeviceContext(c), 1);
  forget(c);
  EXPECT_EQ(currentHandle(), b);
  EXPECT_EQ(dravex::runningWorkerCount(), 1);

  EXPECT_EQ(closeDeviceContext(nullptr), 0);
  EXPECT_EQ(lastError(), 2);
  EXPECT_EQ(closeDeviceContext(c), 0) << "a closed handle is refused";
  EXPECT_EQ(lastError(), 2);
}

}  // namespace

namespace {

// A block of this edition that calibration and a device number made the device's own.
std::array<unsigned char, 256> tunedMemory() {
  FvDevInfo info{};
  dravex::FvParamBlock block = dravex::defaultParamBlock(info);
  block.deviceNumber = 4242;
  const float steps[4] = {300, 150, 75, 37};
  std::memcpy(block.steps, steps, sizeof steps);
  std::array<unsigned char, 256> memory{};
  std::memcpy(memory.data(), &block, sizeof block);
  return memory;
}

TEST_F(DeviceOpen, AShortBlockReadAtOpenOrReopenOverwritesNothing) {
  const auto tuned = tunedMemory();
  fvsim_plug_type(1);
  fvsim_set_memory(0, 0, tuned.data(), 256);
  fvsim_inject_request_fault(0, 0xB4, FVSIM_FAULT_SHORT, 1);
  auto context = lookupContext(open());
  ASSERT_NE(context, nullptr) << "the open goes on with the defaults";
  EXPECT_EQ(fvtest::deviceMemory(), tuned);
  {
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    EXPECT_EQ(context->params.deviceNumber, 0) << "the mirror holds the defaults";
  }

  fvsim_unplug(0);
  ASSERT_TRUE(fvtest::waitFor([&] { return context->openFlag == 0; }));
  {
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    fvsim_plug_type(1);
    fvsim_set_memory(0, 0, tuned.data(), 256);
    fvsim_inject_request_fault(0, 0xB4, FVSIM_FAULT_SHORT, 1);
  }
  ASSERT_TRUE(fvtest::waitFor([&] { return context->openFlag == 1; }));
  EXPECT_EQ(fvtest::deviceMemory(), tuned) << "nor at the reopen";
}

TEST_F(DeviceOpen, AConfigurationCutShortFailsTheOpen) {
  fvsim_plug_type(1);
  // The head claims its endpoints; the device sends the interface alone.
  const unsigned char cut[] = {9, 2, 39, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 3, 0xFF, 0, 0, 0};
  ASSERT_TRUE(fvsim_set_descriptor(0, 2, cut, sizeof cut));
  FvDevHandle handle = nullptr;
  EXPECT_EQ(openDeviceContext(0, nullptr, &handle), 0);
  EXPECT_EQ(lastError(), 8);
  EXPECT_EQ(dravex::runningWorkerCount(), 0);
}

TEST_F(DeviceOpen, CloseSkipsWhatADeviceThatStoppedAnsweringCannotTake) {
  fvsim_plug_type(1);
  FvDevHandle handle = open();
  ASSERT_NE(handle, nullptr);
  fvsim_trace_clear();
  fvsim_inject(0, FVSIM_FAULT_STALL, 1000000);
  const std::uint64_t start = fvplat::ClockMs();
  ASSERT_EQ(closeDeviceContext(handle), 1);
  forget(handle);
  // The first request to run out its 10 s (the worker's or the close's own) is the last one.
  EXPECT_LT(fvplat::ClockMs() - start, 12000u);
  const auto sent = fvtest::vendorRequests();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back().outcome, FVSIM_PENDING);
  for (std::size_t i = 0; i + 1 < sent.size(); ++i) EXPECT_NE(sent[i].outcome, FVSIM_PENDING) << i;
}

}  // namespace
