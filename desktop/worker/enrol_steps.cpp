#include <array>
#include <string>

#include "worker/capture_worker.h"
#include "worker/quality_gate.h"
#include "worker/replies.h"
#include "worker/write_capture.h"

namespace torvane {
namespace {

const char* const kPoorQuality = "此次采集到的数据无效，请将手指尽量贴靠右侧";
const char* const kOtherFinger = "放置的不是同一个手指，请放入刚才的手指";

}  // namespace

// The device library builds the model from a copy of the captures, outside the dialog's lock.
std::array<Bytes, 3> CaptureWorker::rebuildModel() {
  const std::array<Bytes, 3> images = m_dialog.fields().enrolImages;
  Bytes model;
  m_dialog.device().buildModel(images, model);
  m_dialog.update([&](DialogFields& f) { f.modelBuffer = model; });
  return images;
}

// Capture 1: the quality gate, then the cloud is asked whether the finger is enrolled already.
void CaptureWorker::enrolFirstCapture(const DialogFields& at) {
  DeviceAccess& device = m_dialog.device();
  Bytes capture;
  if (!device.capture(capture)) {
    m_fingerMustLift = false;
    return;
  }
  m_dialog.update([&](DialogFields& f) { f.enrolImages[0] = capture; });
  if (!passesQualityGate(device, capture, kEnrolGate)) {
    refuse(kPoorQuality, false);
    return;
  }
  m_dialog.update([](DialogFields& f) {
    f.captureCount = 1;
    f.modelBuffer.resize(3352);
    f.m_bBusy = true;
  });
  m_fingerMustLift = true;
  const std::string authPath = m_dialog.workPath("auth/auth.jpg");
  if (!writeFileBytes(authPath, capture)) {
    m_dialog.showErrorText("请用管理员身份打开此软件");
    m_dialog.clearCaptureBuffers();
    return;
  }
  Json::Value payload;
  payload["club_id"] = at.m_clubId;
  payload["branch_id"] = at.m_branchId;
  CloudAccess& cloud = m_dialog.cloud();
  std::string reply = cloud.decrypt(cloud.postIdentify(cloud.encrypt(styledJson(payload)), authPath, 0));
  m_dialog.update([](DialogFields& f) { f.m_bBusy = false; });
  if (!stillCollecting(at)) return;  // ended meanwhile (button or page)
  std::optional<Json::Value> root = parseObject(reply);
  if (!root) {
    // Without the cloud's answer there is no model to match later captures against.
    m_dialog.showErrorText("请检查你的网络状态");
    m_dialog.clearCaptureBuffers();
    return;
  }
  if (intMember(*root, "result") == 1) {
    m_dialog.resetUi();
    m_dialog.showErrorText("此手指已经注册过了，您可以换只手指");
    m_dialog.clearCaptureBuffers();
    return;
  }
  rebuildModel();
  m_dialog.update([](DialogFields& f) { f.m_promptError = 0; });
  m_dialog.showStatusLines("请松开手后再放置一次", "采集中...");
  device.setLed(0, 0);
  SetTimer(m_dialog.window(), kTimerLed, 200, nullptr);
}

// Captures 2 and 3 (entry 1 and 2): the quality gate and the same finger as before.
void CaptureWorker::enrolLaterCapture(const DialogFields& at, int entry) {
  DeviceAccess& device = m_dialog.device();
  Bytes capture;
  if (!device.capture(capture)) {
    m_fingerMustLift = false;
    return;
  }
  m_dialog.update([&](DialogFields& f) { f.enrolImages[entry] = capture; });
  if (!passesQualityGate(device, capture, kEnrolGate)) {
    refuse(kPoorQuality, false);
    return;
  }
  if (!isSameFinger(device, capture, at.modelBuffer)) {
    refuse(kOtherFinger, true);
    return;
  }
  if (entry == 1) {
    m_dialog.update([](DialogFields& f) { f.captureCount = 2; });
    rebuildModel();
    m_dialog.update([](DialogFields& f) { f.m_promptError = 0; });
    m_dialog.showStatusLines("请松开手最后放置一次", "采集中...");
    device.setLed(0, 0);
    SetTimer(m_dialog.window(), kTimerLed, 200, nullptr);
    m_fingerMustLift = true;
    return;
  }

  // Capture 3: the three files, then the enrolment is posted.
  const std::array<Bytes, 3> images = rebuildModel();
  std::array<std::string, 3> paths;
  bool written = true;
  for (int k = 0; k < 3; ++k) {
    paths[k] = m_dialog.workPath(at.m_captureFolder + "/" + std::to_string(at.m_collectId) + "_" +
                                 std::to_string(k + 1) + ".jpg");
    written = writeFileBytes(paths[k], images[k]) && written;
  }
  if (!written) {
    m_dialog.showErrorText("请用管理员身份打开此软件");
    m_dialog.clearCaptureBuffers();
    m_fingerMustLift = false;
    return;
  }
  m_fingerMustLift = true;
  m_dialog.update([](DialogFields& f) { f.m_bCollecting = false; });
  m_dialog.clearCaptureBuffers();
  device.setLed(1, 0);

  Json::Value payload;
  payload["finger_type"] = at.m_enrolFingerType;
  payload[at.m_bEmployee ? "employee_id" : "member_id"] = at.m_collectId;
  CloudAccess& cloud = m_dialog.cloud();
  const std::string raw = cloud.postEnrolment(cloud.encrypt(styledJson(payload)), paths, at.m_bEmployee);
  // The page may have started the next enrolment while this one's upload ran: this outcome
  // is then recorded for its own poll and shown over nothing, so the next one goes on.
  const auto showErrorText = [this](const char* text) {
    if (!m_dialog.fields().m_bCollecting) m_dialog.showErrorText(text);
  };
  if (raw.find("500 Internal Server Error") != std::string::npos) {
    showErrorText("服务器出错了，请联系Torvane科技");
    return;
  }
  std::optional<Json::Value> root = parseObject(cloud.decrypt(raw));
  if (!root) {
    showErrorText("请检查你的网络状态");
    return;
  }
  std::optional<int> result = intMember(*root, "result");
  if (result == 1) {
    bool nextBegun = false;
    m_dialog.update([&](DialogFields& f) {
      f.m_lastEnrolledId = at.m_collectId;
      nextBegun = f.m_bCollecting;
    });
    if (nextBegun) return;
    m_dialog.resetUi();
    for (int id : {kIdDeviceLine, kIdChangeDeviceId, kIdRevealChange, kIdIdlePicture})
      ShowWindow(m_dialog.item(id), SW_HIDE);
    for (int id : {kIdSuccessPicture, kIdSuccessText}) ShowWindow(m_dialog.item(id), SW_SHOW);
    UpdateWindow(m_dialog.window());
    SetTimer(m_dialog.window(), kTimerIdle, 1500, nullptr);
    device.setLed(0, 0);
    SetTimer(m_dialog.window(), kTimerLed, 200, nullptr);
    m_dialog.outcomeShown();
  } else if (result == 4) {
    showErrorText("该用户已采集过该手指");
  } else {
    showErrorText(kEnrolmentFailed);
  }
}

}  // namespace torvane
