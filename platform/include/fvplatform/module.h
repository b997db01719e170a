#pragma once
// Run-time module loading: Windows module and symbol names mapped onto ELF ones.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fvplatform/export.h"
#include "fvplatform/win_types.h"

namespace fvplat {

// Environment variable naming a folder searched before the program's own.
inline constexpr const char* kModuleDirEnv = "FV_MODULE_DIR";

// "Dravex.dll" -> "libDravex.so"; a name with a folder keeps its folder.
FVPLAT_API std::string MapModuleName(const std::string& name);
// "_fv_Set_Error@4" -> "_fv_Set_Error$4": ELF names cannot carry '@'. Other names pass unchanged.
FVPLAT_API std::string MapSymbolName(const std::string& name);
// Folder of the running program, from /proc/self/exe (empty when unknown).
FVPLAT_API std::string ProgramDirectory();

// The bytes of resource (type, id) in a module file (placed there with FVPLAT_RESOURCE), read
// without loading the module; none when the file is no module, lacks the resource or holds one
// larger than `limit`.
FVPLAT_API std::optional<std::vector<std::uint8_t>> ReadModuleResource(
    const std::string& path, const std::string& type, int id, std::size_t limit = 1 << 20);

}  // namespace fvplat

extern "C" {
FVPLAT_API HMODULE LoadLibraryA(const char* name);
FVPLAT_API FARPROC GetProcAddress(HMODULE module, const char* name);
FVPLAT_API BOOL FreeLibrary(HMODULE module);
}
