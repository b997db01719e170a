#pragma once
// Where tests find the build's modules and the shared data folder.

#include <string>
#include <vector>

namespace fvtest {

std::string SourceDir();
std::string BinaryDir();
// Folder of built programs and shared libraries.
std::string ModuleDir();
// ../shared/data beside the checkout, or $FV_DATA_DIR; empty when absent.
std::string DataDir();
// The PNG files under DataDir(), in name order; empty when there is no data folder.
std::vector<std::string> RealImagePaths();
// A path under the temporary folder that no other test, and no other test process, uses:
// ctest runs the cases of one program side by side.
std::string ScratchPath(const std::string& prefix);

}  // namespace fvtest
