#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fvplatform/module.h"

namespace {

struct NameCase {
  const char* windows;
  const char* elf;
};

TEST(ModuleNames, WindowsModuleNamesMapToSharedObjects) {
  const NameCase cases[] = {
      {"Dravex.dll", "libDravex.so"},
      {"Veltrum.DLL", "libVeltrum.so"},
      {"C:\\Program Files\\Orvek\\Dravex.dll", "C:/Program Files/Orvek/libDravex.so"},
      {"/opt/x/Dravex.dll", "/opt/x/libDravex.so"},
      {"libm.so.6", "libm.so.6"},
      {".dll", ".dll"},
  };
  for (const auto& c : cases) EXPECT_EQ(fvplat::MapModuleName(c.windows), c.elf) << c.windows;
}

TEST(ModuleNames, DecoratedSymbolsMapToDollarNames) {
  const NameCase cases[] = {
      {"_fv_Set_Error@4", "_fv_Set_Error$4"},
      {"_fvdev_open_ex@12", "_fvdev_open_ex$12"},
      {"fv_Get_Error", "fv_Get_Error"},
      {"fv@4", "fv@4"},          // no leading underscore: not a decoration
      {"_fv@", "_fv@"},          // no size
      {"_fv@4x", "_fv@4x"},      // size not a number
      {"_@4", "_@4"},            // no name
  };
  for (const auto& c : cases) EXPECT_EQ(fvplat::MapSymbolName(c.windows), c.elf) << c.windows;
}

TEST(ModuleLoading, LoadsFromOverrideFolderAndBindsBothKindsOfName) {
  setenv(fvplat::kModuleDirEnv, FV_TESTMOD_DIR, 1);
  HMODULE module = LoadLibraryA("fvtestmod.dll");
  unsetenv(fvplat::kModuleDirEnv);
  ASSERT_NE(module, nullptr);
  auto plain = reinterpret_cast<int (*)()>(GetProcAddress(module, "plain_value"));
  auto decorated = reinterpret_cast<int (*)(int)>(GetProcAddress(module, "_fv_Test@4"));
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(decorated, nullptr);
  EXPECT_EQ(plain(), 41);
  EXPECT_EQ(decorated(1), 2);
  EXPECT_EQ(GetProcAddress(module, "missing_name"), nullptr);
  EXPECT_EQ(FreeLibrary(module), TRUE);
}

TEST(ModuleLoading, MissingModuleAndBadArgumentsGiveNull) {
  EXPECT_EQ(LoadLibraryA("NoSuchModule.dll"), nullptr);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
  EXPECT_EQ(LoadLibraryA(""), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "plain_value"), nullptr);
  EXPECT_EQ(FreeLibrary(nullptr), FALSE);
}

TEST(ModuleLoading, ProgramDirectoryIsThisTestsFolder) {
  const std::string dir = fvplat::ProgramDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(dir.find("/bin"), std::string::npos) << dir;
}

}  // namespace
