#include "fvcommon/json_text.h"

#include <memory>
#include <sstream>

namespace fvcommon {
namespace {

const Json::StreamWriterBuilder& CompactBuilder() {
  static const Json::StreamWriterBuilder builder = [] {
    Json::StreamWriterBuilder b;
    b["indentation"] = "";
    b["commentStyle"] = "None";
    b["emitUTF8"] = true;
    b["enableYAMLCompatibility"] = false;
    b["dropNullPlaceholders"] = false;
    return b;
  }();
  return builder;
}

std::string Write(const Json::Value& value) {
  const std::unique_ptr<Json::StreamWriter> writer(CompactBuilder().newStreamWriter());
  std::ostringstream out;
  writer->write(value, &out);
  return out.str();
}

}  // namespace

std::string writeCompactJson(const Json::Value& value) {
  return Write(value) + "\n";
}

std::string jsonQuoted(std::string_view text) {
  return Write(Json::Value(text.data(), text.data() + text.size()));
}

}  // namespace fvcommon
