#pragma once
// The device number dialog: the desk staff type the number of the capture device, the cloud
// says whether it belongs to this club and branch, and an accepted number is written into the
// device. Created once, hidden and modeless; shown when the device has no number or on the
// change button.

#include <string>

#include "fvplatform/dialog.h"
#include "ports/cloud_access.h"
#include "ports/device_access.h"

namespace torvane {

enum DeviceIdControl : int {
  kIdSubmit = 1007,
  kIdNumberEdit = 1012,
  kIdOutcome = 1013,
  kIdTitle = 1015,
  kIdLabel = 1018,
};

inline constexpr std::size_t kNumberMaxDigits = 10;

class CSetDeviceIdDlg {
 public:
  CSetDeviceIdDlg(DeviceAccess& device, CloudAccess& cloud);
  ~CSetDeviceIdDlg();
  CSetDeviceIdDlg(const CSetDeviceIdDlg&) = delete;
  CSetDeviceIdDlg& operator=(const CSetDeviceIdDlg&) = delete;

  // Makes the hidden window on the calling thread (the user-interface thread).
  bool Create();
  HWND window() const { return m_hWnd; }
  HWND item(int id) const { return GetDlgItem(m_hWnd, id); }
  bool visible() const { return IsWindowVisible(m_hWnd) != FALSE; }
  void show();

  void OnInitDialog();
  void OnNumberUpdate();
  void OnSubmit();
  void OnSysCommand(WPARAM command);
  std::uint32_t OnCtlColor(HWND control) const;

 private:
  static LRESULT windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void showOutcome(const std::string& text);

  DeviceAccess& m_device;
  CloudAccess& m_cloud;
  HWND m_hWnd = nullptr;
};

}  // namespace torvane
