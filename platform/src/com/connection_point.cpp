#include "fvplatform/connection_point.h"

namespace fvplat::com {

ConnectionPoint::ConnectionPoint(const IID& eventInterface, IConnectionPointContainer& owner)
    : iid_(eventInterface), owner_(owner) {}

ConnectionPoint::~ConnectionPoint() { UnadviseAll(); }

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG ConnectionPoint::AddRef() { return owner_.AddRef(); }
ULONG ConnectionPoint::Release() { return owner_.Release(); }

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (container == nullptr) return E_POINTER;
  *container = &owner_;
  owner_.AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (sink == nullptr) return E_POINTER;
  IDispatch* dispatch = nullptr;
  if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&dispatch))) || dispatch == nullptr) {
    if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) ||
        dispatch == nullptr) {
      return CONNECT_E_CANNOTCONNECT;
    }
  }
  *cookie = nextCookie_++;
  sinks_.push_back({*cookie, dispatch});
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->cookie == cookie) {
      IDispatch* dispatch = it->dispatch;
      sinks_.erase(it);
      dispatch->Release();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections == nullptr) return E_POINTER;
  *connections = nullptr;
  return E_NOTIMPL;
}

void ConnectionPoint::FireText(DISPID id, const std::string& text) {
  // A handler may unadvise (itself or others): call a held copy.
  std::vector<Sink> sinks = sinks_;
  for (const Sink& sink : sinks) sink.dispatch->AddRef();
  for (const Sink& sink : sinks) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = BstrFromUtf8(text);
    DISPPARAMS params{&argument, nullptr, 1, 0};
    sink.dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                          nullptr, nullptr);
    VariantClear(&argument);
  }
  for (const Sink& sink : sinks) sink.dispatch->Release();
}

void ConnectionPoint::UnadviseAll() {
  std::vector<Sink> sinks;
  sinks.swap(sinks_);
  for (const Sink& sink : sinks) sink.dispatch->Release();
}

}  // namespace fvplat::com
