#pragma once
// Checksums of every stage of the engine over a fixed set of images: synthetic fingers, plus a
// few real ones from the shared data folder when it is given. One text row per result, so that a
// baseline diff shows at once which stage of which image changed.

#include <string>
#include <vector>

namespace stagesums {

// Rows "<mode> <subject> <key> <value>"; a subject that involves a real image starts with
// "real". `dataDir` empty: synthetic rows only.
std::vector<std::string> ComputeChecksums(const std::string& dataDir);

// True for a row that needs the real images.
bool IsRealRow(const std::string& row);

}  // namespace stagesums
