#include "fvcommon/json_read.h"

#include <exception>
#include <memory>
#include <string>

namespace fvcommon {

std::optional<Json::Value> readJson(std::string_view text, JsonReadLimits limits) {
  if (text.size() > limits.maxBytes) return std::nullopt;
  try {
    Json::CharReaderBuilder builder;
    builder["stackLimit"] = kJsonDepthLimit;
    builder["failIfExtra"] = limits.wholeText;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) {
      return std::nullopt;
    }
    return root;
  } catch (const std::exception&) {
    // Too deep (the library raises), or out of memory.
    return std::nullopt;
  }
}

}  // namespace fvcommon
