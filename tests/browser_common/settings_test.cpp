// Settings from the page, "FingerSetting.ini" and the language file, the language by locale, and
// the built-in prompt tables.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/flavour_testing.h"
#include "browser_fixtures.h"
#include "fvplatform/folders.h"
#include "fvplatform/locale.h"
#include "settings/finger_settings.h"
#include "settings/prompt_tables.h"

namespace {

using fvbrowser::FingerOrder;
using fvbrowser::FingerSettings;
using fvbrowser::Flavour;

struct Snapshot {
  int times;
  FingerOrder order;
  int play;
  int fingerNum;
  float thresh;
  std::string version;
  int model;
  int recog;
  std::string fileName;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const FingerSettings& s) {
  return {s.getTimesPerFinger(), s.getFingerOrder(),  s.getPlaySound(),
          s.getFingerNum(),      s.getThresh(),       s.getVersion(),
          s.getModelTimeout(),   s.getRecogTimeout(), s.getFileName()};
}

const Snapshot kDefaults = {2, {2, 3, 5, 6, 1, 4, 0, 0}, 1, 4, 0.51f, "FVV1102014071715", 60, 60,
                            ""};

TEST(FingerSettings, ParseTable) {
  struct Case {
    const char* json;
    int result;
    Snapshot expected;
  };
  auto with = [](auto change) {
    Snapshot s = kDefaults;
    change(s);
    return s;
  };
  const Case cases[] = {
      {"not json", 1, kDefaults},
      {"[1,2]", 1, kDefaults},
      {"[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[", 1, kDefaults},
      {"{}", 0, kDefaults},
      {R"({"TimesPerFinger":0})", 0, with([](Snapshot& s) { s.times = 1; })},
      {R"({"TimesPerFinger":7})", 0, with([](Snapshot& s) { s.times = 3; })},
      {R"({"TimesPerFinger":3,"PlaySound":0,"Thresh":0.75,"Version":"V2"})", 0,
       with([](Snapshot& s) {
         s.times = 3;
         s.play = 0;
         s.thresh = 0.75f;
         s.version = "V2";
       })},
      {R"({"ModelTimeout":"90","RecogTimeout":30})", 0, with([](Snapshot& s) { s.recog = 30; })},
      // Limits whose milliseconds an int holds: within 2147483 seconds either way.
      {R"({"ModelTimeout":3000000,"RecogTimeout":-3000000})", 0, with([](Snapshot& s) {
         s.model = 2147483;
         s.recog = -2147483;
       })},
      {R"({"ModelTimeout":2147483,"RecogTimeout":-2147483})", 0, with([](Snapshot& s) {
         s.model = 2147483;
         s.recog = -2147483;
       })},
      {R"({"ModelTimeout":-1,"RecogTimeout":0})", 0, with([](Snapshot& s) {
         s.model = -1;
         s.recog = 0;
       })},
      {R"({"ModelTimeout":4294967296})", 0, kDefaults},  // no int
      // A threshold outside 0 to 1 is not taken; the rest of the text is.
      {R"({"Thresh":-0.5,"PlaySound":0})", 0, with([](Snapshot& s) { s.play = 0; })},
      {R"({"Thresh":1.0001})", 0, kDefaults},
      {R"({"Thresh":1e300})", 0, kDefaults},
      {R"({"Thresh":0})", 0, with([](Snapshot& s) { s.thresh = 0.0f; })},
      {R"({"Thresh":1})", 0, with([](Snapshot& s) { s.thresh = 1.0f; })},
      {R"({"Fingers":"16x3","FingerNum":4})", 0, with([](Snapshot& s) {
         s.order = {1, 6, 0, 0, 0, 0, 0, 0};
         s.fingerNum = 2;
       })},
      {R"({"Fingers":"123"})", 0, with([](Snapshot& s) {
         s.order = {1, 2, 3, 0, 0, 0, 0, 0};
         s.fingerNum = 3;
       })},
      {R"({"Fingers":"12345612","FingerNum":9})", 0, with([](Snapshot& s) {
         s.order = {1, 2, 3, 4, 5, 6, 1, 2};
         s.fingerNum = 8;
       })},
      // More than eight digits: the order holds the first eight.
      {R"({"Fingers":"1234561234","FingerNum":10})", 0, with([](Snapshot& s) {
         s.order = {1, 2, 3, 4, 5, 6, 1, 2};
         s.fingerNum = 8;
       })},
      {R"({"Fingers":"7","FingerNum":4})", 0, with([](Snapshot& s) {
         s.order = {0, 0, 0, 0, 0, 0, 0, 0};
         s.fingerNum = 0;
       })},
      {R"({"FingerNum":1})", 0, kDefaults},  // read only together with "Fingers"
      // Values of a type that cannot hold them refuse the whole text.
      {R"({"TimesPerFinger":"2","PlaySound":0})", 1, kDefaults},
      {R"({"PlaySound":"0"})", 1, kDefaults},
      {R"({"Thresh":"0.7"})", 1, kDefaults},
      {R"({"Fingers":"12","FingerNum":"2"})", 1, kDefaults},
      {R"({"Fingers":12})", 1, kDefaults},
      {R"({"FileName":"x.lng","LanguageType":"CN"})", 0, kDefaults},  // not from the page
  };
  for (const Case& c : cases) {
    FingerSettings settings;
    EXPECT_EQ(settings.parseSettings(c.json), c.result) << c.json;
    EXPECT_EQ(Take(settings), c.expected) << c.json;
  }
}

TEST(FingerSettings, PluginTakesTheLanguageFileFromThePage) {
  fvbrowser::testing::ScopedFlavour plugin(Flavour::kPlugin);
  FingerSettings settings;
  EXPECT_EQ(settings.parseSettings(R"({"FileName":"x.lng","LanguageType":"CN"})"), 0);
  EXPECT_EQ(settings.getFileName(), "x.lng");
  EXPECT_EQ(settings.getLanguageType(), "CN");
}

TEST(FingerSettings, ProcessWideInstanceLivesWhileHeld) {
  fvbrowser::releaseFingerSettings();
  fvbrowser::holdFingerSettings();
  fvbrowser::holdFingerSettings();
  const auto first = fvbrowser::getFingerSettings();
  first->parseSettings(R"({"PlaySound":0})");
  fvbrowser::releaseFingerSettings();  // another front-end still holds them
  EXPECT_EQ(fvbrowser::getFingerSettings(), first);
  fvbrowser::releaseFingerSettings();
  const auto fresh = fvbrowser::getFingerSettings();
  EXPECT_NE(fresh, first);
  EXPECT_EQ(fresh->getPlaySound(), 1);
  EXPECT_EQ(first->getPlaySound(), 0) << "a reader's copy stays valid";
}

TEST(FingerSettings, PageWritesWhileWorkersRead) {
  FingerSettings settings;
  std::atomic<bool> done{false};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&] {
      while (!done.load()) {
        const FingerOrder order = settings.getFingerOrder();
        const int times = settings.getTimesPerFinger();
        EXPECT_TRUE(order[0] == 2 || order[0] == 1) << order[0];
        EXPECT_TRUE(times == 2 || times == 3) << times;
        EXPECT_FALSE(settings.getVersion().empty());
      }
    });
  }
  for (int i = 0; i < 300; ++i) {
    settings.parseSettings(i % 2 ? R"({"Fingers":"1","TimesPerFinger":3,"Version":"a"})"
                                 : R"({"Fingers":"23","TimesPerFinger":2,"Version":"bb"})");
  }
  done.store(true);
  for (auto& reader : readers) reader.join();
}

class LanguageFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    fvplat::SetSystemDirectory(system_.path().string());
    fvplat::SetSystemLcid(1033);
  }
  void TearDown() override {
    fvplat::SetSystemDirectory("");
    fvplat::SetSystemLcid(0);
    fvbrowser::clearPromptTexts();
  }
  fvbtest::TempFolder current_;
  fvbtest::TempFolder system_;
};

TEST_F(LanguageFiles, CurrentFolderFirstThenSystemFolder) {
  const std::string ini = R"({"Version":"L1","FileName":"lang.json","LanguageType":"EN"})";
  const std::string lang = R"({"EN":{"Num1":"first","Num2":"second"}})";
  struct Case {
    bool iniHere, iniSystem, langHere, langSystem;
    std::string version, prompt0;
  };
  const Case cases[] = {
      {false, false, false, false, "FVV1102014071715", "Finger vein modeling"},
      {true, false, true, false, "L1", "first"},
      {false, true, false, true, "L1", "first"},
      {true, true, false, true, "here", "first"},
      {false, true, false, false, "L1", "Finger vein modeling"},
  };
  for (const Case& c : cases) {
    fvbtest::TempFolder here, system;
    fvplat::SetSystemDirectory(system.path().string());
    if (c.iniHere)
      here.write(
          "FingerSetting.ini",
          c.iniSystem ? R"({"Version":"here","FileName":"lang.json","LanguageType":"EN"})" : ini);
    if (c.iniSystem) system.write("FingerSetting.ini", ini);
    if (c.langHere) here.write("lang.json", lang);
    if (c.langSystem) system.write("lang.json", lang);
    fvbtest::CurrentFolder cd(here.path());
    FingerSettings settings;
    settings.loadSettingFile();
    EXPECT_EQ(settings.getVersion(), c.version);
    EXPECT_EQ(fvbrowser::promptText(0), c.prompt0);
    EXPECT_EQ(fvbrowser::promptText(2), "Device connection exception") << "not in the file";
  }
}

