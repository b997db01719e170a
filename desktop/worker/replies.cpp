#include "worker/replies.h"

#include <memory>

namespace torvane {

std::optional<Json::Value> parseObject(const std::string& text) {
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) return std::nullopt;
  if (!root.isObject()) return std::nullopt;
  return root;
}

std::optional<int> intMember(const Json::Value& object, const char* key) {
  if (!object.isObject()) return std::nullopt;
  const Json::Value& v = object[key];
  if (!v.isInt()) return std::nullopt;
  return v.asInt();
}

std::optional<double> doubleMember(const Json::Value& object, const char* key) {
  if (!object.isObject()) return std::nullopt;
  const Json::Value& v = object[key];
  if (!v.isNumeric() || v.isBool()) return std::nullopt;
  return v.asDouble();
}

std::string stringMember(const Json::Value& object, const char* key) {
  if (!object.isObject()) return {};
  const Json::Value& v = object[key];
  return v.isString() ? v.asString() : std::string();
}

const Json::Value& objectMember(const Json::Value& object, const char* key) {
  static const Json::Value null;
  if (!object.isObject()) return null;
  const Json::Value& v = object[key];
  return v.isObject() ? v : null;
}

}  // namespace torvane
