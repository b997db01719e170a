#include "result/result_json.h"

#include "fvcommon/json_text.h"
#include "settings/finger_settings.h"

namespace fvbrowser {

std::string formatPromptResult(int returnId, int promptNumber) {
  return formatValueResult(returnId, "", promptNumber);
}

std::string formatValueResult(int returnId, const std::string& value, int promptNumber) {
  return "{\"RETURNID\":" + std::to_string(returnId) +
         ",\"RETURNVALUE\":" + fvcommon::jsonQuoted(value) +
         ",\"RETURNDESC\":" + fvcommon::jsonQuoted(promptText(promptNumber)) + "}";
}

std::string resultText(const Json::Value& result) {
  return fvcommon::writeCompactJson(result);
}

}  // namespace fvbrowser
