#pragma once
// File work of the template store, confined to its root: no symbolic link is followed.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace dravex {

// Creates `folder` (one level, inside an existing real folder) unless it is there; false when it
// cannot be made or is not a real folder (a symbolic link counts as not).
bool makeRealFolder(const std::filesystem::path& folder);

// Writes the bytes to `file` in a real folder, never through a symbolic link; false on failure.
bool writeWholeFile(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size);

// The real (not linked) files of `folder` in name order; empty when it cannot be read.
std::vector<std::filesystem::path> realFilesIn(const std::filesystem::path& folder);
// The real (not linked) subfolders of `folder` in name order.
std::vector<std::filesystem::path> realFoldersIn(const std::filesystem::path& folder);

// Reads a file of exactly `size` bytes; empty when it has another size or cannot be read.
std::vector<std::uint8_t> readFileOfSize(const std::filesystem::path& file, std::size_t size);

}  // namespace dravex
