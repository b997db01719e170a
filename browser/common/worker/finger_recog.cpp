#include "worker/finger_recog.h"

#include <algorithm>
#include <climits>
#include <numeric>
#include <cstdio>

#include "base/flavour.h"
#include "binding/device_library.h"
#include "fvcommon/base64.h"
#include "fvcommon/json_read.h"
#include "fvplatform/clock.h"
#include "log/log_file.h"
#include "result/result_json.h"
#include "settings/finger_settings.h"

namespace fvbrowser {
namespace {

// A template text decodes into at most this many bytes; longer texts are not templates.
constexpr std::size_t kDecodeLimit = 2 * kModelBytes;

std::string Score(float score) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", static_cast<double>(score));
  return text;
}

}  // namespace

FingerRecog::FingerRecog(WorkerOwner& owner, int timeoutSeconds)
    : FingerBusiness(owner, WorkerKind::kRecog, timeoutSeconds) {
  logf("FingerRecon begin!");
}

FingerRecog::~FingerRecog() {
  stopThread();
}

int FingerRecog::startBusiness(const std::string& request) {
  const std::optional<Json::Value> parsed = fvcommon::readJson(request);
  if (!parsed || !parsed->isObject()) {
    logf("Finger Model reader.parse fail 1!");
    return -1;
  }
  if (isRunning()) return 3;  // the run before has not ended yet
  const Json::Value& root = *parsed;
  // A run starts from nothing: no candidates, no type map, online until the list says not.
  m_InputFeatureNum = 0;
  m_TypeMap = Json::Value();
  m_bOffLine = false;
  m_BestScore = 0;
  m_UserId.clear();
  if (root.isMember("userId")) {
    const Json::Value& id = root["userId"];
    if (id.isObject() || id.isArray()) return -1;  // of the wrong type, with no user id yet
    m_UserId = id.asString();
  }
  if (root.isMember("features") && root["features"].isString()) {
    getFingerInputFeatures(root["features"].asString());
  }
  m_RecogTimeout = getFingerSettings()->getRecogTimeout();
  setStopFlag(false);
  data_.clear();
  if (!startThread([this] { ThreadProcessFunc(); })) {
    logf("Finger Recog thread create.FingerRecog CFile");
    setStopFlag(true);
    return 3;
  }
  logf("Finger Recog thread create.FingerRecog  ok");
  return 0;
}

bool FingerRecog::getFingerInputFeatures(const std::string& text) {
  logf("Enter getFingerInputFeatures  1  \r\n");
  logf("%s", text.c_str());
  m_InputFeatureNum = 0;
  m_bOffLine = isPlugin() ? text.size() < 10 : text.empty();
  if (m_bOffLine) logf("getFingerInputFeatures is OffLine!");
  const std::optional<Json::Value> parsed = fvcommon::readJson(text);
  if (!parsed || !parsed->isObject()) {
    logf("Finger Model reader.parse fail 2!");
    return false;
  }
  const Json::Value& list = *parsed;
  if (!list.isMember("feature") || !list["feature"].isObject()) {
    logf("Finger Model has no feature!");
    return false;
  }
  if (!list.isMember("num") || !list["num"].isInt()) {
    logf("Finger Model has no num!");
    return false;
  }
  const int num = list["num"].asInt();
  if (num > kMaxCandidates) {
    logf("finger number is too much!");
    return false;
  }
  m_TypeMap = list.isMember("type") ? list["type"] : Json::Value();
  const Json::Value& features = list["feature"];
  for (int i = 0; i < num && i < kMaxCandidates; ++i) {
    const std::string key = std::to_string(i);
    if (!features.isMember(key) || !features[key].isString()) continue;
    const auto decoded = fvcommon::Base64DecodeStrict(features[key].asString(), kDecodeLimit);
    if (!decoded) continue;  // not a template text
    Bytes& slot = m_Candidates[static_cast<std::size_t>(m_InputFeatureNum)];
    slot.assign(kModelBytes, 0);
    std::copy_n(decoded->begin(), std::min<std::size_t>(decoded->size(), kModelBytes),
                slot.begin());
    m_CandidateKeys[static_cast<std::size_t>(m_InputFeatureNum)] = i;
    ++m_InputFeatureNum;
  }
  logf("finger Model reader.parse OK!");
  return true;
}

