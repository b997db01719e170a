#include "number_dialog/set_device_id_dlg.h"

#include <cstdio>
#include <limits>

#include "app/torvane_app.h"
#include "dialog/torvane_dlg.h"
#include "text/text_fit.h"
#include "worker/replies.h"

namespace torvane {
namespace {

using fvplat::ControlKind;

const char* const kNeedsManagementPage = "请先打开TorvaneSAAS管理系统";
const char* const kWriteFailed = "ID设置失败，请检查设备是否连接正常";
const char* const kRefused = "ID设置出错了，请检查ID是否输入有误";

// The typed digits as a device number; false beyond the 32-bit range (atoi would wrap it).
bool deviceNumberOf(const std::string& digits, int& number) {
  long long value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<int>::max()) return false;
  }
  number = static_cast<int>(value);
  return true;
}

}  // namespace

CSetDeviceIdDlg::CSetDeviceIdDlg(DeviceAccess& device, CloudAccess& cloud) : m_device(device), m_cloud(cloud) {}

CSetDeviceIdDlg::~CSetDeviceIdDlg() {
  if (m_hWnd != nullptr) {
    SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    DestroyWindow(m_hWnd);
  }
}

bool CSetDeviceIdDlg::Create() {
  fvplat::WindowSpec spec;
  spec.caption = "";
  spec.width = fvplat::DialogUnitsX(427);
  spec.height = fvplat::DialogUnitsY(214);
  spec.proc = &CSetDeviceIdDlg::windowProc;
  m_hWnd = fvplat::CreatePlatformWindow(spec);
  if (m_hWnd == nullptr) return false;
  SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  OnInitDialog();
  ShowWindow(m_hWnd, SW_HIDE);
  return true;
}

void CSetDeviceIdDlg::OnInitDialog() {
  const fvplat::ControlSpec controls[] = {
      {kIdTitle, ControlKind::Static, "设置设备ID", 40, 40, 560, 44, true, true, 0},
      {kIdLabel, ControlKind::Static, "输入您要设置的ID:", 90, 130, 200, 28, true, false, 0},
      {kIdNumberEdit, ControlKind::Edit, "", 290, 124, 240, 38, true, false, 0},
      {kIdOutcome, ControlKind::Static, "该设备ID属于前台", 90, 190, 460, 28, false, false, 0},
      {kIdSubmit, ControlKind::BitmapButton, "提交", 250, 260, 140, 44, true, false, 138},
  };
  for (const fvplat::ControlSpec& spec : controls) fvplat::CreateControl(m_hWnd, spec);
  const fvplat::Font font10{"微软雅黑", 10}, font20{"微软雅黑", 20};
  for (int id : {kIdLabel, kIdOutcome, kIdNumberEdit}) fvplat::SetControlFont(item(id), font10);
  fvplat::SetControlFont(item(kIdTitle), font20);
  ShowWindow(item(kIdOutcome), SW_HIDE);
}

void CSetDeviceIdDlg::show() {
  ShowWindow(m_hWnd, SW_SHOW);
}

void CSetDeviceIdDlg::OnNumberUpdate() {
  const std::string text = fvplat::WindowText(item(kIdNumberEdit));
  if (text.size() > kNumberMaxDigits) SetWindowTextA(item(kIdNumberEdit), text.substr(0, kNumberMaxDigits).c_str());
}

void CSetDeviceIdDlg::showOutcome(const std::string& text) {
  ShowWindow(item(kIdOutcome), SW_SHOW);
  SetWindowTextA(item(kIdOutcome), text.c_str());
  UpdateWindow(m_hWnd);
}

void CSetDeviceIdDlg::OnSubmit() {
  // 1. A number of four digits or fewer is ignored.
  const std::string typed = fvplat::WindowText(item(kIdNumberEdit));
  if (typed.size() <= 4) return;
  // 2.
  const int club = theApp().m_clubId, branch = theApp().m_branchId;
  if (branch < 1 || club < 1) {
    showOutcome(kNeedsManagementPage);
    return;
  }
  // A number the device cannot hold is refused before the cloud is asked (atoi would wrap it).
  int number = 0;
  if (!deviceNumberOf(typed, number)) {
    showOutcome(kRefused);
    return;
  }
  // 3.
  Json::Value request;
  request["device_id"] = typed;
  request["branch_id"] = branch;
  request["club_id"] = club;
  const std::optional<Json::Value> root =
      parseObject(m_cloud.decrypt(m_cloud.postJson(styledJson(request), "v1/fv/checkKqDeviceId")));
  if (!root) return;
  // 4. and 5.
  if (intMember(*root, "result") != 1) {
    showOutcome(kRefused);
    return;
  }
  if (!m_device.setNumber(number)) {
    showOutcome(kWriteFailed);
    return;
  }
  char name[1024];
  urlDecodeToAnsi(stringMember(*root, "name").c_str(), name, sizeof name);
  showOutcome("ID设置成功，此设备为" + std::string(name));
}

void CSetDeviceIdDlg::OnSysCommand(WPARAM command) {
  if ((command & 0xFFF0) != SC_CLOSE) return;
  if (mainDialog != nullptr) ShowWindow(mainDialog->window(), SW_SHOW);
  ShowWindow(m_hWnd, SW_HIDE);
}

std::uint32_t CSetDeviceIdDlg::OnCtlColor(HWND control) const {
  const int id = GetDlgCtrlID(control);
  if (id == kIdOutcome) return RGB(241, 114, 126);
  if (id == kIdNumberEdit) return RGB(51, 51, 51);
  return RGB(0, 0, 0);
}

LRESULT CSetDeviceIdDlg::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CSetDeviceIdDlg*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self != nullptr) {
    switch (message) {
      case WM_COMMAND:
        if (LOWORD(wParam) == kIdSubmit && HIWORD(wParam) == BN_CLICKED) self->OnSubmit();
        if (LOWORD(wParam) == kIdNumberEdit && HIWORD(wParam) == EN_UPDATE) self->OnNumberUpdate();
        return 0;
      case WM_SYSCOMMAND:
        self->OnSysCommand(wParam);
        return 0;
      case WM_CLOSE:
        self->OnSysCommand(SC_CLOSE);
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace torvane
