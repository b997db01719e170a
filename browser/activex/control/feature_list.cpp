// Reading the page's list of candidate templates.

#include <json/json.h>

#include "control/pellacor_ctrl.h"
#include "fvcommon/base64.h"
#include "fvcommon/json_read.h"
#include "log/log_file.h"

namespace {

using fvbrowser::Bytes;
using fvbrowser::kModelBytes;

void LogBadEntry(int index, const std::string& entry) {
  fvbrowser::logf("feature data load error!");
  fvbrowser::logf("feature index =  %d load error.", index);
  fvbrowser::logf("出错的特征是:%s", entry.c_str());
}

// Room for a list of the most templates the control takes, each as its base64 text in quotes.
constexpr std::size_t kFeatureListBytes = 64u << 20;

}  // namespace

void CPellacorCtrl::loadFeatureList(const std::string& text, std::vector<Bytes>& list) {
  try {
    // The whole text must be one JSON value: a bare base64 template that begins with digits is
    // not a number followed by rubbish.
    const std::optional<Json::Value> parsed =
        fvcommon::readJson(text, {.maxBytes = kFeatureListBytes, .wholeText = true});
    if (!parsed) {
      fvbrowser::logf("Model reader.parse  json fail!");
      const auto model = fvcommon::Base64DecodeStrict(text, kModelBytes);
      if (model && model->size() == static_cast<std::size_t>(kModelBytes)) {
        list.assign(1, *model);
      } else {
        list.clear();
        fvbrowser::logf("feature data load error!");
      }
      return;
    }
    const Json::Value& root = *parsed;
    if (root.isArray()) {
      const int count = static_cast<int>(root.size());
      fvbrowser::logf("load feature count %d", count);
      // Filled as the entries prove good, so a long array of bad entries costs nothing.
      list.clear();
      for (int i = 0; i < count; ++i) {
        const Json::Value& entry = root[i];
        const std::string entryText = entry.isString() ? entry.asString() : entry.toStyledString();
        const auto model = entry.isString() ? fvcommon::Base64DecodeStrict(entryText, kModelBytes)
                                            : std::nullopt;
        if (!model || model->size() != static_cast<std::size_t>(kModelBytes)) {
          list.clear();
          LogBadEntry(i, entryText);
          return;
        }
        list.push_back(*model);
      }
      return;
    }
    fvbrowser::logf("feature load serial start...");
    int count = root.get("num", 0).asInt();
    fvbrowser::logf("feature num = %d", count);
    if (count <= 0) {
      fvbrowser::logf("load feaute failed. %s", text.c_str());
      return;
    }
    // Absent members are zero templates: without a cap a page could ask for any amount.
    if (count > kMaxFeatureListSize) {
      fvbrowser::logf("feature num = %d is more than %d", count, kMaxFeatureListSize);
      count = kMaxFeatureListSize;
    }
    list.assign(static_cast<std::size_t>(count), Bytes(kModelBytes, 0));
    for (int i = 0; i < count; ++i) {
      const std::string key = std::to_string(i);
      if (!root.isMember(key)) continue;
      const Json::Value& entry = root[key];
      const std::string entryText = entry.isString() ? entry.asString() : entry.toStyledString();
      const auto model = entry.isString() ? fvcommon::Base64DecodeStrict(entryText) : std::nullopt;
      if (!model || model->size() < static_cast<std::size_t>(kModelBytes)) {
        list.clear();
        LogBadEntry(i, entryText);
        return;
      }
      list[static_cast<std::size_t>(i)].assign(model->begin(), model->begin() + kModelBytes);
    }
  } catch (const Json::Exception& error) {
    fvbrowser::logf("%s", error.what());
  }
}
