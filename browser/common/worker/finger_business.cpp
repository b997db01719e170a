#include "worker/finger_business.h"

#include <algorithm>
#include <system_error>

#include "base/flavour.h"
#include "binding/device_library.h"
#include "fvplatform/clock.h"
#include "fvplatform/folders.h"
#include "fvplatform/sound.h"
#include "log/log_file.h"
#include "result/result_json.h"
#include "settings/finger_settings.h"

namespace fvbrowser {

std::uint64_t nowMs() {
  return fvplat::ClockMs();
}

bool overLimit(std::uint64_t since, std::int64_t limitMs) {
  if (limitMs < 0) return true;
  return nowMs() - since > static_cast<std::uint64_t>(limitMs);
}

FingerBusiness::FingerBusiness(WorkerOwner& owner, WorkerKind kind, int)
    : owner_(owner), kind_(kind) {
  logf("FingerBusiness begin!");
}

FingerBusiness::~FingerBusiness() {
  stopThread();
}

bool FingerBusiness::isStopped() const {
  std::lock_guard<std::mutex> lock(lock_);
  return stop_;
}

void FingerBusiness::setStopFlag(bool stop) {
  std::lock_guard<std::mutex> lock(lock_);
  stop_ = stop;
}

int FingerBusiness::getStatus() const {
  std::lock_guard<std::mutex> lock(lock_);
  return status_;
}

void FingerBusiness::setStatus(int status) {
  std::lock_guard<std::mutex> lock(lock_);
  status_ = status;
}

void FingerBusiness::requestStop() {
  std::lock_guard<std::mutex> lock(lock_);
  status_ = -1;
  stop_ = true;
}

void FingerBusiness::beginTeardown() {
  teardown_.store(true);
}

void FingerBusiness::joinThread() {
  std::thread finished;
  {
    std::lock_guard<std::mutex> lock(threadLock_);
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id()) return;  // a sink on the worker itself
    finished = std::move(thread_);
  }
  logf("FingerBusiness WaitForSingleObject ..");
  finished.join();
}

void FingerBusiness::stopThread() {
  setStopFlag(true);
  joinThread();
}

bool FingerBusiness::startThread(std::function<void()> run) {
  if (running_.load()) return false;
  joinThread();
  std::lock_guard<std::mutex> lock(threadLock_);
  if (thread_.joinable()) return false;  // started meanwhile by another caller
  running_.store(true);
  try {
    thread_ = std::thread([this, run = std::move(run)] {
      run();
      finishRun();
    });
  } catch (const std::system_error&) {
    running_.store(false);
    return false;
  }
  return true;
}

void FingerBusiness::finishRun() {
  running_.store(false);
}

void FingerBusiness::deliver(ReportStage stage, int code, const std::string& text) {
  if (teardown_.load()) return;
  owner_.deliverReport(Report{kind_, stage, code, text});
}

int FingerBusiness::getOneFeather(int limitMs) {
  DeviceLibrary& device = boundDeviceLibrary();
  if (!isPlugin()) {
    int code = -1;
    int unusedQuality = -1;
    frame_.clear();
    owner_.fetchFrame(*this, code, kFrameLimitMs, frame_, unusedQuality);
    logf("FingerBusiness  getOneFeather %d", code);
    if (!frame_.empty()) {
      int quality = -1;
      const int called = device.quality(frame_, quality);
      if (called != 0 && quality == 0) return capture::kOk;
      logf("quality  ret = %d", quality);
      if (called != 0 && quality == 2001) return capture::kPoorImage2001;
      if (called != 0 && quality == 2003) return capture::kPoorImage2003;
      return capture::kPoorImage;
    }
    logf("SSS NULL image.");
    if (code == 0) return capture::kEmptyImage;
    // A closed or lost device ends the step instead of being asked again at once.
    if (code == -1 || code == capture::kDeviceLost) {
      return isStopped() ? capture::kStopped : capture::kDeviceLost;
    }
    return code;
  }

  // Plug-in: frames until one passes the quality gate, within the limit for every frame.
  const std::uint64_t start = nowMs();
  for (;;) {
    if (isStopped()) return capture::kStopped;
    int code = 0;
    int quality = -1;
    frame_.clear();
    owner_.fetchFrame(*this, code, limitMs, frame_, quality);
    if (code == capture::kDeviceLost) return capture::kDeviceLost;
    if (!frame_.empty() && quality == 0) break;
    if (nowMs() - start > static_cast<std::uint64_t>(std::max(limitMs, 0))) {
      logf("等待采集指静脉超时");
      return capture::kWaitedTooLong;
    }
    Sleep(50);
  }
  if (device.extractModel(frame_, {}, {}, frameModel_) == 0) {
    logf("get feature fail");
    return capture::kNoTemplate;
  }
  return capture::kOk;
}

void FingerBusiness::playSound(const std::string& fileName) {
  if (getFingerSettings()->getPlaySound() == 0) return;
  const std::string path = fvplat::SystemDirectory() + "/" + fileName;
  PlaySoundA(path.c_str(), nullptr, SND_ASYNC | SND_NODEFAULT);
}

void FingerBusiness::reportState(int code) {
  int prompt = -1;
  switch (code) {
    case 203:
    case -4:
      prompt = 22;
      break;
    case 208:
      prompt = 21;
      break;
    case 210:
      prompt = 20;
      break;
    case -6:
      prompt = 23;
      break;
    case -7:
      prompt = 24;
      break;
    default:
      break;
  }
  onStateChange(30, prompt < 0 ? std::string() : formatPromptResult(30, prompt));
}

}  // namespace fvbrowser
