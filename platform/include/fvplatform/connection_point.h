#pragma once
// One outgoing dispatch interface of an object: sinks advise and unadvise, and the object
// fires events to all of them. The point's reference count is its owner's; QueryInterface on
// the point answers only IUnknown and IConnectionPoint. Events are fired on the thread the
// object lives on, as an apartment-threaded object does.

#include <string>
#include <vector>

#include "fvplatform/oleauto.h"

namespace fvplat::com {

class FVPLAT_API ConnectionPoint final : public IConnectionPoint {
 public:
  ConnectionPoint(const IID& eventInterface, IConnectionPointContainer& owner);
  ~ConnectionPoint();
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetConnectionInterface(IID* iid) override;
  HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
  // The sink must answer the event interface or IDispatch; CONNECT_E_CANNOTCONNECT otherwise.
  HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT Unadvise(DWORD cookie) override;
  HRESULT EnumConnections(IEnumConnections** connections) override;

  const IID& eventInterface() const { return iid_; }
  std::size_t sinkCount() const { return sinks_.size(); }
  // Calls `id` with one text argument on every sink. A sink may unadvise while it runs.
  void FireText(DISPID id, const std::string& text);
  // Drops every sink (the object is going away).
  void UnadviseAll();

 private:
  struct Sink {
    DWORD cookie;
    IDispatch* dispatch;
  };
  IID iid_;
  IConnectionPointContainer& owner_;
  std::vector<Sink> sinks_;
  DWORD nextCookie_ = 1;
};

}  // namespace fvplat::com
