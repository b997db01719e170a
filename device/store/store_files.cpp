#include "store/store_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <system_error>

namespace dravex {
namespace fs = std::filesystem;

namespace {

bool IsRealFolder(const fs::path& path) {
  std::error_code error;
  return fs::symlink_status(path, error).type() == fs::file_type::directory;
}

std::vector<fs::path> EntriesOfType(const fs::path& folder, fs::file_type type) {
  std::vector<fs::path> entries;
  std::error_code error;
  if (!IsRealFolder(folder)) return entries;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code statusError;
    if (it->symlink_status(statusError).type() == type) entries.push_back(it->path());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

}  // namespace

bool makeRealFolder(const fs::path& folder) {
  if (!IsRealFolder(folder.parent_path())) return false;
  std::error_code error;
  fs::create_directory(folder, error);
  return IsRealFolder(folder);
}

bool writeWholeFile(const fs::path& file, const std::uint8_t* data, std::size_t size) {
  if (!IsRealFolder(file.parent_path())) return false;
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool closed = ::close(fd) == 0;
  return done == size && closed;
}

std::vector<fs::path> realFilesIn(const fs::path& folder) {
  return EntriesOfType(folder, fs::file_type::regular);
}

std::vector<fs::path> realFoldersIn(const fs::path& folder) {
  return EntriesOfType(folder, fs::file_type::directory);
}

std::vector<std::uint8_t> readFileOfSize(const fs::path& file, std::size_t size) {
  std::error_code error;
  if (fs::symlink_status(file, error).type() != fs::file_type::regular) return {};
  if (fs::file_size(file, error) != size || error) return {};
  std::vector<std::uint8_t> bytes(size);
  std::ifstream in(file, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) return {};
  return bytes;
}

}  // namespace dravex
