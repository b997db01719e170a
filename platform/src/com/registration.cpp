#include "fvplatform/com_registration.h"

#include <dlfcn.h>

#include <filesystem>

#include "fvplatform/com_interfaces.h"
#include "fvplatform/com_registry.h"

namespace fvplat::ole {
namespace {

namespace reg = fvplat::registry;

std::string Version(WORD major, WORD minor) {
  return std::to_string(major) + "." + std::to_string(minor);
}

// Runs the writes in order and stops at the first that fails.
class Writer {
 public:
  Writer& Set(const std::string& key, const std::string& name, const std::string& value) {
    if (ok_) ok_ = reg::SetValue(key, name, value);
    return *this;
  }
  Writer& Key(const std::string& key) {
    if (ok_) ok_ = reg::CreateKey(key);
    return *this;
  }
  Writer& Delete(const std::string& key) {
    if (ok_) ok_ = reg::DeleteTree(key);
    return *this;
  }
  HRESULT Result() const { return ok_ ? S_OK : REGDB_E_WRITEREGDB; }

 private:
  bool ok_ = true;
};

}  // namespace

HRESULT RegisterControlClass(const ControlClass& control) {
  const std::string clsid = GuidToString(control.clsid);
  const std::string key = "CLSID\\" + clsid;
  return Writer()
      .Set(key, "", control.typeName)
      .Set(key + "\\InprocServer32", "", control.modulePath)
      .Set(key + "\\InprocServer32", "ThreadingModel", control.threadingModel)
      .Set(key + "\\ProgID", "", control.progId)
      .Key(key + "\\Control")
      .Set(key + "\\ToolboxBitmap32", "",
           control.modulePath + ", " + std::to_string(control.toolboxBitmap))
      .Set(key + "\\MiscStatus", "", "0")
      .Set(key + "\\MiscStatus\\1", "", std::to_string(control.miscStatus))
      .Set(key + "\\TypeLib", "", GuidToString(control.libid))
      .Set(key + "\\Version", "", Version(control.majorVersion, control.minorVersion))
      .Set(control.progId, "", control.typeName)
      .Set(control.progId + "\\CLSID", "", clsid)
      .Result();
}

HRESULT RegisterPropertyPageClass(const CLSID& clsid, const std::string& typeName,
                                  const std::string& modulePath) {
  const std::string key = "CLSID\\" + GuidToString(clsid);
  return Writer()
      .Set(key, "", typeName)
      .Set(key + "\\InprocServer32", "", modulePath)
      .Set(key + "\\InprocServer32", "ThreadingModel", "Apartment")
      .Result();
}

HRESULT UnregisterClass(const CLSID& clsid, const std::string& progId) {
  Writer writer;
  writer.Delete("CLSID\\" + GuidToString(clsid));
  if (!progId.empty()) writer.Delete(progId);
  return writer.Result();
}

std::string ModulePathOf(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  std::error_code error;
  const auto path = std::filesystem::canonical(info.dli_fname, error);
  return error ? std::string(info.dli_fname) : path.string();
}

}  // namespace fvplat::ole
