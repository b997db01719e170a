// The control's property page and the Properties verb that shows it.

#include "control/pellacor_ctrl.h"
#include "fvplatform/com_runtime.h"
#include "module/identities.h"

HRESULT CPellacorCtrl::XSpecifyPropertyPages::GetPages(CAUUID* pages) {
  if (pages == nullptr) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
  if (pages->pElems == nullptr) return E_OUTOFMEMORY;
  pages->pElems[0] = pellacor::CLSID_PellacorPropPage;
  pages->cElems = 1;
  return S_OK;
}

HRESULT CPellacorCtrl::OnProperties(HWND parent) {
  CAUUID pages{};
  HRESULT hr = m_xSpecifyPropertyPages.GetPages(&pages);
  if (FAILED(hr)) return hr;
  IUnknown* self = ControllingUnknown();
  const std::u16string caption = fvplat::Utf8ToUtf16(pellacor::kControlTypeName);
  hr = OleCreatePropertyFrame(parent, 0, 0, caption.c_str(), 1, &self, pages.cElems, pages.pElems,
                              LOCALE_USER_DEFAULT, 0, nullptr);
  CoTaskMemFree(pages.pElems);
  return hr;
}
