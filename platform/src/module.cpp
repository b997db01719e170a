#include "fvplatform/module.h"

#include <dlfcn.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fvplat {
namespace fs = std::filesystem;

std::string MapModuleName(const std::string& name) {
  std::string path = name;
  for (char& ch : path) {
    if (ch == '\\') ch = '/';
  }
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string ext = ".dll";
  if (base.size() > ext.size()) {
    std::string tail = base.substr(base.size() - ext.size());
    for (char& ch : tail) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (tail == ext) base = "lib" + base.substr(0, base.size() - ext.size()) + ".so";
  }
  return folder + base;
}

std::string MapSymbolName(const std::string& name) {
  const auto at = name.rfind('@');
  if (name.size() < 3 || name[0] != '_' || at == std::string::npos || at == 1 ||
      at + 1 == name.size()) {
    return name;
  }
  for (std::size_t i = at + 1; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return name;
  }
  std::string mapped = name;
  mapped[at] = '$';
  return mapped;
}

std::string ProgramDirectory() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return exe.parent_path().string();
}

}  // namespace fvplat

namespace {

void* OpenIfPresent(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return nullptr;
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

HMODULE LoadLibraryA(const char* name) {
  if (name == nullptr || *name == '\0') return nullptr;
  const std::string mapped = fvplat::MapModuleName(name);
  if (mapped.find('/') != std::string::npos) return dlopen(mapped.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (const char* dir = std::getenv(fvplat::kModuleDirEnv); dir != nullptr && *dir != '\0') {
    if (void* handle = OpenIfPresent(std::filesystem::path(dir) / mapped)) return handle;
  }
  if (const std::string dir = fvplat::ProgramDirectory(); !dir.empty()) {
    if (void* handle = OpenIfPresent(std::filesystem::path(dir) / mapped)) return handle;
  }
  return dlopen(mapped.c_str(), RTLD_NOW | RTLD_LOCAL);
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  const std::string symbol = fvplat::MapSymbolName(name);
  return reinterpret_cast<FARPROC>(dlsym(module, symbol.c_str()));
}

BOOL FreeLibrary(HMODULE module) {
  if (module == nullptr) return FALSE;
  return dlclose(module) == 0 ? TRUE : FALSE;
}
