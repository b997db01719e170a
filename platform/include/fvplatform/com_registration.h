#pragma once
// What a control module writes into the class registry when it registers itself: its control
// class and property pages, and how it takes them out again (its type library: typeinfo.h).
// Every function stops at the first write that fails and answers REGDB_E_WRITEREGDB.

#include <string>

#include "fvplatform/com_types.h"

namespace fvplat::ole {

struct ControlClass {
  CLSID clsid;
  std::string progId;
  std::string typeName;
  std::string modulePath;
  int toolboxBitmap;
  std::string threadingModel;  // "Apartment"
  DWORD miscStatus;
  GUID libid;
  WORD majorVersion;
  WORD minorVersion;
};

FVPLAT_API HRESULT RegisterControlClass(const ControlClass& control);
FVPLAT_API HRESULT RegisterPropertyPageClass(const CLSID& clsid, const std::string& typeName,
                                             const std::string& modulePath);
// Removes the class key and, when given, the ProgID key.
FVPLAT_API HRESULT UnregisterClass(const CLSID& clsid, const std::string& progId);
// The file of the loaded module that holds `address` (empty when unknown).
FVPLAT_API std::string ModulePathOf(const void* address);

}  // namespace fvplat::ole