void FingerRecog::ThreadProcessFunc() {
  m_RunStart = nowMs();
  onStart(0, formatPromptResult(0, 32));
  int r = capture::kOk;
  while (!isStopped()) {
    r = getFingerFeather();
    logf(" WINAPI ThreadProcessFunc  retAAA = %d ", r);
    if (isStopped()) {
      onStop(-3, formatPromptResult(-3, 38));
      break;
    }
    if (r == capture::kOk) {
      onStep();
      break;
    }
    reportState(r);
    if (r == capture::kDeviceLost) {
      onStop(-13, formatPromptResult(-13, 2));
      break;
    }
    if (r == capture::kWaitedTooLong) {
      onStop(-100, formatPromptResult(-100, 3));
      break;
    }
    if (r == capture::kDeclined) {
      onStop(-1, formatPromptResult(-1, 38));
      break;
    }
    if (overLimit(m_RunStart, secondsToMs(m_RecogTimeout))) {
      onStop(-2, formatPromptResult(-2, 4));
      break;
    }
  }
  if (isStopped()) {
    onStop(-3, formatPromptResult(-3, 38));
  } else if (r == capture::kOk) {
    onStop();
  }
  boundDeviceLibrary().setLed(1, 0);
}

int FingerRecog::getFingerFeather() {
  DeviceLibrary& device = boundDeviceLibrary();
  if (!isPlugin()) device.setLed(0, 1);
  const std::uint64_t t0 = nowMs();
  logf("getFingerFeather!");
  playSound("bg.wav");
  setStatus(0);
  onStateChange(40, formatPromptResult(40, 33));
  while (getStatus() == 0) {
    if (isStopped()) {
      if (isPlugin()) return capture::kStopped;
      break;
    }
    Sleep(isPlugin() ? 500 : 70);
    if (overLimit(t0, kStepLimitMs)) {
      logf("finger waiting overtime!");
      return capture::kWaitedTooLong;
    }
  }
  if (getStatus() == -1) return capture::kDeclined;
  if (isPlugin()) device.setLed(0, 1);
  int r = capture::kOk;
  do {
    const std::int64_t left =
        secondsToMs(m_RecogTimeout) - static_cast<std::int64_t>(nowMs() - m_RunStart);
    r = getOneFeather(isPlugin() ? static_cast<int>(std::clamp<std::int64_t>(left, -1, INT_MAX))
                                 : kFrameLimitMs);
    if (overLimit(t0, kStepLimitMs)) {
      logf("finger waiting overtime!");
      return capture::kWaitedTooLong;
    }
    Sleep(30);
  } while (r == capture::kNoFrame && !isStopped());
  if (r == capture::kOk) device.setLed(1, 0);
  return r;
}

void FingerRecog::onStart(int code, const std::string& text) {
  deliver(ReportStage::kStart, code, text);
}

void FingerRecog::onStateChange(int code, const std::string& text) {
  deliver(ReportStage::kStateChange, code, text);
}

void FingerRecog::onStop(int code, const std::string& text) {
  logf("onStop  start");
  deliver(ReportStage::kStop, code, text);
}

void FingerRecog::onStep() {
  logf(" void FingerRecog::onStep( retC ");
  data_.addImage(frame_, 1);
  deliver(ReportStage::kStep, 0, formatValueResult(0, "0", 36));
}

Json::Value FingerRecog::typeOf(int key) const {
  Json::Value type(Json::objectValue);
  const std::string name = std::to_string(key);
  type[name] = m_TypeMap.isObject() && m_TypeMap.isMember(name) ? m_TypeMap[name] : Json::Value();
  return type;
}

