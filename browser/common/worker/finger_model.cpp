#include "worker/finger_model.h"

#include <json/json.h>

#include "base/flavour.h"
#include "binding/device_library.h"
#include "fvcommon/json_read.h"
#include "fvplatform/clock.h"
#include "log/log_file.h"
#include "result/result_json.h"

namespace fvbrowser {
namespace {

bool IsFinger(int code) {
  return code >= 1 && code <= 6;
}

}  // namespace

std::string fingerSoundStem(int finger) {
  static const char* const kStems[] = {"lsz", "lzz", "lwm", "rsz", "rzz", "rwm"};
  return IsFinger(finger) ? kStems[finger - 1] : "";
}

FingerModel::FingerModel(WorkerOwner& owner, int timeoutSeconds)
    : FingerBusiness(owner, WorkerKind::kModel, timeoutSeconds) {
  logf("FingerModel begin!");
}

FingerModel::~FingerModel() {
  stopThread();
}

int FingerModel::fingerAt(int index) const {
  return index >= 0 && index < kFingerOrderSize ? m_Fingers[static_cast<std::size_t>(index)] : 0;
}

int FingerModel::startBusiness(const std::string& request) {
  if (!fvcommon::readJson(request)) {
    logf("Finger Model reader.parse fail!");
    return -1;
  }
  logf("finger Model reader.parse OK!");
  if (isRunning()) return 4;  // the run before has not ended yet
  const std::shared_ptr<FingerSettings> settings = getFingerSettings();
  m_NumTmptPerFinger = settings->getTimesPerFinger();
  m_FingerNum = settings->getFingerNum();
  m_ModelTimeout = settings->getModelTimeout();
  logf("FingerModel::startFingerBusiness");
  setStopFlag(false);
  data_.clear();
  m_ErrorTime = 0;
  m_CancelTime = 0;
  m_FingerType = 0;
  m_LastFinger = -1;
  m_Index = 1;
  m_Fingers = settings->getFingerOrder();
  logf("Finger model thread create.FingerModel");
  if (!startThread([this] { ThreadProcessFunc(); })) {
    setStopFlag(true);
    return 4;
  }
  return 0;
}

void FingerModel::ThreadProcessFunc() {
  std::uint64_t start = nowMs();
  const int startId = isPlugin() ? 0 : -2;
  onStart(startId, formatPromptResult(startId, 0));
  while (!isStopped()) {
    // A finger taken again from its first capture starts empty; one whose later capture failed
    // keeps the captures it has.
    if (m_Index == 1) {
      for (Bytes& capture : m_Captures) capture.clear();
      logf("准备采集--清理存储图片区域");
    }
    const int r = getFingerFeather();
    logf("采集函数退出——ThreadProcessFunc  %d", r);
    if (isStopped()) {
      onStop(-3, formatPromptResult(-3, 1));
      break;
    }
    if (r != capture::kOk) {
      reportState(r);
      if (r == capture::kDeviceLost) {
        const int id = isPlugin() ? -13 : -3;
        onStop(id, formatPromptResult(id, 2));
        break;
      }
      if (r == capture::kWaitedTooLong) {
        onStop(-100, formatPromptResult(-100, 3));
        break;
      }
      if (overLimit(start, secondsToMs(m_ModelTimeout))) {
        start = nowMs();
        m_ErrorTime = 0;
        m_Index = 3;
        m_LastFinger = -1;
        onStop(-2, formatPromptResult(-2, 4));
        break;
      }
      logf(
          "FingerModel 83 "
          "fingerMode->m_FingerNum:%d,fingerMode->m_CancelTime:%d,fingerMode->m_FingerType:%d",
          m_FingerNum, m_CancelTime, m_FingerType);
    } else {
      start = nowMs();
      onStep();
    }
    if (fingerAt(m_FingerType) == 0 || m_FingerType - m_CancelTime >= m_FingerNum) break;
  }
  if (isStopped()) {
    onStop(-3, formatPromptResult(-3, 1));
  } else {
    onStop();
  }
  logf("exit finger model.");
  boundDeviceLibrary().setLed(1, 0);
}

int FingerModel::getFingerFeather() {
  const std::uint64_t t0 = nowMs();
  logf("getFingerFeather!");
  const int c = fingerAt(m_FingerType);
  DeviceLibrary& device = boundDeviceLibrary();
  if (c != m_LastFinger) {
    std::string text;
    if (IsFinger(c)) {
      text = formatPromptResult(40, 7 + c);
      playSound(fingerSoundStem(c) + "_bg.wav");
    }
    logf("%s", text.c_str());
    setStatus(0);
    onStateChange(40, text);
    const std::uint64_t waitStart = nowMs();
    int passes = 0;
    while (owner_.getFingerState() == 3) {
      if (isStopped()) return capture::kStopped;
      Sleep(10);
      if (overLimit(waitStart, kFingerLeftLimitMs)) break;
      logf("等待 %d", ++passes);
    }
    device.setLed(0, 1);
    while (getStatus() == 0) {
      if (isStopped()) return capture::kStopped;
      Sleep(70);
      if (overLimit(t0, kStepLimitMs)) {
        logf("第一次采集超时first finger waiting overtime!");
        return capture::kWaitedTooLong;
      }
    }
    if (getStatus() == -1) {
      ++m_CancelTime;
      ++m_FingerType;
      return capture::kDeclined;
    }
  }
  logf("status = %d", getStatus());
  m_LastFinger = c;
  if (m_Index == 1) {
    const int r = firstCapture(c, t0);
    if (r != capture::kOk || m_Index == 1) return r;
  }
  return laterCaptures(c, t0);
}

int FingerModel::firstCapture(int, std::uint64_t t0) {
  DeviceLibrary& device = boundDeviceLibrary();
  int r = capture::kOk;
  do {
    if (isStopped()) return capture::kStopped;
    r = getOneFeather(isPlugin() ? kStepLimitMs - static_cast<int>(nowMs() - t0) : kFrameLimitMs);
    if (overLimit(t0, kStepLimitMs)) return capture::kWaitedTooLong;
  } while (r == capture::kNoFrame && getStatus() > 0);
  // Any failure is taken again by the next call, without a new prompt or question.
  if (r != capture::kOk) return r;
  device.setLed(1, 0);
  m_Captures[0] = frame_;
  m_MergedBuilt = false;
  if (isPlugin()) {
    m_FirstModel = frameModel_;
  } else if (device.extractModel(m_Captures[0], {}, {}, m_FirstModel) == 0) {
    // Later captures are matched against this template: without it, capture 1 is taken again.
    return capture::kNoTemplate;
  }
  if (m_NumTmptPerFinger <= 1) {
    if (isPlugin()) m_MergedBuilt = device.extractModel(m_Captures[0], {}, {}, m_MergedModel) != 0;
    m_Index = 1;
    ++m_FingerType;
    return capture::kOk;
  }
  m_Index = 2;
  return capture::kOk;
}

int FingerModel::laterCaptures(int c, std::uint64_t t0) {
  DeviceLibrary& device = boundDeviceLibrary();
  while (m_Index <= m_NumTmptPerFinger) {
    if (isStopped()) return capture::kStopped;
    onStateChange(41, formatPromptResult(41, 31));
    playSound("release_finger.wav");
    while (device.getState() != 0) {
      if (isStopped()) return capture::kStopped;
      if (overLimit(t0, kStepLimitMs)) return capture::kWaitedTooLong;
      Sleep(30);
    }
    std::string text;
    if (IsFinger(c)) {
      text = formatPromptResult(41, 13 + c);
      playSound(fingerSoundStem(c) + "_ag.wav");
    }
    while (owner_.getFingerState() == 3) {
      if (isStopped()) return capture::kStopped;
      Sleep(70);
      if (overLimit(t0, kStepLimitMs)) return capture::kWaitedTooLong;
    }
    device.setLed(0, 1);
    Sleep(50);
    onStateChange(41, text);
    int r = capture::kOk;
    do {
      if (isStopped()) return capture::kStopped;
      r = getOneFeather(isPlugin() ? kStepLimitMs - static_cast<int>(nowMs() - t0) : kFrameLimitMs);
      if (overLimit(t0, kStepLimitMs)) return capture::kWaitedTooLong;
    } while (r == capture::kNoFrame && getStatus() > 0);
    if (r == capture::kOk) {
      float score = 0;
      const bool called = device.match(frame_, m_FirstModel, score) != 0;
      const bool same =
          isPlugin() ? called && score > 0.4f : called && score > 0.5f && score < 0.951f;
      if (same) {
        m_Captures[static_cast<std::size_t>(m_Index - 1)] = frame_;
        logf("1:1匹配 matchModel score = %f", static_cast<double>(score));
        ++m_Index;
        continue;
      }
      r = capture::kNotSameFinger;
    } else {
      logf("time over -----------\r\n");
      // A device gone ends the step, as in the first capture.
      if (r == capture::kDeviceLost || r == capture::kStopped) return r;
    }
    if (!isPlugin()) continue;  // the same capture again
    // Plug-in: the step ends after the prompt to lift the finger; a second failure of the same
    // finger asks for it again from its first capture.
    onStateChange(41, formatPromptResult(41, 31));
    playSound("release_finger.wav");
    if (m_ErrorTime == 0) {
      m_ErrorTime = 1;
    } else {
      m_ErrorTime = 0;
      m_Index = 1;
      m_LastFinger = -1;
    }
    return r;
  }
  if (isPlugin()) {
    m_MergedBuilt =
        device.extractModel(m_Captures[0], m_Captures[1], m_Captures[2], m_MergedModel) != 0;
  }
  m_Index = 1;
  m_ErrorTime = 0;
  ++m_FingerType;
  return capture::kOk;
}

void FingerModel::onStart(int code, const std::string& text) {
  deliver(ReportStage::kStart, code, text);
}

void FingerModel::onStateChange(int code, const std::string& text) {
  deliver(ReportStage::kStateChange, code, text);
}

void FingerModel::onStop(int code, const std::string& text) {
  deliver(ReportStage::kStop, code, text);
}

void FingerModel::onStop() {
  if (m_FingerType - m_CancelTime > 0) {
    SaveData();
  } else {
    onStop(-3, formatPromptResult(-3, 1));
  }
}

void FingerModel::onStep() {
  const int c = fingerAt(m_FingerType - 1);
  const std::string description = IsFinger(c) ? getString(24 + c) : std::string();
  const bool built = isPlugin()
                         ? m_MergedBuilt
                         : boundDeviceLibrary().extractModel(m_Captures[0], m_Captures[1],
                                                             m_Captures[2], m_MergedModel) != 0;
  if (built) {
    data_.addImage(m_Captures[0], c);
    data_.addImage(m_Captures[1], c);
    if (m_NumTmptPerFinger >= 3) data_.addImage(m_Captures[2], c);
    data_.addFeature(m_MergedModel, c);
  }
  Json::Value step(Json::objectValue);
  step["RETURNID"] = 0;
  step["RETURNVALUE"] = std::to_string(c);
  step["RETURNDESC"] = description;
  step["IMAGE"] = data_.getLastImage();
  deliver(ReportStage::kStep, 0, resultText(step));
  for (Bytes& capture : m_Captures) capture.clear();
}

void FingerModel::SaveData() {
  Json::Value result(Json::objectValue);
  result["RETURNID"] = 0;
  result["RETURNVALUE"] = "";
  result["RETURNDESC"] = getString(5);
  result["IMAGE"] = data_.imagesToJson();
  result["FEATURE"] = data_.featuresToJson();
  const std::string text = resultText(result);
  logf("FingerModel::SaveData pic data:");
  logf("%s", text.c_str());
  deliver(ReportStage::kStop, 0, text);
}

}  // namespace fvbrowser
