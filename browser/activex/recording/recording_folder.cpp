#include "recording/recording_folder.h"

#include <cstdlib>

#include "fvplatform/folders.h"

namespace pellacor {

std::string RecordingFolder() {
  if (const char* folder = std::getenv("FV_RECORDING_DIR"); folder != nullptr && *folder != '\0') {
    return folder;
  }
  return fvplat::DocumentsDirectory() + "/temp";
}

}  // namespace pellacor
