// Scripting safety: the control reports itself safe for untrusted callers and data, accepts
// being marked so, and refuses being marked anything else.

#include "control/pellacor_ctrl.h"

namespace {
constexpr DWORD kSafeOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
}

HRESULT CPellacorCtrl::XObjSafe::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported,
                                                          DWORD* enabled) {
  if (supported == nullptr || enabled == nullptr) return E_POINTER;
  IUnknown* found = nullptr;
  const HRESULT hr = owner_.ControllingUnknown()->QueryInterface(riid, reinterpret_cast<void**>(&found));
  if (found != nullptr) found->Release();
  *supported = kSafeOptions;
  *enabled = kSafeOptions;
  return hr;
}

HRESULT CPellacorCtrl::XObjSafe::SetInterfaceSafetyOptions(REFIID riid, DWORD optionMask,
                                                          DWORD enabled) {
  IUnknown* found = nullptr;
  if (FAILED(owner_.ControllingUnknown()->QueryInterface(riid, reinterpret_cast<void**>(&found))) ||
      found == nullptr) {
    return E_NOINTERFACE;
  }
  found->Release();
  if (optionMask >= 4) return E_FAIL;
  return (optionMask & enabled & kSafeOptions) == optionMask ? S_OK : E_FAIL;
}
