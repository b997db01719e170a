#include "dialogs/prop_page.h"

#include <cstring>

#include "fvplatform/com_runtime.h"
#include "fvplatform/dialog.h"
#include "fvplatform/oleauto.h"
#include "module/module_state.h"

namespace {

constexpr int kWidthUnits = 250, kHeightUnits = 62;

}  // namespace

CPellacorPropPage::CPellacorPropPage() { pellacor::ModuleObjectCreated(); }

CPellacorPropPage::~CPellacorPropPage() {
  Deactivate();
  SetPageSite(nullptr);
  pellacor::ModuleObjectDestroyed();
}

HRESULT CPellacorPropPage::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (riid != IID_IUnknown && riid != IID_IPropertyPage) return E_NOINTERFACE;
  *object = static_cast<IPropertyPage*>(this);
  AddRef();
  return S_OK;
}

ULONG CPellacorPropPage::AddRef() { return ++m_refs; }

ULONG CPellacorPropPage::Release() {
  const ULONG left = --m_refs;
  if (left == 0) delete this;
  return left;
}

HRESULT CPellacorPropPage::SetPageSite(IPropertyPageSite* site) {
  if (site != nullptr) site->AddRef();
  if (m_site != nullptr) m_site->Release();
  m_site = site;
  return S_OK;
}

HRESULT CPellacorPropPage::Activate(HWND parent, const RECT* rect, BOOL) {
  if (m_hWnd != nullptr) return S_OK;
  fvplat::WindowSpec spec;
  spec.parent = parent;
  if (rect != nullptr) {
    spec.x = rect->left;
    spec.y = rect->top;
  }
  spec.width = fvplat::DialogUnitsX(kWidthUnits);
  spec.height = fvplat::DialogUnitsY(kHeightUnits);
  HWND window = fvplat::CreatePlatformWindow(spec);
  if (window == nullptr) return E_FAIL;
  fvplat::ControlSpec note;
  note.id = -1;
  note.kind = fvplat::ControlKind::Static;
  note.text = kNote;
  note.x = fvplat::DialogUnitsX(7);
  note.y = fvplat::DialogUnitsY(25);
  note.width = fvplat::DialogUnitsX(kWidthUnits - 14);
  note.height = fvplat::DialogUnitsY(16);
  fvplat::SetControlFont(fvplat::CreateControl(window, note), fvplat::Font{"MS Shell Dlg", 8});
  m_hWnd = window;
  return S_OK;
}

HRESULT CPellacorPropPage::Deactivate() {
  if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
  m_hWnd = nullptr;
  return S_OK;
}

HRESULT CPellacorPropPage::GetPageInfo(PROPPAGEINFO* info) {
  if (info == nullptr) return E_POINTER;
  const std::u16string title = fvplat::Utf8ToUtf16(kCaption);
  auto* text = static_cast<OLECHAR*>(CoTaskMemAlloc((title.size() + 1) * sizeof(OLECHAR)));
  if (text == nullptr) return E_OUTOFMEMORY;
  std::memcpy(text, title.c_str(), (title.size() + 1) * sizeof(OLECHAR));
  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = text;
  info->size = SIZEL{fvplat::DialogUnitsX(kWidthUnits), fvplat::DialogUnitsY(kHeightUnits)};
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return S_OK;
}

HRESULT CPellacorPropPage::SetObjects(ULONG count, IUnknown** objects) {
  return count > 0 && objects == nullptr ? E_POINTER : S_OK;
}

HRESULT CPellacorPropPage::Show(UINT command) {
  if (m_hWnd == nullptr) return E_UNEXPECTED;
  ShowWindow(m_hWnd, static_cast<int>(command));
  return S_OK;
}

HRESULT CPellacorPropPage::Move(const RECT* rect) { return rect == nullptr ? E_POINTER : S_OK; }
HRESULT CPellacorPropPage::IsPageDirty() { return S_FALSE; }
HRESULT CPellacorPropPage::Apply() { return S_OK; }
HRESULT CPellacorPropPage::Help(LPCOLESTR) { return E_NOTIMPL; }
HRESULT CPellacorPropPage::TranslateAccelerator(MSG*) { return S_FALSE; }
