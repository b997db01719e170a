// The control's persistent state through a stream or a property bag. The control has no
// properties of its own: both write the version 0x10000, then the base properties (the
// extent), and read them back the same way. The stream holds three 32-bit little-endian values.

#include "control/pellacor_ctrl.h"
#include "module/identities.h"

namespace {

using PropExchange = CPellacorCtrl::PropExchange;

class StreamExchange final : public PropExchange {
 public:
  StreamExchange(IStream& stream, bool loading) : stream_(stream), loading_(loading) {}
  bool loading() const override { return loading_; }
  bool ExchangeLong(const char16_t*, LONG& value, LONG) override {
    std::uint8_t bytes[4];
    ULONG done = 0;
    if (!loading_) {
      const auto bits = static_cast<std::uint32_t>(value);
      for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
      return SUCCEEDED(stream_.Write(bytes, sizeof bytes, &done)) && done == sizeof bytes;
    }
    // A stream may hand out fewer bytes than asked for at a time.
    ULONG got = 0;
    while (got < sizeof bytes) {
      if (FAILED(stream_.Read(bytes + got, sizeof bytes - got, &done)) || done == 0) return false;
      got += done;
    }
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    value = static_cast<LONG>(bits);
    return true;
  }

 private:
  IStream& stream_;
  bool loading_;
};

class BagExchange final : public PropExchange {
 public:
  BagExchange(IPropertyBag& bag, IErrorLog* log, bool loading)
      : bag_(bag), log_(log), loading_(loading) {}
  bool loading() const override { return loading_; }
  bool ExchangeLong(const char16_t* name, LONG& value, LONG fallback) override {
    VARIANT held;
    VariantInit(&held);
    if (!loading_) {
      held.vt = VT_I4;
      held.lVal = value;
      return SUCCEEDED(bag_.Write(name, &held));
    }
    held.vt = VT_I4;
    if (FAILED(bag_.Read(name, &held, log_))) {
      VariantClear(&held);
      value = fallback;
      return true;
    }
    VARIANT number;
    VariantInit(&number);
    const HRESULT hr = VariantChangeType(&number, &held, 0, VT_I4);
    VariantClear(&held);
    if (FAILED(hr)) return false;
    value = number.lVal;
    return true;
  }

 private:
  IPropertyBag& bag_;
  IErrorLog* log_;
  bool loading_;
};

}  // namespace

bool CPellacorCtrl::DoPropExchange(PropExchange& exchange) {
  LONG version = kPersistVersion;
  if (!exchange.ExchangeLong(u"_Version", version, kPersistVersion)) return false;
  if (exchange.loading() && version != kPersistVersion) return false;
  SIZEL extent = m_extent;
  if (!exchange.ExchangeLong(u"_ExtentX", extent.cx, kDefaultExtent.cx) ||
      !exchange.ExchangeLong(u"_ExtentY", extent.cy, kDefaultExtent.cy)) {
    return false;
  }
  if (exchange.loading()) {
    if (extent.cx < 0 || extent.cy < 0) return false;
    m_extent = extent;
  }
  return true;
}

void CPellacorCtrl::ResetState() {
  m_extent = kDefaultExtent;
  m_modified = false;
}

HRESULT CPellacorCtrl::XPersistStreamInit::GetClassID(CLSID* clsid) {
  return owner_.GetUserClassID(clsid);
}

HRESULT CPellacorCtrl::XPersistStreamInit::IsDirty() {
  return owner_.m_modified ? S_OK : S_FALSE;
}

HRESULT CPellacorCtrl::XPersistStreamInit::Load(IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  StreamExchange exchange(*stream, true);
  if (!owner_.DoPropExchange(exchange)) return E_FAIL;
  owner_.m_modified = false;
  return S_OK;
}

HRESULT CPellacorCtrl::XPersistStreamInit::Save(IStream* stream, BOOL clearDirty) {
  if (stream == nullptr) return E_POINTER;
  StreamExchange exchange(*stream, false);
  if (!owner_.DoPropExchange(exchange)) return E_FAIL;
  if (clearDirty) owner_.m_modified = false;
  return S_OK;
}

HRESULT CPellacorCtrl::XPersistStreamInit::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = 3 * 4;
  return S_OK;
}

HRESULT CPellacorCtrl::XPersistStreamInit::InitNew() {
  owner_.ResetState();
  return S_OK;
}

HRESULT CPellacorCtrl::XPersistPropertyBag::GetClassID(CLSID* clsid) {
  return owner_.GetUserClassID(clsid);
}

HRESULT CPellacorCtrl::XPersistPropertyBag::InitNew() {
  owner_.ResetState();
  return S_OK;
}

HRESULT CPellacorCtrl::XPersistPropertyBag::Load(IPropertyBag* bag, IErrorLog* log) {
  if (bag == nullptr) return E_POINTER;
  BagExchange exchange(*bag, log, true);
  if (!owner_.DoPropExchange(exchange)) return E_FAIL;
  owner_.m_modified = false;
  return S_OK;
}

HRESULT CPellacorCtrl::XPersistPropertyBag::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
  if (bag == nullptr) return E_POINTER;
  BagExchange exchange(*bag, nullptr, false);
  if (!owner_.DoPropExchange(exchange)) return E_FAIL;
  if (clearDirty) owner_.m_modified = false;
  return S_OK;
}
