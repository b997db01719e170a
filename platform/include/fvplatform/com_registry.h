#pragma once
// The class registry (HKEY_CLASSES_ROOT) kept in one text file, so registration by one process
// is seen by the next. Key paths are relative to HKCR with parts separated by '\\'; keys and
// value names compare without regard to case, as on Windows. Values are texts; the name ""
// is a key's default value.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fvplatform/export.h"

namespace fvplat::registry {

// Names the registry file. Unset: "hkcr.reg" in the program's folder.
inline constexpr const char* kRegistryFileEnv = "FV_REGISTRY_FILE";

FVPLAT_API std::string RegistryFile();

// Creates the key and its parents. False when the file cannot be written or a fault is injected.
FVPLAT_API bool CreateKey(const std::string& key);
// Creates the key as CreateKey does and sets the value.
FVPLAT_API bool SetValue(const std::string& key, const std::string& name, const std::string& value);
FVPLAT_API std::optional<std::string> GetValue(const std::string& key, const std::string& name = "");
FVPLAT_API bool KeyExists(const std::string& key);
// Removes the key with everything below it; true also when it was absent.
FVPLAT_API bool DeleteTree(const std::string& key);
// Every key path in the registry, in order, as first spelled.
FVPLAT_API std::vector<std::string> ListKeys();

// Tests make chosen writes fail: the hook sees the key of each write (create, set or delete)
// and answers true to fail it. An empty hook removes it.
using WriteFault = std::function<bool(const std::string& key)>;
FVPLAT_API void SetWriteFault(WriteFault fault);

}  // namespace fvplat::registry
