#include "fvplatform/folders.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "fvplatform/module.h"

namespace fvplat {
namespace {

std::mutex& FolderMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& TestSystemDirectory() {
  static std::string folder;
  return folder;
}

}  // namespace

void SetSystemDirectory(const std::string& folder) {
  std::lock_guard<std::mutex> lock(FolderMutex());
  TestSystemDirectory() = folder;
}

std::string SystemDirectory() {
  {
    std::lock_guard<std::mutex> lock(FolderMutex());
    if (!TestSystemDirectory().empty()) return TestSystemDirectory();
  }
  if (const char* dir = std::getenv(kSystemDirEnv); dir != nullptr && *dir != '\0') return dir;
  return ProgramDirectory();
}

std::string DocumentsDirectory() {
  if (const char* dir = std::getenv("XDG_DOCUMENTS_DIR"); dir != nullptr && *dir != '\0')
    return dir;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::string(home) + "/Documents";
  }
  return {};
}

}  // namespace fvplat

namespace {

// Copies `text` when it fits with its zero; else the size it needs.
UINT CopyOut(const std::string& text, char* buffer, UINT size) {
  if (buffer == nullptr || text.size() + 1 > size) return static_cast<UINT>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<UINT>(text.size());
}

}  // namespace

UINT GetSystemDirectoryA(char* buffer, UINT size) {
  return CopyOut(fvplat::SystemDirectory(), buffer, size);
}

BOOL SHGetSpecialFolderPathA(HWND, char* path, int folder, BOOL create) {
  if (path == nullptr || folder != CSIDL_PERSONAL) return FALSE;
  const std::string documents = fvplat::DocumentsDirectory();
  if (documents.empty() || documents.size() + 1 > MAX_PATH) return FALSE;
  if (create) {
    std::error_code error;
    std::filesystem::create_directories(documents, error);
  }
  std::memcpy(path, documents.c_str(), documents.size() + 1);
  return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
  if (module != nullptr || buffer == nullptr || size == 0) return 0;
  std::error_code error;
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe", error).string();
  const std::size_t n = std::min<std::size_t>(exe.size(), size - 1);
  std::memcpy(buffer, exe.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}
