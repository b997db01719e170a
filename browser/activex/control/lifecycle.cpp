// Construction, siting in the browser, activation, release of the control's resources and
// destruction.

#include "control/pellacor_ctrl.h"
#include "fvplatform/com_runtime.h"
#include "log/log_file.h"
#include "module/identities.h"
#include "module/module_state.h"
#include "settings/finger_settings.h"

CPellacorCtrl::CPellacorCtrl() : m_events(pellacor::DIID__DPellacorEvents, *this) {
  pellacor::ModuleObjectCreated();
  // Settings and log are process-wide; each control holds them for its lifetime, so one
  // control going away never pulls them from under another.
  fvbrowser::holdLogFile();
  fvbrowser::holdFingerSettings();
  fvbrowser::logf("PellacorCtrl  init begin......");
  fvbrowser::getFingerSettings()->loadSettingFile();
  CoInitialize(nullptr);
  fvbrowser::logf("PellacorCtrl  init end......");
}

CPellacorCtrl::~CPellacorCtrl() {
  // The timer thread calls into this object: stop and wait for it before anything goes.
  stopTimer();
  fvbrowser::logf("CPellacorCtrl  exit.....");
  ReleaseControl();
  DestroyControlWindow();
  {
    std::lock_guard<std::mutex> guard(m_textLock);
    for (std::string* text : m_textsInFlight) delete text;
    m_textsInFlight.clear();
  }
  if (m_webBrowser != nullptr) m_webBrowser->Release();
  if (m_clientSite != nullptr) m_clientSite->Release();
  m_events.UnadviseAll();
  CoUninitialize();
  fvbrowser::logf("CPellacorCtrl  exit  succeed.");
  fvbrowser::releaseFingerSettings();
  fvbrowser::releaseLogFile();
  pellacor::ModuleObjectDestroyed();
}

void CPellacorCtrl::OnSetClientSite() {
  ReleaseControl();
  if (m_webBrowser != nullptr) {
    m_webBrowser->Release();
    m_webBrowser = nullptr;
  }
  if (m_clientSite == nullptr) {
    fvbrowser::logf("browser  exit.");
    return;
  }
  // client site -> top-level browser's service provider -> the browser itself
  IServiceProvider* site = nullptr;
  if (FAILED(m_clientSite->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&site))) ||
      site == nullptr) {
    return;
  }
  IServiceProvider* top = nullptr;
  if (SUCCEEDED(site->QueryService(SID_STopLevelBrowser, IID_IServiceProvider,
                                   reinterpret_cast<void**>(&top))) &&
      top != nullptr) {
    IWebBrowser2* browser = nullptr;
    if (SUCCEEDED(top->QueryService(IID_IWebBrowserApp, IID_IWebBrowser2,
                                    reinterpret_cast<void**>(&browser)))) {
      m_webBrowser = browser;
    }
    top->Release();
  }
  site->Release();
}

void CPellacorCtrl::ReleaseControl() {
  fvbrowser::logf("ReleaseControl s");
  ORVEK_CloseVeinDev();
  DeleteWorker(m_model);
  DeleteWorker(m_recog);
  ORVEK_CloseVeinDev();
  fvbrowser::logf("ReleaseControl e");
}

HRESULT CPellacorCtrl::Close(DWORD) {
  ReleaseControl();
  DestroyControlWindow();
  return S_OK;
}

HRESULT CPellacorCtrl::DoVerb(LONG verb, MSG*, IOleClientSite*, LONG, HWND parent,
                              const RECT* position) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
      return CreateControlWindow(parent, position) ? S_OK : E_FAIL;
    case OLEIVERB_PROPERTIES:
      return OnProperties(parent != nullptr ? parent : m_hWnd.load());
    default:
      return E_NOTIMPL;
  }
}