TEST_F(LanguageFiles, SectionMembersFillTheirEntriesWithinTheTable) {
  FingerSettings settings;
  fvbrowser::clearPromptTexts();
  // Three members: only "Num1" to "Num3" are looked for, so "Num5" is not taken.
  EXPECT_EQ(settings.parseLanguageFile(
                R"({"LanguageType":"CN","CN":{"Num1":"a","Num2":"b","Num5":"e"}})"),
            0);
  EXPECT_EQ(fvbrowser::promptText(0), "a");
  EXPECT_EQ(fvbrowser::promptText(1), "b");
  EXPECT_EQ(fvbrowser::promptText(4), "timeout");
  // 150 members: entries up to 99, none beyond.
  std::string many = R"({"LanguageType":"X","X":{)";
  for (int i = 1; i <= 150; ++i)
    many +=
        (i > 1 ? "," : "") + ("\"Num" + std::to_string(i) + "\":\"t" + std::to_string(i) + "\"");
  many += "}}";
  EXPECT_EQ(settings.parseLanguageFile(many), 0);
  EXPECT_EQ(fvbrowser::promptText(99), "t100");
  EXPECT_EQ(fvbrowser::promptText(100), "");
  EXPECT_EQ(settings.parseLanguageFile("{broken"), 1);
  EXPECT_EQ(fvbrowser::promptText(99), "t100") << "a broken file changes nothing";
}

TEST_F(LanguageFiles, NamesWithAFolderAreNotLookedUp) {
  system_.write("FingerSetting.ini", R"({"FileName":"../lang.json","LanguageType":"EN"})");
  std::filesystem::create_directory(current_.path() / "sub");
  current_.write("lang.json", R"({"EN":{"Num1":"escaped"}})");
  fvbtest::CurrentFolder cd(current_.path() / "sub");
  FingerSettings settings;
  settings.loadSettingFile();
  EXPECT_EQ(settings.getFileName(), "../lang.json");
  EXPECT_EQ(fvbrowser::promptText(0), "Finger vein modeling");
}

TEST(Language, ChosenByLocale) {
  const struct {
    unsigned lcid;
    int language;
    const char* prompt34;
  } cases[] = {{2052, 1, "认证成功！"},
               {1028, 1, "认证成功！"},
               {1033, 0, "Authentication success!"},
               {1041, 0, "Authentication success!"},
               {2057, 0, "Authentication success!"}};
  for (const auto& c : cases) {
    fvplat::SetSystemLcid(c.lcid);
    EXPECT_EQ(fvbrowser::getSystemLanguage(), c.language) << c.lcid;
    EXPECT_EQ(fvbrowser::currentLanguage(), c.language);
    EXPECT_EQ(fvbrowser::getString(34), c.prompt34) << c.lcid;
  }
  fvplat::SetSystemLcid(0);
}

TEST(PromptTables, BothLanguagesByteForByte) {
  const struct {
    int number;
    const char* chinese;
    const char* english;
  } rows[] = {
#include "prompt_rows.inc"
  };
  ASSERT_EQ(std::size(rows), 41u);
  for (const auto& row : rows) {
    for (bool plugin : {false, true}) {
      EXPECT_EQ(fvbrowser::builtInPrompt(1, row.number, plugin), row.chinese) << row.number;
      EXPECT_EQ(fvbrowser::builtInPrompt(0, row.number, plugin), row.english) << row.number;
    }
  }
  EXPECT_EQ(fvbrowser::builtInPrompt(1, 41, true), "匹配分数:");
  EXPECT_EQ(fvbrowser::builtInPrompt(0, 41, true), "Matching score:");
  EXPECT_EQ(fvbrowser::builtInPrompt(1, 42, true), "游标:");
  EXPECT_EQ(fvbrowser::builtInPrompt(0, 42, true), "Mark:");
  for (int number : {41, 42, 43, 99, 100, -1}) {
    EXPECT_EQ(fvbrowser::builtInPrompt(0, number, false), "") << number;
  }
  EXPECT_EQ(fvbrowser::builtInPrompt(1, 43, true), "");
}

}  // namespace
