// Worker threads: always joined, never two runs at once, quick restarts, stops from inside a
// report, teardown that drops reports.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "base/flavour_testing.h"
#include "bounded_wait.h"
#include "worker/finger_model.h"
#include "worker/finger_recog.h"
#include "worker_fixtures.h"

namespace {

using fvbrowser::FingerBusiness;
using fvbrowser::FingerModel;
using fvbrowser::FingerRecog;
using fvbrowser::Report;
using fvbrowser::ReportStage;

constexpr const char* kModelRequest = "{\"maxTime\":60, \"userId\":\"1\"}";
constexpr const char* kRecogRequest = "{\"features\":\"\",\"maxTime\":60,\"userId\":\"1\"}";

void WaitEnd(FingerBusiness& worker) { fvbtest::RunEnds(worker); }

// Waits (in real time) until the owner holds `n` reports.
void WaitReports(const fvbtest::ScriptedOwner& owner, std::size_t n) {
  fvtest::WaitUntil([&] { return owner.reports().size() >= n; });
}

// Time that never passes, while sleeps still give way: waits end only by an answer or a stop.
class StillClock final : public fvplat::Clock {
 public:
  std::uint64_t NowMs() override { return 0; }
  void SleepMs(std::uint32_t) override {
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
};

class Lifecycle : public fvbtest::WorkerTest {
 protected:
  void SetUp() override {
    WorkerTest::SetUp();
    fvplat::SetClock(&still_);
  }
  void TearDown() override {
    fvplat::SetClock(&clock_.clock());
    WorkerTest::TearDown();
  }
  StillClock still_;
};

TEST_F(Lifecycle, StopOnAWorkerThatNeverRanReturnsAtOnce) {
  FingerModel model(owner_, 60);
  FingerRecog recog(owner_, 60);
  model.stopThread();
  recog.stopThread();
  EXPECT_TRUE(model.isStopped());
  EXPECT_TRUE(owner_.reports().empty());
}

TEST_F(Lifecycle, AStartWhoseRequestCannotBeReadStartsNothing) {
  FingerModel model(owner_, 60);
  FingerRecog recog(owner_, 60);
  const std::string deep(1001, '[');
  EXPECT_EQ(model.startBusiness(deep), -1);
  EXPECT_EQ(recog.startBusiness(deep), -1);
  // Inside the recognition request the same text is only a feature list that fails quietly.
  EXPECT_FALSE(recog.getFingerInputFeatures(deep));
  EXPECT_EQ(recog.candidateCount(), 0);
  EXPECT_FALSE(model.isRunning());
  EXPECT_TRUE(owner_.reports().empty());
}

TEST_F(Lifecycle, AStartWhileARunIsAliveIsRefused) {
  FingerModel model(owner_, 60);
  FingerRecog recog(owner_, 60);
  ASSERT_EQ(model.startBusiness(kModelRequest), 0);
  ASSERT_EQ(recog.startBusiness(kRecogRequest), 0);
  WaitReports(owner_, 4);  // both are waiting for the page's answer
  EXPECT_EQ(model.startBusiness(kModelRequest), 4);
  EXPECT_EQ(recog.startBusiness(kRecogRequest), 3);
  model.stopThread();
  recog.stopThread();
  EXPECT_FALSE(model.isRunning());
  EXPECT_FALSE(recog.isRunning());
  EXPECT_EQ(model.startBusiness(kModelRequest), 0) << "the finished thread is joined first";
  model.stopThread();
}

TEST_F(Lifecycle, EachWorkerHearsItsOwnAnswer) {
  FingerModel model(owner_, 60);
  FingerRecog recog(owner_, 60);
  ASSERT_EQ(model.startBusiness(kModelRequest), 0);
  ASSERT_EQ(recog.startBusiness(kRecogRequest), 0);
  WaitReports(owner_, 4);
  recog.setStatus(-1);  // the page declines recognition only
  WaitEnd(recog);
  EXPECT_FALSE(recog.isRunning());
  EXPECT_TRUE(model.isRunning()) << "enrolment still waits for its own answer";
  EXPECT_EQ(model.getStatus(), 0);
  model.stopThread();
  recog.stopThread();
}

TEST_F(Lifecycle, TwentyQuickRestartsOfBothWorkers) {
  FingerModel model(owner_, 60);
  auto recog = std::make_unique<FingerRecog>(owner_, 60);
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(model.startBusiness(kModelRequest), 0) << i;
    ASSERT_EQ(recog->startBusiness(kRecogRequest), 0) << i;
    if (i % 2 == 0) std::this_thread::yield();
    model.stopThread();
    recog->stopThread();
    if (i % 3 == 0)
      recog = std::make_unique<FingerRecog>(owner_, 60);  // the control's fresh worker
  }
  // The plug-in's way: flag the stop, start again once the run has ended.
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(model.startBusiness(kModelRequest), 0) << i;
    model.requestStop();
    WaitEnd(model);
  }
  EXPECT_FALSE(model.isRunning());
}

TEST_F(Lifecycle, DestructionDuringARunStopsAndJoins) {
  for (int i = 0; i < 5; ++i) {
    auto model = std::make_unique<FingerModel>(owner_, 60);
    auto recog = std::make_unique<FingerRecog>(owner_, 60);
    ASSERT_EQ(model->startBusiness(kModelRequest), 0);
    ASSERT_EQ(recog->startBusiness(kRecogRequest), 0);
    model.reset();
    recog.reset();
  }
}

TEST_F(Lifecycle, StopFromInsideAReportAndTeardownDropsWhatFollows) {
  {
    FingerRecog recog(owner_, 60);
    owner_.setPage(
        [](const Report& r, FingerBusiness& w) {
          if (r.code == 40) w.stopThread();
        },
        &recog);
    ASSERT_EQ(recog.startBusiness(kRecogRequest), 0);
    WaitEnd(recog);
    EXPECT_EQ(owner_.reports().back(),
              (fvbtest::Recorded{ReportStage::kStop, -3, fvbtest::Prompt(-3, 38)}))
        << "a stop asked on the worker's own thread only flags it";
  }
  fvbtest::ScriptedOwner owner;
  FingerModel model(owner, 60);
  owner.setPage(
      [](const Report& r, FingerBusiness& w) {
        if (r.code == 40) {
          w.beginTeardown();
          w.requestStop();
        }
      },
      &model);
  ASSERT_EQ(model.startBusiness(kModelRequest), 0);
  WaitEnd(model);
  model.stopThread();
  const auto reports = owner.reports();
  ASSERT_EQ(reports.size(), 2u) << "nothing after teardown began";
  EXPECT_EQ(reports[1].code, 40);
}

}  // namespace
