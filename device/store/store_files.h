#pragma once
// File work of the template store, confined to its root: no symbolic link is followed, and a
// file is replaced only whole (written aside, flushed, then renamed over the old one).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace dravex {

// Creates `folder` (one level, inside an existing real folder) unless it is there; false when it
// cannot be made or is not a real folder (a symbolic link counts as not).
bool makeRealFolder(const std::filesystem::path& folder);

// Replaces `file` in a real folder by the bytes: they go to a temporary file beside it, which is
// flushed to disk and renamed over `file`. On any failure `file` keeps its old content.
bool writeWholeFile(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size);

// A name that writeWholeFile gives its temporary files; such a file is never a finished one.
bool isTemporaryFileName(const std::filesystem::path& name);

// True when anything (file, folder, link) has this name.
bool pathTaken(const std::filesystem::path& path);

// The real (not linked) files of `folder` in numeric name order ("2.dat" before "10.dat");
// empty when it cannot be read.
std::vector<std::filesystem::path> realFilesIn(const std::filesystem::path& folder);
// The real (not linked) subfolders of `folder` in numeric name order.
std::vector<std::filesystem::path> realFoldersIn(const std::filesystem::path& folder);

// Reads a file of exactly `size` bytes; empty when it has another size or cannot be read.
std::vector<std::uint8_t> readFileOfSize(const std::filesystem::path& file, std::size_t size);

}  // namespace dravex
