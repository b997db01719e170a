#include <cstring>

#include "context/device_ops.h"
#include "sim_fixture.h"

namespace {

using dravex::lookupContext;
using fvtest::SimDeviceTest;

class DeviceOps : public SimDeviceTest {
 protected:
  dravex::ContextRef openOne() {
    fvsim_plug_type(1);
    return lookupContext(open());
  }
};

TEST_F(DeviceOps, SerialDateAndNumberLiveInTheOnBoardMemory) {
  auto context = openOne();
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(dravex::setSerialText(context.get(), "SN-0123456789ABCDEFGHIJ"));
  ASSERT_TRUE(dravex::setProductionDate(context.get(), 20261210));
  ASSERT_TRUE(dravex::setDeviceNumber(context.get(), 4711));
  auto memory = fvtest::deviceMemory();
  EXPECT_STREQ(reinterpret_cast<const char*>(memory.data() + 184), "SN-0123456789ABCDEFG");
  std::int32_t value;
  std::memcpy(&value, memory.data() + 180, 4);
  EXPECT_EQ(value, 20261210);
  std::memcpy(&value, memory.data() + 16, 4);
  EXPECT_EQ(value, 4711);

  char serial[32];
  int date = 0, number = 0;
  ASSERT_TRUE(dravex::getSerialText(context.get(), serial));
  EXPECT_STREQ(serial, "SN-0123456789ABCDEFG");
  ASSERT_TRUE(dravex::getProductionDate(context.get(), &date));
  EXPECT_EQ(date, 20261210);
  ASSERT_TRUE(dravex::getDeviceNumber(context.get(), &number));
  EXPECT_EQ(number, 4711);
}

TEST_F(DeviceOps, AFailedSerialReadWritesNothing) {
  auto context = openOne();
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(dravex::setSerialText(context.get(), "KEEP"));
  const auto before = fvtest::deviceMemory();
  {
    // Hold the worker off the device so the fault hits our requests.
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    fvsim_inject(0, FVSIM_FAULT_FAIL, 1);
    EXPECT_FALSE(dravex::setSerialText(context.get(), "LOST"));
    fvsim_inject(0, FVSIM_FAULT_FAIL, 1);
    EXPECT_FALSE(dravex::setProductionDate(context.get(), 1));
  }
  EXPECT_EQ(fvtest::deviceMemory(), before);
}

TEST_F(DeviceOps, LedsInfoAndThreshold) {
  auto context = openOne();
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(dravex::setLedLevels(context.get(), 5, 255));
  const FvSimDeviceState state = fvtest::deviceState();
  EXPECT_EQ(state.led[0], 5);
  EXPECT_EQ(state.led[1], 255);

  FvDevInfo info{};
  dravex::readDeviceInfo(context.get(), &info);
  EXPECT_EQ(info.marker0, 0x0200);
  EXPECT_EQ(info.marker1, 0x2015);
  EXPECT_EQ(info.marker2, 0x0123);
  EXPECT_EQ(info.deviceInfo[12], 1) << "device type";
  EXPECT_FLOAT_EQ(dravex::defaultThreshold(context.get()), 0.63f);
  EXPECT_TRUE(dravex::hasFrameBuffer(context.get()));
  EXPECT_TRUE(dravex::contextIsOpen(context.get()));

  EXPECT_FALSE(dravex::contextIsOpen(nullptr));
  EXPECT_FALSE(dravex::setLedLevels(nullptr, 5, 0));
  EXPECT_FALSE(dravex::hasFrameBuffer(nullptr));
  FvDevInfo untouched{};
  untouched.marker0 = 7;
  dravex::readDeviceInfo(nullptr, &untouched);
  EXPECT_EQ(untouched.marker0, 7);
}

}  // namespace

namespace {

TEST_F(DeviceOps, AShortSerialReadKeepsTheWholeSerial) {
  auto context = openOne();
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(dravex::setSerialText(context.get(), "SN-0123456789ABCDEF"));
  ASSERT_TRUE(dravex::setProductionDate(context.get(), 20261210));
  const auto before = fvtest::deviceMemory();
  struct Case {
    const char* what;
    bool (*change)(dravex::FvDevContext*);
  };
  const Case cases[] = {
      {"date", [](dravex::FvDevContext* c) { return dravex::setProductionDate(c, 1); }},
      {"serial", [](dravex::FvDevContext* c) { return dravex::setSerialText(c, "X"); }},
  };
  for (const Case& c : cases) {
    fvsim_inject_request_fault(0, 0xB4, FVSIM_FAULT_SHORT, 1);
    EXPECT_FALSE(c.change(context.get())) << c.what;
    EXPECT_EQ(fvtest::deviceMemory(), before) << c.what;
  }
  char serial[32] = {};
  fvsim_inject_request_fault(0, 0xB4, FVSIM_FAULT_SHORT, 1);
  EXPECT_FALSE(dravex::getSerialText(context.get(), serial));
  ASSERT_TRUE(dravex::setProductionDate(context.get(), 20261211));
  ASSERT_TRUE(dravex::getSerialText(context.get(), serial));
  EXPECT_STREQ(serial, "SN-0123456789ABCDEF");
}

}  // namespace
