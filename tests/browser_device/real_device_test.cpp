// One enrolment and one recognition of the same finger with the real device library, loaded by
// name as the front-ends load it, on the simulated device, in real time.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "binding/device_library.h"
#include "browser_fixtures.h"
#include "fvcommon/base64.h"
#include "fvcommon/json_text.h"
#include "fvplatform/clock.h"
#include "fvplatform/locale.h"
#include "settings/finger_settings.h"
#include "sim_device/sim_device.h"
#include "worker/finger_model.h"
#include "worker/finger_recog.h"

namespace {

using fvbrowser::Report;
using fvbrowser::ReportStage;

constexpr unsigned long long kSeed = 4242;

// The control's side: frames as its fetchFrame takes them, reports kept, a page and a person
// at the simulated device that follow every prompt.
class ControlLikeOwner : public fvbrowser::WorkerOwner {
 public:
  int fetchFrame(fvbrowser::FingerBusiness& worker, int& code, int limitMs, fvbrowser::Bytes& frame,
                 int&) override {
    frame.clear();
    code = -1;
    fvbrowser::DeviceLibrary& device = fvbrowser::boundDeviceLibrary();
    if (device.isOpen() == 0) return code = 206;
    const std::uint64_t start = fvplat::ClockMs();
    for (;;) {
      if (fvplat::ClockMs() - start > static_cast<std::uint64_t>(limitMs)) return code = 211;
      if (worker.isStopped()) return code = 209;
      if (device.grab(frame) != 0) return code = 0;
      frame.clear();
      Sleep(35);
    }
  }
  int getFingerState() override { return fvbrowser::boundDeviceLibrary().getState(); }
  void deliverReport(const Report& report) override {
    {
      std::lock_guard<std::mutex> lock(lock_);
      reports_.push_back(report);
    }
    if (report.code == 40) {
      // The person puts the finger down a moment after being asked.
      if (placer_.joinable()) placer_.join();
      placer_ = std::thread([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        fvsim_set_finger_seed(0, kSeed);
        fvsim_set_finger(0, 1);
      });
      worker_->setStatus(1);
    } else if (report.code == 41 && report.text.find("Loosen") != std::string::npos) {
      fvsim_set_finger(0, 0);
    } else if (report.code == 41) {
      fvsim_set_finger(0, 1);
    }
  }
  std::vector<Report> reports() {
    std::lock_guard<std::mutex> lock(lock_);
    return reports_;
  }
  ~ControlLikeOwner() override {
    if (placer_.joinable()) placer_.join();
  }
  fvbrowser::FingerBusiness* worker_ = nullptr;

 private:
  std::thread placer_;
  std::mutex lock_;
  std::vector<Report> reports_;
};

Json::Value Parse(const std::string& text) {
  Json::Value root;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &root, &errors)) << text;
  return root;
}

void RunToEnd(fvbrowser::FingerBusiness& worker, const std::string& request) {
  ASSERT_EQ(worker.startBusiness(request), 0);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(600);
  while (worker.isRunning() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_FALSE(worker.isRunning());
  worker.stopThread();
}

TEST(RealDevice, EnrolThenRecogniseTheSameFinger) {
  fvsim_reset();
  ASSERT_GE(fvsim_plug_type(1), 0);
  fvplat::SetSystemLcid(1033);
  fvbrowser::getSystemLanguage();
  fvbrowser::getFingerSettings()->parseSettings(R"({"Fingers":"2","FingerNum":1,"PlaySound":0,"ModelTimeout":600,"RecogTimeout":600})");
  fvbrowser::DeviceLibrary* device = fvbrowser::getDeviceLibrary();
  ASSERT_NE(device, nullptr);
  ASSERT_EQ(device->open(0, nullptr), 1);

  ControlLikeOwner owner;
  std::string model;
  {
    fvbrowser::FingerModel enrolment(owner, 60);
    owner.worker_ = &enrolment;
    RunToEnd(enrolment, "{\"maxTime\":60, \"userId\":\"1\"}");
    const auto reports = owner.reports();
    ASSERT_FALSE(reports.empty());
    const Report& last = reports.back();
    ASSERT_EQ(last.stage, ReportStage::kStop);
    ASSERT_EQ(last.code, 0) << last.text;
    const Json::Value result = Parse(last.text);
    EXPECT_EQ(result["RETURNDESC"].asString(), "Complete collection");
    const Json::Value features = Parse(result["FEATURE"].asString());
    EXPECT_EQ(features["num"].asInt(), 1);
    EXPECT_EQ(features["type"]["0"]["fingertype"].asInt(), 2);
    model = features["feature"]["0"].asString();
    const auto bytes = fvcommon::Base64DecodeStrict(model);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 3352u);
    EXPECT_EQ(Parse(result["IMAGE"].asString())["num"].asInt(), 2);
    owner.worker_ = nullptr;
  }
  fvsim_set_finger(0, 0);

  ControlLikeOwner recogOwner;
  fvbrowser::FingerRecog recognition(recogOwner, 60);
  recogOwner.worker_ = &recognition;
  Json::Value request;
  request["maxTime"] = 600;
  request["userId"] = "1";
  request["features"] =
      "{\"feature\":{\"0\":\"" + model + "\"},\"num\":1,\"type\":{\"0\":{\"fingertype\":2}}}";
  RunToEnd(recognition, fvcommon::writeCompactJson(request));
  const auto reports = recogOwner.reports();
  ASSERT_FALSE(reports.empty());
  const Json::Value result = Parse(reports.back().text);
  EXPECT_EQ(reports.back().code, 0) << reports.back().text.substr(0, 200);
  EXPECT_EQ(result["RETURNID"].asInt(), 0);
  EXPECT_EQ(result["POS"].asString(), "0");
  EXPECT_GT(std::stof(result["RETURNVALUE"].asString()), 0.51f);
  EXPECT_EQ(Parse(result["FEATURE"].asString())["type"]["0"]["fingertype"].asInt(), 2);

  EXPECT_EQ(device->close(), 1);
  fvsim_reset();
  fvplat::SetSystemLcid(0);
}

}  // namespace
