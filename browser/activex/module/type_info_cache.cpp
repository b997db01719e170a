#include "module/type_info_cache.h"

#include <mutex>

#include "module/identities.h"

namespace pellacor {
namespace {

class TypeInfoCache {
 public:
  ~TypeInfoCache() { Drop(); }

  HRESULT Get(LCID locale, ITypeInfo** info) {
    std::lock_guard<std::mutex> guard(lock_);
    if (info_ == nullptr || locale_ != locale) {
      ITypeLib* library = nullptr;
      HRESULT hr =
          LoadRegTypeLib(LIBID_PellacorLib, kTypeLibMajor, kTypeLibMinor, locale, &library);
      if (FAILED(hr)) return hr;
      ITypeInfo* loaded = nullptr;
      hr = library->GetTypeInfoOfGuid(DIID__DPellacor, &loaded);
      library->Release();  // the type information holds its library
      if (FAILED(hr)) return hr;
      Drop();
      info_ = loaded;
      locale_ = locale;
    }
    info_->AddRef();
    *info = info_;
    return S_OK;
  }

 private:
  void Drop() {
    if (info_ != nullptr) info_->Release();
    info_ = nullptr;
  }

  std::mutex lock_;
  LCID locale_ = 0;
  ITypeInfo* info_ = nullptr;
};

TypeInfoCache& Cache() {
  static TypeInfoCache cache;
  return cache;
}

}  // namespace

HRESULT DispatchTypeInfo(LCID locale, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  return Cache().Get(locale, info);
}

}  // namespace pellacor
