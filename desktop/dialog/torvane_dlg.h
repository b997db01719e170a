#pragma once
// The one window of the desktop program: sits minimised at the desk, comes forward for a
// finger or an enrolment, shows the outcome for 1.5 s and minimises again.

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "fvplatform/dialog.h"
#include "ports/cloud_access.h"
#include "ports/device_access.h"

namespace torvane {

inline constexpr const char* kDialogCaption = "Torvane指静脉系统";

// Control ids of the main dialog.
enum ControlId : int {
  kIdName = 1002,
  kIdStatus = 1003,
  kIdPrompt = 1004,
  kIdSuccessPicture = 1005,
  kIdSuccessText = 1006,
  kIdBack = 1007,
  kIdRestart = 1008,
  kIdIdlePicture = 1009,
  kIdResult = 1010,
  kIdProgress = 1011,
  kIdChangeDeviceId = 1016,
  kIdDeviceLine = 1017,
  kIdRevealChange = 1019,
  kIdPreview = 1020,
};

// Where the member's photo goes, in pixels.
inline constexpr int kPhotoX = 40, kPhotoY = 30, kPhotoSize = 120;

inline constexpr UINT_PTR kTimerIdle = 1;  // back to idle and minimised
inline constexpr UINT_PTR kTimerLed = 11;  // LED back on

// Fixed sizes the dialog keeps the request's texts in (terminator included).
inline constexpr std::size_t kMemberNameSize = 256;
inline constexpr std::size_t kPhotoUrlSize = 512;

// The fields shared by the user-interface thread, the capture worker and the local HTTP
// thread, together with the enrolment buffers; all guarded by the dialog's one lock.
struct DialogFields {
  bool m_bStop = false;
  bool m_bCollecting = false;
  bool m_bBusy = false;
  int m_lastEnrolledId = 0;
  int m_signedMemberId = 0;
  bool m_bSignOut = false;
  bool m_bDeviceReady = false;
  int m_promptError = 0;
  int m_resultHighlight = 0;
  int m_collectId = 0;
  std::string m_memberName;  // at most kMemberNameSize - 1 bytes
  std::string m_photoUrl;    // at most kPhotoUrlSize - 1 bytes
  int m_enrolFingerType = 0;
  int m_clubId = 0;
  int m_branchId = 0;
  bool m_bEmployee = false;
  int m_deviceNo = 0;
  std::string m_deviceName;
  std::string m_captureFolder = "model";
  std::string m_programFolder;
  // Process-wide in the original program; kept here under the same lock.
  int captureCount = 0;
  std::array<Bytes, 3> enrolImages;
  Bytes modelBuffer;
};

// An enrolment request of the management page.
struct EnrolRequest {
  std::string photoUrl;
  int collectId = 0;
  bool employee = false;
  std::string name;
  int fingerType = 0;
  int clubId = 0;
  int branchId = 0;
};

class CTorvaneDlg;

// What the parts built elsewhere (member photo, device number dialog, update check, local
// HTTP server) plug into; each may be left empty.
struct DialogHooks {
  std::function<void(HWND, const std::string& url, int x, int y, int w, int h, int id)> showPhoto;
  std::function<bool()> deviceNumberDialogVisible;
  std::function<void()> showDeviceNumberDialog;
  std::function<void()> startLocalServer;
  std::function<void()> checkForUpdate;
  // After the dialog has shown an outcome (an enrolment's success, a sign-in, an error text).
  std::function<void(const CTorvaneDlg&)> outcomeShown;
};

class CaptureWorker;

class CTorvaneDlg {
 public:
  CTorvaneDlg(DeviceAccess& device, CloudAccess& cloud, DialogHooks hooks = {});
  ~CTorvaneDlg();
  CTorvaneDlg(const CTorvaneDlg&) = delete;
  CTorvaneDlg& operator=(const CTorvaneDlg&) = delete;

  // Makes the window on the calling thread (which becomes its user-interface thread) and runs
  // OnInitDialog. Tests pass startWorker = false and turn the worker themselves.
  bool Create(const std::string& workFolder = ".", bool startWorker = true);
  // Create, then pump messages until the window is gone.
  int DoModal(const std::string& workFolder = ".");
  HWND window() const { return m_hWnd; }
  HWND item(int id) const { return GetDlgItem(m_hWnd, id); }
  // Where "image", "auth" and "model" live (the working directory in the program).
  const std::string& workFolder() const { return m_workFolder; }
  std::string workPath(const std::string& relative) const;

  // The shared fields: a copy, or a change made under the lock.
  DialogFields fields() const;
  template <class F>
  void update(F&& change) {
    std::lock_guard<std::mutex> guard(m_lock);
    change(m_fields);
  }
  // Stores an enrolment request as the local HTTP interface gives it, cut to the fixed sizes
  // on a character boundary.
  void storeEnrolRequest(const EnrolRequest& request);

  // Display operations; any thread may call them.
  bool beginCollection();
  bool bringToFront();
  void resetUi();
  void showStatusLines(const std::string& prompt, const std::string& status);
  void showErrorText(const std::string& text);
  void showSignInResult(const std::string& text, const std::string& reply);
  void showDeviceId(const std::string& name, int number);
  bool pollDevice();
  void clearCaptureBuffers();

  // Message handlers (on the user-interface thread).
  void OnInitDialog();
  void OnTimer(UINT_PTR id);
  void OnButton(int id);
  std::uint32_t OnCtlColor(HWND control) const;

  DeviceAccess& device() { return m_device; }
  CloudAccess& cloud() { return m_cloud; }
  const DialogHooks& hooks() const { return m_hooks; }
  CaptureWorker* worker() { return m_worker.get(); }

 private:
  static LRESULT windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void createControls();
  void show(int id, bool visible);
  void setText(int id, const std::string& text);
  void repaint();
  void showPhoto(const std::string& url, int id);
 public:
  // Runs the outcomeShown hook.
  void outcomeShown() const;

 private:

  DeviceAccess& m_device;
  CloudAccess& m_cloud;
  DialogHooks m_hooks;
  HWND m_hWnd = nullptr;
  std::string m_workFolder = ".";
  mutable std::mutex m_lock;
  DialogFields m_fields;
  std::unique_ptr<CaptureWorker> m_worker;
  bool m_startWorker = true;
  std::thread m_workerThread;
};

// Sets a window's placement (normal or minimised) as found by its caption.
void placeWindow(HWND window, int showCommand);

// The one dialog of the process, set in OnInitDialog.
extern CTorvaneDlg* mainDialog;

}  // namespace torvane
