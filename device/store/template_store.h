#pragma once
// The library's own user store: templates tagged with user ids, in memory and mirrored under a
// root folder ("ROOT/ID/N.dat", enrolment blobs "ROOT/ID/jpg/mK.jpg", later ones "ROOT/ID/jpg/N.jpg").
// Every entry knows the file it lives in, so memory and disk hold the same templates: a change is
// made on disk first (a file replaced only whole) and then in memory.
// Process-wide and unlocked: callers keep store calls on one thread at a time.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dravex.h"
#include "store/settings.h"

namespace dravex {

struct BlobRef {
  const std::uint8_t* data = nullptr;
  int length = 0;
  bool present() const { return data != nullptr && length > 0; }
};

// The two recognition calls the store makes, as the exports make them.
class StoreMatcher {
 public:
  virtual ~StoreMatcher() = default;
  // A template from one to three blobs (absent ones have null data); true on success.
  virtual bool extractModel(const BlobRef (&blobs)[3], std::uint8_t* model) = 0;
  // Searches the blob against `count` templates; true with position and similarity.
  virtual bool index(const std::uint8_t* models, int count, BlobRef blob, int* position,
                     float* similarity) = 0;
};

// A folder name that names a user: canonical decimal (no sign, no leading zero), non-zero,
// within 32 bits.
std::optional<std::uint32_t> parseUserId(const std::string& name);

class TemplateStore {
 public:
  // `random` picks the replaced slot when a user's templates are full.
  TemplateStore(StoreMatcher& matcher, const SharedSettings& settings,
                std::function<unsigned()> random);

  int loadModel(const char* root, int* count);
  int userIndex(BlobRef blob, int* id, float* score, int update);
  int userAdd(BlobRef blob1, BlobRef blob2, BlobRef blob3, int* id);
  int userDel(int id);
  int indexAddUser(const char* folder, int* total);

  std::size_t size() const { return ids_.size(); }
  const std::vector<std::uint32_t>& ids() const { return ids_; }
  const std::uint8_t* model(std::size_t entry) const { return &models_[entry * kDrxModelBytes]; }
  const std::string& root() const { return root_; }

 private:
  int entriesOf(std::uint32_t id) const;
  // The store position of the user's entry `k` (0 = first) in store order.
  std::optional<std::size_t> entryOf(std::uint32_t id, int k) const;
  void append(std::uint32_t id, const std::uint8_t* model, std::filesystem::path file);
  void erase(std::size_t entry);
  // Adds every template file of `folder` (numeric name order) as entries of `id`.
  void addFolderFiles(const std::filesystem::path& folder, std::uint32_t id, int* total);
  // The template a file holds; empty when it holds none. Every file the store reads comes
  // through here.
  std::vector<std::uint8_t> readTemplateFile(const std::filesystem::path& file);
  std::filesystem::path userFolder(std::uint32_t id) const;
  // Where the user's next template goes: N.dat, N >= 2, the first N whose .dat and .jpg names
  // are both free, so no file on disk is ever written over.
  std::filesystem::path freeTemplateFile(std::uint32_t id) const;
  // Writes a template and the blob it came from (ROOT/ID/jpg/<stem>.jpg, failure ignored).
  bool writeTemplate(const std::filesystem::path& file, const std::uint8_t* model, BlobRef blob);

  StoreMatcher& matcher_;
  const SharedSettings& settings_;
  std::function<unsigned()> random_;
  std::vector<std::uint32_t> ids_;
  std::vector<std::uint8_t> models_;            // ids_.size() templates back to back
  std::vector<std::filesystem::path> files_;    // the file each entry was read from or written to
  std::string root_;                  // as the caller named it
  std::filesystem::path rootPath_;    // the same folder with links resolved; empty = no root
};

}  // namespace dravex
