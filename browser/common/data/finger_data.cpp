#include "data/finger_data.h"

#include <json/json.h>

#include "base/flavour.h"
#include "fvcommon/base64.h"
#include "fvcommon/json_text.h"
#include "log/log_file.h"

namespace fvbrowser {

void FingerData::clear() {
  imageCount_ = 0;
  featureCount_ = 0;
}

int FingerData::addImage(std::span<const std::uint8_t> image, int value) {
  if (imageCount_ >= kSlots || image.empty()) return -1;
  images_[static_cast<std::size_t>(imageCount_)].assign(image.begin(), image.end());
  imageValues_[static_cast<std::size_t>(imageCount_)] = value;
  ++imageCount_;
  return kImageBytes;
}

int FingerData::addFeature(std::span<const std::uint8_t> model, int fingerCode) {
  if (featureCount_ >= kSlots || model.size() != static_cast<std::size_t>(kModelBytes)) return -1;
  models_[static_cast<std::size_t>(featureCount_)].assign(model.begin(), model.end());
  modelCodes_[static_cast<std::size_t>(featureCount_)] = fingerCode;
  ++featureCount_;
  return kModelBytes;
}

std::string FingerData::getImageofIndex(int i) const {
  if (i < 0 || i >= imageCount_) return {};
  logf("getImageofIndex Base64");
  return fvcommon::Base64Encode(images_[static_cast<std::size_t>(i)].data(),
                                images_[static_cast<std::size_t>(i)].size());
}

std::string FingerData::getFeatureofIndex(int i) const {
  if (i < 0 || i >= featureCount_) return {};
  logf("getFeatureofIndex Base64");
  return fvcommon::Base64Encode(models_[static_cast<std::size_t>(i)].data(),
                                models_[static_cast<std::size_t>(i)].size());
}

std::string FingerData::imagesToJson() const {
  Json::Value root(Json::objectValue);
  root["images"] = Json::Value(Json::objectValue);
  root["type"] = Json::Value(Json::objectValue);
  for (int i = 0; i < imageCount_; ++i) {
    const std::string key = std::to_string(i);
    root["images"][key] = getImageofIndex(i);
    Json::Value type(Json::objectValue);
    type["fingertype"] = imageValues_[static_cast<std::size_t>(i)];
    type["len"] = 0;
    root["type"][key] = type;
  }
  root["algtype"] = 3;
  root["quality"] = 3;
  root["num"] = imageCount_;
  return fvcommon::writeCompactJson(root);
}

std::string FingerData::featuresToJson() const {
  Json::Value root(Json::objectValue);
  root["feature"] = Json::Value(Json::objectValue);
  root["type"] = Json::Value(Json::objectValue);
  for (int i = 0; i < featureCount_; ++i) {
    const std::string key = std::to_string(i);
    root["feature"][key] = getFeatureofIndex(i);
    Json::Value type(Json::objectValue);
    type["fingertype"] = modelCodes_[static_cast<std::size_t>(i)];
    root["type"][key] = type;
  }
  if (isPlugin()) {
    root["feature"]["len"] = kModelBytes;
  } else {
    root["len"] = kModelBytes;
  }
  root["algtype"] = 3;
  root["quality"] = 3;
  root["num"] = featureCount_;
  return fvcommon::writeCompactJson(root);
}

}  // namespace fvbrowser
