// The template store's exports over the process-wide store. No exception (no memory, a folder
// that cannot be read) leaves an export: the call fails.

#include <random>

#include "api/last_error.h"
#include "dravex.h"
#include "store/template_store.h"

using namespace dravex;

namespace {

// The store's recognition calls go through the library's own exports, as any caller's would.
class ExportMatcher final : public StoreMatcher {
 public:
  bool extractModel(const BlobRef (&blobs)[3], std::uint8_t* model) override {
    unsigned length = kDrxModelBytes;
    return fv_extract_model(blobs[0].data, blobs[0].length, blobs[1].data, blobs[1].length,
                            blobs[2].data, blobs[2].length, model, &length) == 1;
  }
  bool index(const std::uint8_t* models, int count, BlobRef blob, int* position,
             float* similarity) override {
    return fv_index(models, count, blob.data, blob.length, position, similarity) == 1;
  }
};

TemplateStore& Store() {
  static ExportMatcher matcher;
  static std::mt19937 random{std::random_device{}()};
  static TemplateStore store(matcher, processSettings(), [] { return static_cast<unsigned>(random()); });
  return store;
}

}  // namespace

int fv_load_model(const char* root, int* count) try {
  if (count == nullptr) return badArgument();
  return Store().loadModel(root, count);
} catch (...) {
  return 0;
}

int fv_user_index(const unsigned char* blob, int length, int* id, int /*unused*/, float* score,
                  int update) try {
  if (id == nullptr || score == nullptr) return badArgument();
  return Store().userIndex({blob, length}, id, score, update);
} catch (...) {
  return 0;
}

int fv_user_add(const unsigned char* blob1, int length1, const unsigned char* blob2, int length2,
                const unsigned char* blob3, int length3, int* id) try {
  if (id == nullptr) return badArgument();
  return Store().userAdd({blob1, length1}, {blob2, length2}, {blob3, length3}, id);
} catch (...) {
  return 0;
}

int fv_user_del(int id) try {
  return Store().userDel(id);
} catch (...) {
  return 0;
}

int fv_index_addUser(const char* folder, int* total) try {
  if (total == nullptr) return badArgument();
  return Store().indexAddUser(folder, total);
} catch (...) {
  return 0;
}
