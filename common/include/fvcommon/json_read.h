#pragma once
// Reading a JSON text that came from outside (a page, a request, a settings or language file)
// within bounds: one reader for every such text, so none can nest deep enough to exhaust the
// stack or make the JSON library raise an error past its caller.

#include <json/json.h>

#include <cstddef>
#include <optional>
#include <string_view>

namespace fvcommon {

// Deeper nesting than any text of the system needs; the library refuses beyond it.
inline constexpr int kJsonDepthLimit = 64;
// Longer texts are not read at all.
inline constexpr std::size_t kJsonSizeLimit = 16u << 20;

struct JsonReadLimits {
  std::size_t maxBytes = kJsonSizeLimit;
  // The whole text must be the one value: no trailing text after it.
  bool wholeText = false;
};

// The value of `text`, or none when it is longer than the limit, nests deeper than
// kJsonDepthLimit, is not JSON, or the library fails in any way while reading it.
std::optional<Json::Value> readJson(std::string_view text, JsonReadLimits limits = {});

}  // namespace fvcommon
