#include <cstdio>
#include <memory>

#include "cloud/multipart_body.h"

namespace torvane {
namespace {

// Far above any image blob (at most 30000 bytes); a larger file is no capture of ours.
constexpr std::size_t kMaxImageFileBytes = 16u << 20;

// Paths arrive in the program's Windows form ("auth\\auth.jpg").
std::string NativePath(std::string path) {
  for (char& ch : path) {
    if (ch == '\\') ch = '/';
  }
  return path;
}

}  // namespace

std::vector<char> readFileIntoBody(const std::string& path) {
  std::vector<char> bytes;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(NativePath(path).c_str(), "rb"),
                                                             std::fclose);
  if (file == nullptr) {
    std::fprintf(stderr, "fopen file error: %s\n", path.c_str());
    return bytes;
  }
  char piece[4096];
  for (std::size_t n; (n = std::fread(piece, 1, sizeof piece, file.get())) > 0;) {
    if (bytes.size() + n > kMaxImageFileBytes) {
      std::fprintf(stderr, "file too large: %s\n", path.c_str());
      return {};
    }
    bytes.insert(bytes.end(), piece, piece + n);
  }
  if (std::ferror(file.get()) != 0 || bytes.size() <= 1) return {};
  return bytes;
}

}  // namespace torvane
