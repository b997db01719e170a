// Construction, siting in the browser, release of the control's resources and destruction.

#include "control/pellacor_ctrl.h"
#include "module/identities.h"
#include "module/module_state.h"

CPellacorCtrl::CPellacorCtrl() : m_events(pellacor::DIID__DPellacorEvents, *this) {
  pellacor::ModuleObjectCreated();
}

CPellacorCtrl::~CPellacorCtrl() {
  ReleaseControl();
  if (m_webBrowser != nullptr) m_webBrowser->Release();
  if (m_clientSite != nullptr) m_clientSite->Release();
  m_events.UnadviseAll();
  pellacor::ModuleObjectDestroyed();
}

void CPellacorCtrl::OnSetClientSite() {
  ReleaseControl();
  if (m_webBrowser != nullptr) {
    m_webBrowser->Release();
    m_webBrowser = nullptr;
  }
  if (m_clientSite == nullptr) return;  // the page goes away
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

void CPellacorCtrl::ReleaseControl() {}

HRESULT CPellacorCtrl::Close(DWORD) { return S_OK; }

HRESULT CPellacorCtrl::DoVerb(LONG, MSG*, IOleClientSite*, LONG, HWND, const RECT*) { return S_OK; }
