// Special folders, the locale id and the sound sink.

#include "fvplatform/folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fvplatform/locale.h"
#include "fvplatform/message_box.h"
#include "fvplatform/module.h"
#include "fvplatform/sound.h"

namespace {

TEST(Folders, SystemDirectoryFollowsTheTestThenTheProgramFolder) {
  fvplat::SetSystemDirectory("/tmp/sysdir");
  char buffer[50];
  EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), 11u);
  EXPECT_STREQ(buffer, "/tmp/sysdir");
  char small[11];
  EXPECT_EQ(GetSystemDirectoryA(small, sizeof small), 12u) << "too small: the size it needs";
  fvplat::SetSystemDirectory("");
  unsetenv(fvplat::kSystemDirEnv);
  EXPECT_EQ(fvplat::SystemDirectory(), fvplat::ProgramDirectory());
}

TEST(Folders, DocumentsComeFromXdgOrHome) {
  const char* savedXdg = std::getenv("XDG_DOCUMENTS_DIR");
  const std::string xdg = savedXdg ? savedXdg : "";
  setenv("XDG_DOCUMENTS_DIR", "/tmp/docs-x", 1);
  char path[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_PERSONAL, FALSE));
  EXPECT_STREQ(path, "/tmp/docs-x");
  EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, 0x1A, FALSE)) << "only the documents";
  unsetenv("XDG_DOCUMENTS_DIR");
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", "/tmp/home-x", 1);
  EXPECT_EQ(fvplat::DocumentsDirectory(), "/tmp/home-x/Documents");
  setenv("HOME", home.c_str(), 1);
  if (savedXdg) setenv("XDG_DOCUMENTS_DIR", xdg.c_str(), 1);
}

TEST(Folders, ModuleFileNameIsTheProgramCutToTheBuffer) {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  EXPECT_EQ(std::string(path, n), fvplat::ProgramDirectory() + "/platform_tests");
  char four[4];
  EXPECT_EQ(GetModuleFileNameA(nullptr, four, 4), 3u);
  EXPECT_EQ(std::string(four), std::string(path, 3));
}

TEST(Locale, TestChoiceThenEnvironment) {
  fvplat::SetSystemLcid(2052);
  EXPECT_EQ(GetSystemDefaultLCID(), 2052u);
  fvplat::SetSystemLcid(0);
  setenv("LC_ALL", "zh_TW.UTF-8", 1);
  EXPECT_EQ(GetSystemDefaultLCID(), 1028u);
  setenv("LC_ALL", "zh_CN.UTF-8", 1);
  EXPECT_EQ(GetSystemDefaultLCID(), 2052u);
  setenv("LC_ALL", "C.UTF-8", 1);
  EXPECT_EQ(GetSystemDefaultLCID(), 1033u);
  unsetenv("LC_ALL");
}

TEST(Sound, SinkRecordsNameAndFlags) {
  std::vector<std::string> played;
  fvplat::SetSoundSink([&](std::string_view name, DWORD flags) {
    played.push_back(std::string(name) + "/" + std::to_string(flags));
  });
  EXPECT_TRUE(PlaySoundA("/sys\\bg.wav", nullptr, SND_ASYNC | SND_NODEFAULT));
  EXPECT_FALSE(PlaySoundA(nullptr, nullptr, 0));
  fvplat::SetSoundSink({});
  EXPECT_TRUE(PlaySoundA("silent.wav", nullptr, SND_ASYNC));
  EXPECT_EQ(played, std::vector<std::string>{"/sys\\bg.wav/3"});
}

}  // namespace

namespace {

TEST(MessageBox, PolicyRecordsAndAnswers) {
  std::vector<fvplat::MessageBoxRecord> boxes;
  auto previous = fvplat::SetMessageBoxPolicy([&](const fvplat::MessageBoxRecord& box) {
    boxes.push_back(box);
    return 7;
  });
  EXPECT_EQ(MessageBoxA(nullptr, "text", nullptr, MB_OK), 7);
  fvplat::SetMessageBoxPolicy(std::move(previous));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_EQ(boxes[0].caption, "");
  EXPECT_EQ(boxes[0].text, "text");
  EXPECT_EQ(boxes[0].type, MB_OK);
  EXPECT_EQ(MessageBoxA(nullptr, "to stderr", "caption", MB_OK), IDOK);
}

}  // namespace
