#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "store/settings.h"

namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("fv_settings_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path Write(const std::string& text) {
    const fs::path file = dir_ / "Kq_770Seting.ini";
    std::ofstream(file) << text;
    return file;
  }
  fs::path dir_;
};

TEST_F(SettingsFile, MembersFloorsAndShapes) {
  struct Case {
    const char* text;
    float score;
    int modeNum;
  };
  const Case cases[] = {
      {R"({"Score":"0.7","ModeNum":"4"})", 0.7f, 4},
      {R"({"Score":"0.5","ModeNum":"1"})", 0.6f, 2},     // floors
      {R"({"Score":0.8,"ModeNum":9})", 0.8f, 9},         // plain numbers read too
      {R"({"Score":"abc"})", 0.6f, 3},                   // no number: the floor
      {R"({"ModeNum":"7"})", 0.65f, 7},                  // absent member keeps its value
      {R"({"Score":"nan"})", 0.65f, 3},                  // not a finite threshold
      {R"(["Score","0.9"])", 0.65f, 3},                  // not an object
      {R"({"Score":{"v":1},"ModeNum":"8"})", 0.65f, 3},  // ill-shaped member: nothing changes
      {R"({"Score":)", 0.65f, 3},                        // not JSON
      {"", 0.65f, 3},
  };
  for (const auto& c : cases) {
    dravex::Settings s;
    s.score = 0.65f;
    s.modeNum = 3;
    dravex::loadSettings(Write(c.text), s);
    EXPECT_FLOAT_EQ(s.score, c.score) << c.text;
    EXPECT_EQ(s.modeNum, c.modeNum) << c.text;
  }
}

// Nesting deeper than the parser goes fails the parse: the values stay, nothing is thrown.
TEST_F(SettingsFile, DeeplyNestedFileKeepsValues) {
  std::string objects;
  for (int i = 0; i < 5000; ++i) objects += "{\"a\":";
  const std::string texts[] = {std::string(5000, '['),
                               R"({"Score":"0.9","ModeNum":"7","deep":)" + std::string(5000, '['),
                               objects};
  for (const auto& text : texts) {
    dravex::Settings s;
    s.score = 0.65f;
    s.modeNum = 3;
    EXPECT_NO_THROW(dravex::loadSettings(Write(text), s)) << text.substr(0, 40);
    EXPECT_FLOAT_EQ(s.score, 0.65f);
    EXPECT_EQ(s.modeNum, 3);
  }
}

TEST_F(SettingsFile, MissingFileKeepsValues) {
  dravex::Settings s;
  dravex::loadSettings(dir_ / "absent.ini", s);
  EXPECT_FLOAT_EQ(s.score, 0.6f);
  EXPECT_EQ(s.modeNum, 5);
}

}  // namespace
