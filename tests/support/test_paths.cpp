#include "test_paths.h"

#include <cstdlib>
#include <algorithm>
#include <filesystem>

namespace fvtest {

std::string SourceDir() { return FV_SOURCE_DIR; }
std::string BinaryDir() { return FV_BINARY_DIR; }
std::string ModuleDir() { return std::string(FV_BINARY_DIR) + "/bin"; }

std::string DataDir() {
  namespace fs = std::filesystem;
  std::error_code error;
  if (const char* dir = std::getenv("FV_DATA_DIR"); dir != nullptr && *dir != '\0') {
    return fs::is_directory(dir, error) ? dir : "";
  }
  const fs::path shared = fs::path(FV_SOURCE_DIR) / ".." / "shared" / "data";
  return fs::is_directory(shared, error) ? fs::canonical(shared, error).string() : "";
}

std::vector<std::string> RealImagePaths() {
  std::vector<std::string> paths;
  const std::string data = DataDir();
  if (data.empty()) return paths;
  for (const auto& e : std::filesystem::recursive_directory_iterator(data)) {
    if (e.path().extension() == ".png") paths.push_back(e.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace fvtest
