#include <string>

#include "fvplatform/clock.h"
#include "worker/capture_worker.h"
#include "worker/quality_gate.h"
#include "worker/replies.h"
#include "worker/write_capture.h"

namespace torvane {

void CaptureWorker::signIn() {
  m_dialog.bringToFront();
  Sleep(50);
  const DialogFields at = m_dialog.fields();
  if (at.m_bCollecting) return;  // an enrolment the page started meanwhile takes the finger next turn
  // A page may start an enrolment while this step runs; the step's texts must not end it.
  const auto showErrorText = [this](const char* text) {
    if (!m_dialog.fields().m_bCollecting) m_dialog.showErrorText(text);
  };
  if (at.m_branchId < 1 || at.m_clubId < 1) {
    showErrorText("请先打开TorvaneSAAS管理系统");
    m_fingerMustLift = false;
    return;
  }
  m_fingerMustLift = false;
  DeviceAccess& device = m_dialog.device();
  Bytes capture;
  if (!device.capture(capture)) return;
  m_dialog.update([&](DialogFields& f) { f.enrolImages[0] = capture; });
  if (!passesQualityGate(device, capture, kSignInGate)) {
    showErrorText("请将手指尽量贴靠右侧");
    m_fingerMustLift = false;
    return;
  }
  m_fingerMustLift = true;
  const std::string authPath = m_dialog.workPath("auth/auth.jpg");
  if (!writeFileBytes(authPath, capture)) {
    showErrorText("请用管理员身份打开此软件");
    return;
  }
  Json::Value payload;
  payload["club_id"] = at.m_clubId;
  payload["branch_id"] = at.m_branchId;
  payload["device_id"] = std::to_string(static_cast<unsigned>(device.readNumber()));
  CloudAccess& cloud = m_dialog.cloud();
  const std::string reply =
      cloud.decrypt(cloud.postIdentify(cloud.encrypt(styledJson(payload)), authPath, 1));
  std::optional<Json::Value> root = parseObject(reply);
  if (!root) {
    showErrorText("请检查你的网络状态");
    return;
  }
  const std::optional<int> result = intMember(*root, "result");
  if (result == 1 || result == 0) {
    const Json::Value& member = objectMember(*root, "memberInfo");
    const int memberId = intMember(member, "member_id").value_or(0);
    m_dialog.update([&](DialogFields& f) { f.m_signedMemberId = memberId; });
    const bool signedInOrOut = intMember(*root, "signed") == 1;
    if (signedInOrOut) {
      const bool signOut = intMember(*root, "inOut") == 3;
      m_dialog.update([&](DialogFields& f) { f.m_bSignOut = signOut; });
    }
    if (m_dialog.fields().m_bCollecting) return;  // recorded for the page, not shown over the enrolment
    if (signedInOrOut) {
      m_dialog.showSignInResult("", reply);
      device.setLed(0, 0);
      SetTimer(m_dialog.window(), kTimerLed, 200, nullptr);
    } else {
      const std::optional<int> status = intMember(member, "status");
      const char* text = status == 4 ? "该会员已请假" : status == 5 ? "该会员已被冻结" : "没有可用的会员卡";
      m_dialog.showSignInResult(text, reply);
      device.setLed(0, 0);
      SetTimer(m_dialog.window(), kTimerLed, 1000, nullptr);
    }
    return;
  }
  showErrorText(result == 4   ? "此设备未授权"
                         : result == 2 ? "该手指未在此场馆注册"
                         : result == 3 ? "请用管理员身份打开此软件"
                                       : kSignInFailed);
}

}  // namespace torvane
