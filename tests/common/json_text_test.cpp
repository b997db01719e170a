// Compact JSON texts: sorted members, no spaces, raw UTF-8, valid escapes, a final line feed.

#include "fvcommon/json_text.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonText, CompactSortedRawUtf8WithFinalLineFeed) {
  Json::Value root;
  root["RETURNVALUE"] = "";
  root["RETURNID"] = -3;
  root["RETURNDESC"] = "终止建模";
  root["IMAGE"] = "{\"a\":1}\n";
  EXPECT_EQ(fvcommon::writeCompactJson(root),
            "{\"IMAGE\":\"{\\\"a\\\":1}\\n\",\"RETURNDESC\":\"终止建模\",\"RETURNID\":-3,"
            "\"RETURNVALUE\":\"\"}\n");
  Json::Value nested;
  nested["type"]["0"] = Json::Value();
  nested["num"] = 1;
  EXPECT_EQ(fvcommon::writeCompactJson(nested), "{\"num\":1,\"type\":{\"0\":null}}\n");
}

TEST(JsonText, QuotedTextsEscapeQuotesBackslashesAndControls) {
  EXPECT_EQ(fvcommon::jsonQuoted("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(fvcommon::jsonQuoted("50%\t"), "\"50%\\t\"");
  EXPECT_EQ(fvcommon::jsonQuoted("匹配分数:"), "\"匹配分数:\"");
  EXPECT_EQ(fvcommon::jsonQuoted(""), "\"\"");
}

}  // namespace
