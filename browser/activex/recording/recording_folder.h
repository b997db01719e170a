#pragma once
// The folder recordings are kept in and handed to the upload service from.

#include <string>

namespace pellacor {

// FV_RECORDING_DIR when set, else "temp" in the user's documents folder.
std::string RecordingFolder();

}  // namespace pellacor
