#include <json/reader.h>

#include <cmath>
#include <limits>
#include <memory>

#include "cloud/cloud_operations.h"
#include "cloud/payload_cipher.h"

namespace torvane {

bool parseReply(const std::string& reply, Json::Value& root) {
  const std::string text = decryptPayload(reply);
  if (text.empty()) return false;
  Json::CharReaderBuilder builder;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value value;
  if (!reader->parse(text.data(), text.data() + text.size(), &value, nullptr) || !value.isObject()) {
    return false;
  }
  root = std::move(value);
  return true;
}

int replyInt(const Json::Value& object, const char* key, int fallback) {
  const Json::Value& value = object[key];
  if (value.isInt()) return value.asInt();
  if (value.isDouble()) {
    const double d = value.asDouble();
    const bool whole = std::isfinite(d) && std::floor(d) == d &&
                       std::fabs(d) <= std::numeric_limits<int>::max();
    return whole ? static_cast<int>(d) : fallback;
  }
  return fallback;
}

double replyDouble(const Json::Value& object, const char* key, double fallback) {
  const Json::Value& value = object[key];
  return value.isNumeric() ? value.asDouble() : fallback;
}

std::string replyText(const Json::Value& object, const char* key) {
  const Json::Value& value = object[key];
  return value.isString() ? value.asString() : std::string();
}

}  // namespace torvane
