#include "test_paths.h"

#include <cstdlib>
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>
#include <unistd.h>

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

std::string ScratchPath(const std::string& prefix) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = prefix;
  if (info != nullptr) name += std::string("_") + info->test_suite_name() + "_" + info->name();
  name += "_" + std::to_string(::getpid());
  return (std::filesystem::path(::testing::TempDir()) / name).string();
}

}  // namespace fvtest
