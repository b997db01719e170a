#include <cstdio>

#include "dialog/torvane_dlg.h"
#include "fvplatform/clock.h"
#include "text/text_fit.h"
#include "worker/replies.h"

namespace torvane {

void CTorvaneDlg::clearCaptureBuffers() {
  update([](DialogFields& f) {
    for (Bytes& image : f.enrolImages) image.clear();
    f.modelBuffer.clear();
    f.captureCount = 0;
  });
}

void CTorvaneDlg::showStatusLines(const std::string& prompt, const std::string& status) {
  if (fvplat::WindowText(item(kIdPrompt)) == prompt && fvplat::WindowText(item(kIdStatus)) == status)
    return;
  setText(kIdPrompt, prompt);
  setText(kIdStatus, status);
  repaint();
  DialogFields f = fields();
  showPhoto(f.m_photoUrl, f.m_collectId);
}

bool CTorvaneDlg::beginCollection() {
  if (!pollDevice()) return false;
  repaint();
  clearCaptureBuffers();
  update([](DialogFields& f) { f.m_bCollecting = true; });
  for (int id : {kIdDeviceLine, kIdChangeDeviceId, kIdRevealChange, kIdIdlePicture, kIdResult})
    show(id, false);
  for (int id : {kIdBack, kIdRestart, kIdStatus, kIdPrompt, kIdName, kIdPreview}) show(id, true);
  DialogFields f = fields();
  setText(kIdName, "会员姓名：" + f.m_memberName);
  setText(kIdStatus, "放置手指");
  setText(kIdPrompt, "采集中...");
  UpdateWindow(item(kIdPrompt));
  showPhoto(f.m_photoUrl, f.m_collectId);
  return true;
}

void CTorvaneDlg::showErrorText(const std::string& text) {
  update([](DialogFields& f) { f.m_resultHighlight = 0; });
  repaint();
  resetUi();
  show(kIdResult, true);
  setText(kIdResult, text);
  SetTimer(m_hWnd, kTimerIdle, 1500, nullptr);
  m_device.setLed(0, 0);
  SetTimer(m_hWnd, kTimerLed, 1000, nullptr);
  outcomeShown();
}

void CTorvaneDlg::showSignInResult(const std::string& text, const std::string& reply) {
  resetUi();
  for (int id : {kIdDeviceLine, kIdChangeDeviceId, kIdRevealChange}) show(id, false);
  // Parsed first, then each text field decoded: an encoded quote or brace in a name can no
  // longer break the reply apart.
  std::optional<Json::Value> root = parseObject(reply);
  if (!root) return;
  std::optional<double> quality = doubleMember(*root, "quality");
  if (!quality || !(*quality > 0.58)) return;
  const Json::Value& member = objectMember(*root, "memberInfo");
  std::string name = urlDecode(stringMember(member, "name"));
  std::string image = urlDecode(stringMember(member, "image"));
  int memberId = intMember(member, "member_id").value_or(0);
  repaint();
  show(kIdIdlePicture, false);
  show(kIdName, true);
  setText(kIdName, "会员姓名：" + name);
  show(kIdResult, true);
  if (!text.empty()) {
    setText(kIdResult, text);
    update([](DialogFields& f) { f.m_resultHighlight = 1; });
  } else {
    setText(kIdResult, fields().m_bSignOut ? "签退成功" : "欢迎光临");
    update([](DialogFields& f) { f.m_resultHighlight = 0; });
  }
  showPhoto(image, memberId);
  SetTimer(m_hWnd, kTimerIdle, 1500, nullptr);
  outcomeShown();
}

void CTorvaneDlg::showDeviceId(const std::string& name, int number) {
  if (fields().m_bCollecting) return;
  show(kIdDeviceLine, true);
  show(kIdRevealChange, true);
  repaint();
  Sleep(50);
  char line[64];
  std::snprintf(line, sizeof line, "设备ID：%d  ", number);
  setText(kIdDeviceLine, line + name);
  UpdateWindow(item(kIdDeviceLine));
}

void CTorvaneDlg::resetUi() {
  for (int id : {kIdSuccessText, kIdSuccessPicture, kIdBack, kIdRestart, kIdStatus, kIdPrompt,
                 kIdName, kIdResult, kIdPreview})
    show(id, false);
  show(kIdIdlePicture, true);
  update([](DialogFields& f) {
    f.m_bCollecting = false;
    f.m_bBusy = false;
    f.captureCount = 0;
    f.m_collectId = 0;
  });
  int number = m_device.readNumber();
  DialogFields f = fields();
  if (number > 0 && number == f.m_deviceNo) showDeviceId(f.m_deviceName, f.m_deviceNo);
  repaint();
}

bool CTorvaneDlg::bringToFront() {
  CTorvaneDlg* dialog = mainDialog != nullptr ? mainDialog : this;
  if (!dialog->pollDevice()) return false;
  HWND window = FindWindowA(nullptr, kDialogCaption);
  placeWindow(window, SW_SHOWNORMAL);
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  KillTimer(m_hWnd, kTimerIdle);
  return true;
}

void CTorvaneDlg::storeEnrolRequest(const EnrolRequest& request) {
  update([&](DialogFields& f) {
    f.m_photoUrl = fitUtf8(request.photoUrl, kPhotoUrlSize - 1);
    f.m_collectId = request.collectId;
    f.m_bEmployee = request.employee;
    f.m_memberName = fitUtf8(request.name, kMemberNameSize - 1);
    f.m_enrolFingerType = request.fingerType;
    f.m_clubId = request.clubId;
    f.m_branchId = request.branchId;
  });
}

}  // namespace torvane
