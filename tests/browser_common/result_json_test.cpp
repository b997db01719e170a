// Prompt reports and result objects, byte for byte.

#include "result/result_json.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include "base/flavour_testing.h"
#include "fvplatform/locale.h"
#include "settings/finger_settings.h"

namespace {

class ResultTexts : public ::testing::Test {
 protected:
  void SetUp() override { fvbrowser::clearPromptTexts(); }
  void TearDown() override {
    fvbrowser::clearPromptTexts();
    fvplat::SetSystemLcid(0);
  }
  static void Language(unsigned lcid) {
    fvplat::SetSystemLcid(lcid);
    fvbrowser::getSystemLanguage();
  }
};

TEST_F(ResultTexts, PromptReportsInBothLanguages) {
  Language(1033);
  EXPECT_EQ(fvbrowser::formatPromptResult(-2, 0),
            "{\"RETURNID\":-2,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Finger vein modeling\"}");
  EXPECT_EQ(fvbrowser::formatPromptResult(40, 33),
            "{\"RETURNID\":40,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please put your finger on and "
            "continue?\"}");
  Language(2052);
  EXPECT_EQ(fvbrowser::formatPromptResult(-3, 1),
            "{\"RETURNID\":-3,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"终止建模\"}");
  EXPECT_EQ(fvbrowser::formatPromptResult(30, 22),
            "{\"RETURNID\":30,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"请您将手指贴到设备右壁\"}");
  EXPECT_EQ(
      fvbrowser::formatValueResult(0, "0", 36),
      "{\"RETURNID\":0,\"RETURNVALUE\":\"0\",\"RETURNDESC\":\"您已成功采集手指,开始认证。\"}");
  EXPECT_EQ(fvbrowser::formatPromptResult(-100, 41),
            "{\"RETURNID\":-100,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"\"}")
      << "a number without text gives an empty description";
}

TEST_F(ResultTexts, LanguageFileTextsStayValidJsonAndUnchanged) {
  Language(1033);
  const std::string odd = "50% \"quoted\" back\\slash %s %d\ttab";
  fvbrowser::setPromptText(5, odd);
  const std::string text = fvbrowser::formatPromptResult(0, 5);
  Json::Value parsed;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  ASSERT_TRUE(reader->parse(text.data(), text.data() + text.size(), &parsed, &errors)) << text;
  EXPECT_EQ(parsed["RETURNDESC"].asString(), odd);
  EXPECT_EQ(parsed["RETURNID"].asInt(), 0);
  // Long texts are carried whole.
  fvbrowser::setPromptText(6, std::string(400, 'x'));
  EXPECT_EQ(fvbrowser::formatPromptResult(1, 6).size(), 47u + 400u);
}

TEST_F(ResultTexts, ResultObjectsListMembersInKeyOrder) {
  Json::Value result;
  result["RETURNVALUE"] = "0.8000";
  result["RETURNID"] = 0;
  result["RETURNDESC"] = "认证成功！";
  result["POS"] = "3";
  result["IMAGE"] = "i\n";
  result["FEATURE"] = "f\n";
  EXPECT_EQ(fvbrowser::resultText(result),
            "{\"FEATURE\":\"f\\n\",\"IMAGE\":\"i\\n\",\"POS\":\"3\",\"RETURNDESC\":\"认证成功！\","
            "\"RETURNID\":0,\"RETURNVALUE\":\"0.8000\"}\n");
}

}  // namespace
