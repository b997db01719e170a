#pragma once
// What a control module writes into the class registry when it registers itself: its control
// class, property pages and type library, and how it takes them out again. Every function
// stops at the first write that fails and answers REGDB_E_WRITEREGDB.

#include <string>
#include <vector>

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

struct TypeLibrary {
  GUID libid;
  WORD majorVersion;
  WORD minorVersion;
  LCID locale;
  std::string name;
  std::string modulePath;
  // Dispatch interfaces the library describes, with their names.
  std::vector<std::pair<IID, std::string>> dispatchInterfaces;
};

FVPLAT_API HRESULT RegisterControlClass(const ControlClass& control);
FVPLAT_API HRESULT RegisterPropertyPageClass(const CLSID& clsid, const std::string& typeName,
                                             const std::string& modulePath);
// Removes the class key and, when given, the ProgID key.
FVPLAT_API HRESULT UnregisterClass(const CLSID& clsid, const std::string& progId);
FVPLAT_API HRESULT RegisterTypeLib(const TypeLibrary& library);
// Removes the library's version key (and the library key once it has no version left) and
// the keys of the interfaces that name the library.
FVPLAT_API HRESULT UnregisterTypeLib(const GUID& libid, WORD majorVersion, WORD minorVersion);

// The file of the loaded module that holds `address` (empty when unknown).
FVPLAT_API std::string ModulePathOf(const void* address);

}  // namespace fvplat::ole
