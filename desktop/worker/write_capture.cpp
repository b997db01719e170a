#include "worker/write_capture.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "fvplatform/debug_output.h"

namespace torvane {

bool writeFileBytes(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    char line[600];
    std::snprintf(line, sizeof line, "create %s failed,error = %u\n", path.c_str(),
                  static_cast<unsigned>(errno));
    OutputDebugStringA(line);
    return false;
  }
  bool ok = true;
  constexpr std::size_t kPiece = 512;
  for (std::size_t at = 0; ok && at < bytes.size(); at += kPiece) {
    std::size_t n = std::min(kPiece, bytes.size() - at);
    ok = std::fwrite(bytes.data() + at, 1, n, file) == n && std::fflush(file) == 0;
  }
  // A full disk shows up at the latest when the file is closed.
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

}  // namespace torvane
