#pragma once
// Run-time module loading: Windows module and symbol names mapped onto ELF ones.

#include <string>

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

}  // namespace fvplat

extern "C" {
FVPLAT_API HMODULE LoadLibraryA(const char* name);
FVPLAT_API FARPROC GetProcAddress(HMODULE module, const char* name);
FVPLAT_API BOOL FreeLibrary(HMODULE module);
}
