#include "fvplatform/com_runtime.h"

#include <dlfcn.h>

#include <cstdlib>

#include <map>
#include <mutex>
#include <string>

#include "fvplatform/com_registry.h"
#include "fvplatform/oleauto.h"

namespace {

thread_local int tInitCount = 0;

struct LoadedServers {
  std::mutex lock;
  std::map<std::string, void*> byPath;
};

LoadedServers& Servers() {
  static LoadedServers servers;
  return servers;
}

void* LoadServer(const std::string& path) {
  LoadedServers& servers = Servers();
  std::lock_guard<std::mutex> guard(servers.lock);
  auto found = servers.byPath.find(path);
  if (found != servers.byPath.end()) return found->second;
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module != nullptr) servers.byPath[path] = module;
  return module;
}

}  // namespace

extern "C" {

void* CoTaskMemAlloc(std::size_t size) { return std::malloc(size == 0 ? 1 : size); }
void CoTaskMemFree(void* memory) { std::free(memory); }

HRESULT CoInitialize(void*) { return tInitCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (tInitCount > 0) --tInitCount;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void*, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if ((context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  const auto path = fvplat::registry::GetValue(
      "CLSID\\" + fvplat::GuidToString(clsid) + "\\InprocServer32");
  if (!path || path->empty()) return REGDB_E_CLASSNOTREG;
  void* module = LoadServer(*path);
  if (module == nullptr) return CO_E_DLLNOTFOUND;
  auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(module, "DllGetClassObject"));
  if (getClassObject == nullptr) return CO_E_ERRORINDLL;
  return getClassObject(clsid, riid, object);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid,
                         void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  if (factory == nullptr) return E_UNEXPECTED;
  hr = factory->CreateInstance(outer, riid, object);
  factory->Release();
  return hr;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid) {
  if (clsid == nullptr || text == nullptr) return E_INVALIDARG;
  const auto guid = fvplat::GuidFromString(fvplat::Utf16ToUtf8(text));
  if (!guid) return CO_E_CLASSSTRING;
  *clsid = *guid;
  return S_OK;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
  if (clsid == nullptr || progId == nullptr) return E_INVALIDARG;
  *clsid = IID_NULL;
  const std::string name = fvplat::Utf16ToUtf8(progId);
  if (name.empty()) return CO_E_CLASSSTRING;
  const auto text = fvplat::registry::GetValue(name + "\\CLSID");
  if (!text) return CO_E_CLASSSTRING;
  const auto guid = fvplat::GuidFromString(*text);
  if (!guid) return CO_E_CLASSSTRING;
  *clsid = *guid;
  return S_OK;
}

int StringFromGUID2(REFGUID guid, LPOLESTR text, int size) {
  const std::u16string wide = fvplat::Utf8ToUtf16(fvplat::GuidToString(guid));
  if (text == nullptr || size < static_cast<int>(wide.size()) + 1) return 0;
  for (std::size_t i = 0; i < wide.size(); ++i) text[i] = wide[i];
  text[wide.size()] = 0;
  return static_cast<int>(wide.size()) + 1;
}

void CoFreeUnusedLibraries() {
  LoadedServers& servers = Servers();
  std::lock_guard<std::mutex> guard(servers.lock);
  for (auto it = servers.byPath.begin(); it != servers.byPath.end();) {
    auto canUnload = reinterpret_cast<DllCanUnloadNowFn>(dlsym(it->second, "DllCanUnloadNow"));
    if (canUnload != nullptr && canUnload() == S_OK) {
      dlclose(it->second);
      it = servers.byPath.erase(it);
    } else {
      ++it;
    }
  }
}

}  // extern "C"
