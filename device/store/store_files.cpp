#include "store/store_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <system_error>
#include <tuple>

namespace dravex {
namespace fs = std::filesystem;

namespace {

constexpr const char* kTemporaryPrefix = ".writing-";

bool IsRealFolder(const fs::path& path) {
  std::error_code error;
  return fs::symlink_status(path, error).type() == fs::file_type::directory;
}

// Sort key of a name: names with leading digits first, by that number (compared as a digit
// string without leading zeros, so any length works), then the rest; ties by the whole name.
auto NumericKey(const fs::path& path) {
  const std::string name = path.filename().string();
  const auto digitsEnd = std::find_if(name.begin(), name.end(), [](char c) { return c < '0' || c > '9'; });
  std::string digits(name.begin(), digitsEnd);
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  const bool numbered = digitsEnd != name.begin();
  return std::make_tuple(!numbered, digits.size(), digits, name);
}

std::vector<fs::path> EntriesOfType(const fs::path& folder, fs::file_type type) {
  std::vector<fs::path> entries;
  std::error_code error;
  if (!IsRealFolder(folder)) return entries;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code statusError;
    if (it->symlink_status(statusError).type() == type) entries.push_back(it->path());
  }
  std::sort(entries.begin(), entries.end(),
            [](const fs::path& a, const fs::path& b) { return NumericKey(a) < NumericKey(b); });
  return entries;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Makes a rename inside `folder` last; a folder that cannot be flushed does not undo it.
void FlushFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool makeRealFolder(const fs::path& folder) {
  if (!IsRealFolder(folder.parent_path())) return false;
  std::error_code error;
  fs::create_directory(folder, error);
  return IsRealFolder(folder);
}

bool writeWholeFile(const fs::path& file, const std::uint8_t* data, std::size_t size) {
  const fs::path folder = file.parent_path();
  if (!IsRealFolder(folder)) return false;
  // mkstemp creates the file exclusively, so it never writes through a planted link.
  std::string temporary = (folder / (kTemporaryPrefix + file.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, data, size) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  // rename replaces a link named `file` itself, never its target.
  if (!written || !closed || ::rename(temporary.c_str(), file.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  FlushFolder(folder);
  return true;
}

bool isTemporaryFileName(const fs::path& name) {
  return name.filename().string().starts_with(kTemporaryPrefix);
}

bool pathTaken(const fs::path& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
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
