#pragma once
// Special folders: the "system directory" (voice prompts and installed settings files live
// there), the user's documents folder and the host program's own path.

#include <string>

#include "fvplatform/export.h"
#include "fvplatform/win_types.h"

using UINT = unsigned int;

// The folder id of the user's documents.
inline constexpr int CSIDL_PERSONAL = 0x0005;
inline constexpr DWORD MAX_PATH = 260;

namespace fvplat {

// Environment variable naming the system directory; the program's folder without it.
inline constexpr const char* kSystemDirEnv = "FV_SYSTEM_DIR";

// A test's system directory (empty: back to the environment and the program's folder).
FVPLAT_API void SetSystemDirectory(const std::string& folder);
FVPLAT_API std::string SystemDirectory();
// $XDG_DOCUMENTS_DIR, else $HOME/Documents; empty when neither is known.
FVPLAT_API std::string DocumentsDirectory();

}  // namespace fvplat

extern "C" {
// The path and its length; a buffer that is too small gets nothing and the size it needs,
// terminating zero included.
FVPLAT_API UINT GetSystemDirectoryA(char* buffer, UINT size);
// CSIDL_PERSONAL only; `path` holds MAX_PATH characters. `create` makes the folder.
FVPLAT_API BOOL SHGetSpecialFolderPathA(HWND owner, char* path, int folder, BOOL create);
// The running program's path (the module argument must be null), cut to the buffer and zero
// terminated; the number of characters copied.
FVPLAT_API DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);
}
