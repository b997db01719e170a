// The control's COM identity: which interfaces it answers, its reference count, dispatch
// through the method table, and the OLE object calls of its container.

#include <algorithm>

#include "control/pellacor_ctrl.h"
#include "fvplatform/com_runtime.h"
#include "module/identities.h"
#include "module/type_info_cache.h"

HRESULT CPellacorCtrl::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == pellacor::DIID__DPellacor) {
    *object = static_cast<IDispatch*>(this);
  } else if (riid == IID_IOleObject) {
    *object = static_cast<IOleObject*>(this);
  } else if (riid == IID_IConnectionPointContainer) {
    *object = static_cast<IConnectionPointContainer*>(this);
  } else if (riid == IID_IObjectSafety) {
    *object = static_cast<IObjectSafety*>(&m_xObjSafe);
  } else if (riid == IID_IPersist || riid == IID_IPersistStreamInit) {
    *object = static_cast<IPersistStreamInit*>(&m_xPersistStreamInit);
  } else if (riid == IID_IPersistPropertyBag) {
    *object = static_cast<IPersistPropertyBag*>(&m_xPersistPropertyBag);
  } else if (riid == IID_IViewObject) {
    *object = static_cast<IViewObject*>(&m_xViewObject);
  } else if (riid == IID_ISpecifyPropertyPages) {
    *object = static_cast<ISpecifyPropertyPages*>(&m_xSpecifyPropertyPages);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CPellacorCtrl::AddRef() { return ++m_refs; }

ULONG CPellacorCtrl::Release() {
  const ULONG left = --m_refs;
  if (left == 0) delete this;
  return left;
}

HRESULT CPellacorCtrl::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT CPellacorCtrl::GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return pellacor::DispatchTypeInfo(locale, info);
}

HRESULT CPellacorCtrl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  return fvplat::com::GetIDsOfNames(DispatchTable(), names, count, ids);
}

HRESULT CPellacorCtrl::Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO*, UINT* argError) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  // Every call is accepted, also before the control is sited. A script call may release the
  // page's last reference to the control (closing it); hold one for the call.
  AddRef();
  const HRESULT hr =
      fvplat::com::Invoke(DispatchTable(), *this, member, flags, params, result, argError);
  Release();
  return hr;
}

HRESULT CPellacorCtrl::SetClientSite(IOleClientSite* site) {
  if (site != nullptr) site->AddRef();
  if (m_clientSite != nullptr) m_clientSite->Release();
  m_clientSite = site;
  OnSetClientSite();
  return S_OK;
}

HRESULT CPellacorCtrl::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  *site = m_clientSite;
  if (m_clientSite != nullptr) m_clientSite->AddRef();
  return S_OK;
}

HRESULT CPellacorCtrl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }
HRESULT CPellacorCtrl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
HRESULT CPellacorCtrl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker == nullptr) return E_POINTER;
  *moniker = nullptr;
  return E_NOTIMPL;
}
HRESULT CPellacorCtrl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
HRESULT CPellacorCtrl::GetClipboardData(DWORD, IDataObject** data) {
  if (data == nullptr) return E_POINTER;
  *data = nullptr;
  return E_NOTIMPL;
}
HRESULT CPellacorCtrl::EnumVerbs(IEnumOLEVERB** verbs) {
  if (verbs == nullptr) return E_POINTER;
  *verbs = nullptr;
  return E_NOTIMPL;
}
HRESULT CPellacorCtrl::Update() { return S_OK; }
HRESULT CPellacorCtrl::IsUpToDate() { return S_OK; }

HRESULT CPellacorCtrl::GetUserClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = pellacor::CLSID_Pellacor;
  return S_OK;
}

// String 1 in every form.
HRESULT CPellacorCtrl::GetUserType(DWORD, LPOLESTR* userType) {
  if (userType == nullptr) return E_POINTER;
  const std::u16string name = fvplat::Utf8ToUtf16(pellacor::kControlTypeName);
  *userType = static_cast<LPOLESTR>(CoTaskMemAlloc((name.size() + 1) * sizeof(OLECHAR)));
  if (*userType == nullptr) return E_OUTOFMEMORY;
  std::copy(name.c_str(), name.c_str() + name.size() + 1, *userType);
  return S_OK;
}

HRESULT CPellacorCtrl::SetExtent(DWORD, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (size->cx < 0 || size->cy < 0) return E_INVALIDARG;
  m_modified = m_modified || size->cx != m_extent.cx || size->cy != m_extent.cy;
  m_extent = *size;
  return S_OK;
}

HRESULT CPellacorCtrl::GetExtent(DWORD, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  *size = m_extent;
  return S_OK;
}

HRESULT CPellacorCtrl::Advise(IAdviseSink*, DWORD* connection) {
  if (connection == nullptr) return E_POINTER;
  *connection = 0;
  return E_NOTIMPL;
}
HRESULT CPellacorCtrl::Unadvise(DWORD) { return E_NOTIMPL; }
HRESULT CPellacorCtrl::EnumAdvise(IEnumSTATDATA** advise) {
  if (advise == nullptr) return E_POINTER;
  *advise = nullptr;
  return E_NOTIMPL;
}

HRESULT CPellacorCtrl::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = pellacor::kMiscStatus;
  return S_OK;
}

HRESULT CPellacorCtrl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

HRESULT CPellacorCtrl::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points == nullptr) return E_POINTER;
  *points = nullptr;
  return E_NOTIMPL;
}

HRESULT CPellacorCtrl::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (riid != pellacor::DIID__DPellacorEvents) return CONNECT_E_NOCONNECTION;
  *point = &m_events;
  m_events.AddRef();
  return S_OK;
}

void CPellacorCtrl::FireText(DISPID id, const std::string& text) { m_events.FireText(id, text); }
