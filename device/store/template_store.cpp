#include "store/template_store.h"

#include <algorithm>
#include <cstring>
#include <system_error>

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

TemplateStore::TemplateStore(StoreMatcher& matcher, const SharedSettings& settings,
                             std::function<unsigned()> random)
    : matcher_(matcher), settings_(settings), random_(std::move(random)) {}

int TemplateStore::entriesOf(std::uint32_t id) const {
  return static_cast<int>(std::count(ids_.begin(), ids_.end(), id));
}

std::optional<std::size_t> TemplateStore::entryOf(std::uint32_t id, int k) const {
  int seen = 0;
  for (std::size_t e = 0; e < ids_.size(); ++e) {
    if (ids_[e] == id && seen++ == k) return e;
  }
  return std::nullopt;
}

void TemplateStore::append(std::uint32_t id, const std::uint8_t* model, fs::path file) {
  ids_.push_back(id);
  models_.insert(models_.end(), model, model + kDrxModelBytes);
  files_.push_back(std::move(file));
}

void TemplateStore::erase(std::size_t entry) {
  const auto at = static_cast<std::ptrdiff_t>(entry);
  ids_.erase(ids_.begin() + at);
  files_.erase(files_.begin() + at);
  const auto first = models_.begin() + at * kDrxModelBytes;
  models_.erase(first, first + kDrxModelBytes);
}

fs::path TemplateStore::userFolder(std::uint32_t id) const {
  return rootPath_ / std::to_string(id);
}

fs::path TemplateStore::freeTemplateFile(std::uint32_t id) const {
  const fs::path folder = userFolder(id);
  for (unsigned n = 2;; ++n) {
    const std::string number = std::to_string(n);
    if (!pathTaken(folder / (number + ".dat")) && !pathTaken(folder / "jpg" / (number + ".jpg"))) {
      return folder / (number + ".dat");
    }
  }
}

bool TemplateStore::writeTemplate(const fs::path& file, const std::uint8_t* model, BlobRef blob) {
  const fs::path folder = file.parent_path();
  if (!makeRealFolder(folder) || !writeWholeFile(file, model, kDrxModelBytes)) return false;
  if (blob.present() && makeRealFolder(folder / "jpg")) {
    const fs::path image = folder / "jpg" / (file.stem().string() + ".jpg");
    writeWholeFile(image, blob.data, static_cast<std::size_t>(blob.length));
  }
  return true;
}

std::vector<std::uint8_t> TemplateStore::readTemplateFile(const fs::path& file) {
  if (isTemporaryFileName(file)) return {};  // a write that never finished
  return readFileOfSize(file, kDrxModelBytes);
}

void TemplateStore::addFolderFiles(const fs::path& folder, std::uint32_t id, int* total) {
  for (const fs::path& file : realFilesIn(folder)) {
    const auto bytes = readTemplateFile(file);
    if (bytes.empty()) continue;
    append(id, bytes.data(), file);
    if (total != nullptr) *total = static_cast<int>(ids_.size());
  }
}

int TemplateStore::loadModel(const char* root, int* count) {
  if (count != nullptr) *count = 0;
  ids_.clear();
  models_.clear();
  files_.clear();
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
  if (ids_.empty()) {
    *score = -1.0f;  // nothing to search: no similarity, as a search that finds nothing reports
    return 0;
  }
  *score = 0;
  const Settings settings = settings_.get();
  int position = -1;
  if (!matcher_.index(models_.data(), static_cast<int>(ids_.size()), blob, &position, score)) {
    return 0;
  }
  if (!(*score > settings.score)) return 0;
  if (position < 0 || static_cast<std::size_t>(position) >= ids_.size()) return 0;
  const std::uint32_t user = ids_[static_cast<std::size_t>(position)];
  *id = static_cast<int>(user);
  if (update == 0) return 1;
  if (!(*score > 1.09f * settings.score && *score < 1.41f * settings.score)) return 1;
  if (rootPath_.empty()) return 1;  // no disk to mirror the new template on

  std::uint8_t fresh[kDrxModelBytes];
  const BlobRef alone[3] = {blob, {}, {}};
  if (!matcher_.extractModel(alone, fresh)) return 1;

  const int n = entriesOf(user);
  const int modeNum = std::max(settings.modeNum, 2);
  if (n < modeNum) {
    const fs::path file = freeTemplateFile(user);
    ids_.reserve(ids_.size() + 1);  // nothing can fail once the file is written
    files_.reserve(files_.size() + 1);
    models_.reserve(models_.size() + kDrxModelBytes);
    if (writeTemplate(file, fresh, blob)) append(user, fresh, file);
    return 1;
  }
  // Slot k (1 .. ModeNum - 1) is the user's (k + 1)-th entry: the enrolment template stays.
  const int k = static_cast<int>(random_() % static_cast<unsigned>(modeNum - 1)) + 1;
  const auto replaced = entryOf(user, k);
  if (!replaced) return 1;
  // An entry read from outside the user's folder is not overwritten there: it moves to a new file.
  fs::path file = files_[*replaced];
  std::error_code error;
  if (!fs::equivalent(file.parent_path(), userFolder(user), error)) file = freeTemplateFile(user);
  if (!writeTemplate(file, fresh, blob)) return 1;
  std::memcpy(&models_[*replaced * kDrxModelBytes], fresh, kDrxModelBytes);
  files_[*replaced] = std::move(file);
  return 1;
}

int TemplateStore::userAdd(BlobRef blob1, BlobRef blob2, BlobRef blob3, int* id) {
  if (id == nullptr) return 0;
  std::uint8_t model[kDrxModelBytes];
  const BlobRef blobs[3] = {blob1, blob2, blob3};
  if (!matcher_.extractModel(blobs, model)) return 0;
  if (rootPath_.empty()) return 0;  // nowhere to keep it
  // An id whose folder is on disk belongs to someone, loaded or not: their files stay theirs.
  auto taken = [this](std::uint32_t user) { return entriesOf(user) > 0 || pathTaken(userFolder(user)); };
  std::uint32_t user = static_cast<std::uint32_t>(*id);
  if (user != 0) {
    if (taken(user)) return 0;
  } else {
    user = 1;
    while (taken(user)) ++user;
  }
  const fs::path folder = userFolder(user);
  const fs::path file = folder / "1.dat";
  ids_.reserve(ids_.size() + 1);
  files_.reserve(files_.size() + 1);
  models_.reserve(models_.size() + kDrxModelBytes);
  if (!makeRealFolder(folder)) return 0;
  if (!writeWholeFile(file, model, kDrxModelBytes)) {
    std::error_code error;
    fs::remove(folder, error);  // the folder made for it, empty again
    return 0;
  }
  append(user, model, file);
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
