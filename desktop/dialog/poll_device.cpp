#include <string>

#include "dialog/torvane_dlg.h"
#include "fvplatform/message_box.h"
#include "text/text_fit.h"
#include "worker/replies.h"

namespace torvane {

bool CTorvaneDlg::pollDevice() {
  // 1. and 2. Open the device when it is not.
  m_device.load();
  if (!m_device.isOpen() && !m_device.open(0, item(kIdPreview))) {
    for (int id : {kIdDeviceLine, kIdChangeDeviceId, kIdRevealChange}) show(id, false);
    update([](DialogFields& f) {
      f.m_deviceName.clear();
      f.m_deviceNo = 0;
      f.m_bDeviceReady = false;
    });
    if (IsWindowVisible(item(kIdProgress))) return false;  // an update is downloading
    MessageBoxTimeoutA(m_hWnd,
                       "无法启动指静脉，请重新插入。\n如果还是无法识别，请将仪器插在电脑后面的USB口里。",
                       "提示", MB_OK, 0, 3000);
    return false;
  }
  // 3.
  const int n = m_device.readNumber();
  // 4. A device without a number asks for one.
  if (n == 0) {
    bool numberDialogVisible = m_hooks.deviceNumberDialogVisible && m_hooks.deviceNumberDialogVisible();
    if (numberDialogVisible || IsWindowVisible(item(kIdProgress))) return false;
    show(kIdDeviceLine, false);
    show(kIdChangeDeviceId, false);
    MessageBoxA(m_hWnd, "该指静脉识别仪未配置信息，请先设置设备ID", "Torvane", MB_OK);
    if (m_hooks.showDeviceNumberDialog) m_hooks.showDeviceNumberDialog();
    ShowWindow(m_hWnd, SW_HIDE);
    return false;
  }
  // 5. A new number, or one the cloud has not named yet, is asked about.
  DialogFields f = fields();
  if (n != f.m_deviceNo || f.m_deviceName.empty()) {
    update([n](DialogFields& g) {
      g.m_deviceName.clear();
      g.m_deviceNo = n;
    });
    if (f.m_branchId < 1 || f.m_clubId < 1) {
      showDeviceId("请打开SAAS系统", n);
    } else {
      Json::Value request;
      request["device_id"] = std::to_string(n);
      request["branch_id"] = f.m_branchId;
      request["club_id"] = f.m_clubId;
      std::string reply = m_cloud.decrypt(m_cloud.postJson(styledJson(request), "v1/fv/checkKqDeviceId"));
      if (std::optional<Json::Value> root = parseObject(reply)) {
        if (intMember(*root, "result") == 1) {
          std::string name = fitUtf8(urlDecode(stringMember(*root, "name")), 1023);
          update([&](DialogFields& g) {
            g.m_deviceName = name;
            g.m_deviceNo = n;
          });
          showDeviceId(name, n);
          update([](DialogFields& g) { g.m_bDeviceReady = true; });
        } else {
          showDeviceId("该设备ID无效", n);
        }
      }
    }
  }
  return true;
}

}  // namespace torvane