void FingerRecog::onStop() {
  logf("onStop  start");
  m_BestScore = 0;
  logf("onStop A m_bOffLine == %d", m_bOffLine ? 1 : 0);
  DeviceLibrary& device = boundDeviceLibrary();
  const bool probeBuilt = device.extractModel(frame_, {}, {}, m_Probe) != 0;
  if (probeBuilt) data_.addFeature(m_Probe, 1);
  if (m_bOffLine) {
    SaveData();
    return;
  }
  int position = m_InputFeatureNum;
  float score = 0;
  bool searched = false;
  bool match = false;
  if (probeBuilt) {
    const int called = searchCandidates(position, score);
    const float thresh = getFingerSettings()->getThresh();
    logf("Finger Recog thread create.FingerReco     g  bRet =%d   maxScore = %f %f", called,
         static_cast<double>(score), static_cast<double>(thresh));
    // A search the engine refused found nothing; its -1 is no similarity.
    if (called == 0 || score < 0) score = 0;
    m_BestScore = score;
    searched = true;
    match = called != 0 && score > thresh;
  }
  // The page names its templates by key; a slot stands for the key it was loaded from.
  const bool slotKnown = position >= 0 && position < m_InputFeatureNum;
  const int key = slotKnown ? m_CandidateKeys[static_cast<std::size_t>(position)] : position;

  auto imageObject = [&](bool typed) {
    Json::Value image(Json::objectValue);
    image["images"]["0"] = data_.getLastImage();
    if (typed) image["type"] = typeOf(key);
    image["algtype"] = 3;
    image["num"] = 1;
    return resultText(image);
  };
  auto featureObject = [&] {
    Json::Value feature(Json::objectValue);
    feature["feature"]["0"] = data_.getLastFeature();
    feature["type"] = typeOf(key);
    feature["algtype"] = 3;
    feature["num"] = 1;
    return resultText(feature);
  };

  Json::Value result(Json::objectValue);
  result["RETURNID"] = match ? 0 : 1;
  if (isPlugin()) {
    result["RETURNDESC"] = promptText(match ? 34 : 35) + promptText(41) + Score(m_BestScore);
    const bool typed = match || (searched && slotKnown);
    result["IMAGE"] = imageObject(typed);
    if (typed) result["FEATURE"] = featureObject();
  } else {
    result["RETURNDESC"] = promptText(match ? 34 : 35);
    result["RETURNVALUE"] = Score(m_BestScore);
    if (searched) result["POS"] = std::to_string(key);
    result["IMAGE"] = imageObject(match);
    if (match) result["FEATURE"] = featureObject();
  }
  deliver(ReportStage::kStop, match ? 0 : 1, resultText(result));
}

int FingerRecog::searchSlots(const std::vector<int>& slots, int& slot, float& score) {
  Bytes models;
  models.reserve(slots.size() * kModelBytes);
  for (const int s : slots) {
    const Bytes& model = m_Candidates[static_cast<std::size_t>(s)];
    models.insert(models.end(), model.begin(), model.end());
  }
  const int count = static_cast<int>(slots.size());
  int position = count;
  score = 0;
  const int called = boundDeviceLibrary().index(models, count, frame_, position, score);
  slot = position >= 0 && position < count ? slots[static_cast<std::size_t>(position)]
                                           : m_InputFeatureNum;
  return called;
}

int FingerRecog::searchCandidates(int& slot, float& score) {
  std::vector<int> slots(static_cast<std::size_t>(m_InputFeatureNum));
  std::iota(slots.begin(), slots.end(), 0);
  const int called = searchSlots(slots, slot, score);
  if (called == 0 || score >= 0) return called;
  // The engine refuses a list when it refuses any template of it: each is asked alone, and the
  // ones it takes are searched again, each still under its own slot.
  std::vector<int> taken;
  for (const int s : slots) {
    int unused = 0;
    float alone = -1;
    if (boundDeviceLibrary().index(m_Candidates[static_cast<std::size_t>(s)], 1, frame_, unused,
                                   alone) != 0 &&
        alone >= 0) {
      taken.push_back(s);
    } else {
      logf("feature %d refused, left out", m_CandidateKeys[static_cast<std::size_t>(s)]);
    }
  }
  if (taken.empty()) {
    slot = m_InputFeatureNum;
    return called;
  }
  return searchSlots(taken, slot, score);
}

void FingerRecog::SaveData() {
  Json::Value image(Json::objectValue);
  image["images"]["0"] = data_.getLastImage();
  image["type"]["fingertype"] = 1;
  image["num"] = 1;
  image["algtype"] = 3;
  Json::Value feature(Json::objectValue);
  feature["feature"]["0"] = data_.getLastFeature();
  feature["type"]["0"]["fingertype"] = 1;
  feature["num"] = 1;
  feature["algtype"] = 3;
  Json::Value result(Json::objectValue);
  result["RETURNID"] = 2;
  result["RETURNDESC"] = promptText(37);
  result["RETURNVALUE"] = Score(0);
  result["IMAGE"] = resultText(image);
  result["FEATURE"] = resultText(feature);
  deliver(ReportStage::kStop, 2, resultText(result));
}

}  // namespace fvbrowser
