#include "store/template_store.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "common/log.h"
#include "store/store_files.h"

namespace dravex {
namespace fs = std::filesystem;

std::optional<std::uint32_t> parseUserId(const std::string& name) {
  if (name.empty() || name.size() > 10 || name[0] == '0') return std::nullopt;
  std::uint64_t value = 0;
  for (char ch : name) {
    if (ch < '0' || ch > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(ch - '0');
  }
  if (value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

TemplateStore::TemplateStore(StoreMatcher& matcher, const Settings& settings,
                             std::function<unsigned()> random)
    : matcher_(matcher), settings_(settings), random_(std::move(random)) {}

int TemplateStore::entriesOf(std::uint32_t id) const {
  return static_cast<int>(std::count(ids_.begin(), ids_.end(), id));
}

void TemplateStore::append(std::uint32_t id, const std::uint8_t* model) {
  ids_.push_back(id);
  models_.insert(models_.end(), model, model + kModelBytes);
}

void TemplateStore::erase(std::size_t entry) {
  ids_.erase(ids_.begin() + static_cast<std::ptrdiff_t>(entry));
  const auto first = models_.begin() + static_cast<std::ptrdiff_t>(entry * kModelBytes);
  models_.erase(first, first + kModelBytes);
}

fs::path TemplateStore::userFolder(std::uint32_t id) const {
  return rootPath_ / std::to_string(id);
}

void TemplateStore::addFolderFiles(const fs::path& folder, std::uint32_t id, int* total) {
  for (const fs::path& file : realFilesIn(folder)) {
    const auto bytes = readFileOfSize(file, kModelBytes);
    if (bytes.empty()) continue;
    if (!matcher_.acceptsModel(bytes.data())) {
      logMessage(0, "template %s skipped: not one the engine takes\n", file.string().c_str());
      continue;
    }
    append(id, bytes.data());
    if (total != nullptr) *total = static_cast<int>(ids_.size());
  }
}

int TemplateStore::loadModel(const char* root, int* count) {
  if (count != nullptr) *count = 0;
  ids_.clear();
  models_.clear();
  if (root == nullptr) return 1;
  std::error_code error;
  const fs::path resolved = fs::canonical(root, error);
  if (error || !fs::is_directory(resolved, error)) return 1;
  root_ = root;
  rootPath_ = resolved;
  for (const fs::path& folder : realFoldersIn(rootPath_)) {
    const auto id = parseUserId(folder.filename().string());
    if (!id) continue;
    const std::size_t before = ids_.size();
    addFolderFiles(folder, *id, nullptr);
    if (count != nullptr) *count += static_cast<int>(ids_.size() - before);
  }
  return 1;
}

int TemplateStore::userIndex(BlobRef blob, int* id, float* score, int update) {
  if (score == nullptr || id == nullptr) return 0;
  *score = 0;
  if (ids_.empty()) return 0;
  int position = -1;
  if (!matcher_.index(models_.data(), static_cast<int>(ids_.size()), blob, &position, score)) {
    return 0;
  }
  if (!(*score > settings_.score)) return 0;
  if (position < 0 || static_cast<std::size_t>(position) >= ids_.size()) return 0;
  const std::uint32_t user = ids_[static_cast<std::size_t>(position)];
  *id = static_cast<int>(user);
  if (update == 0) return 1;
  if (!(*score > 1.09f * settings_.score && *score < 1.41f * settings_.score)) return 1;
  if (rootPath_.empty()) return 1;  // no disk to mirror the new template on

  std::uint8_t fresh[kModelBytes];
  const BlobRef alone[3] = {blob, {}, {}};
  if (!matcher_.extractModel(alone, fresh)) return 1;

  const int n = entriesOf(user);
  const int modeNum = std::max(settings_.modeNum, 2);
  const int k = n < modeNum ? n : static_cast<int>(random_() % static_cast<unsigned>(modeNum - 1)) + 1;
  // Slot k is the user's (k + 1)-th entry in store order; the enrolment template is never taken.
  std::optional<std::size_t> replaced;
  std::vector<std::uint8_t> previous;
  if (n < modeNum) {
    append(user, fresh);
  } else {
    int seen = 0;
    for (std::size_t e = 0; e < ids_.size(); ++e) {
      if (ids_[e] == user && seen++ == k) {
        replaced = e;
        break;
      }
    }
    if (!replaced) return 1;
    std::uint8_t* slot = &models_[*replaced * kModelBytes];
    previous.assign(slot, slot + kModelBytes);
    std::memcpy(slot, fresh, kModelBytes);
  }
  const fs::path folder = userFolder(user);
  const std::string number = std::to_string(k + 1);
  if (!makeRealFolder(folder) || !writeWholeFile(folder / (number + ".dat"), fresh, kModelBytes)) {
    // Memory and disk stay alike: the new template is dropped again.
    if (replaced) {
      std::memcpy(&models_[*replaced * kModelBytes], previous.data(), kModelBytes);
    } else {
      erase(ids_.size() - 1);
    }
    return 1;
  }
  if (makeRealFolder(folder / "jpg")) {
    writeWholeFile(folder / "jpg" / (number + ".jpg"), blob.data, static_cast<std::size_t>(blob.length));
  }
  return 1;
}

int TemplateStore::userAdd(BlobRef blob1, BlobRef blob2, BlobRef blob3, int* id) {
  if (id == nullptr) return 0;
  std::uint8_t model[kModelBytes];
  const BlobRef blobs[3] = {blob1, blob2, blob3};
  if (!matcher_.extractModel(blobs, model)) return 0;
  if (rootPath_.empty()) return 0;  // nowhere to keep it
  std::uint32_t user = static_cast<std::uint32_t>(*id);
  if (user != 0) {
    if (entriesOf(user) > 0) return 0;
  } else {
    // Skip ids still in use on disk, so no other user's files are overwritten.
    std::error_code error;
    user = 1;
    while (entriesOf(user) > 0 || fs::exists(fs::symlink_status(userFolder(user), error))) ++user;
  }
  const fs::path folder = userFolder(user);
  if (!makeRealFolder(folder) || !writeWholeFile(folder / "1.dat", model, kModelBytes)) return 0;
  append(user, model);
  *id = static_cast<int>(user);
  if (makeRealFolder(folder / "jpg")) {
    const char* names[3] = {"m1.jpg", "m2.jpg", "m3.jpg"};
    for (int i = 0; i < 3; ++i) {
      if (blobs[i].present()) {
        writeWholeFile(folder / "jpg" / names[i], blobs[i].data, static_cast<std::size_t>(blobs[i].length));
      }
    }
  }
  return 1;
}

int TemplateStore::userDel(int id) {
  const auto user = static_cast<std::uint32_t>(id);
  if (!rootPath_.empty() && user != 0) {
    std::error_code error;
    fs::remove_all(userFolder(user), error);  // removes links themselves, never their targets
  }
  int removed = 0;
  for (std::size_t e = ids_.size(); e-- > 0;) {
    if (ids_[e] == user) {
      erase(e);
      ++removed;
    }
  }
  return removed;
}

int TemplateStore::indexAddUser(const char* folder, int* total) {
  if (total != nullptr) *total = -1;
  if (folder == nullptr) return 0;
  const std::string text = folder;
  const auto cut = text.find_last_of("\\/");
  const auto id = parseUserId(cut == std::string::npos ? text : text.substr(cut + 1));
  if (!id || entriesOf(*id) > 0) return 0;
  std::string path = text;
  std::replace(path.begin(), path.end(), '\\', '/');
  addFolderFiles(path, *id, total);
  return 1;
}

}  // namespace dravex
