// Front-ends bind the device library by name through the platform loader; every name they ask
// for must bind, and unloading the library must close what is still open.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "fvplatform/debug_output.h"
#include "fvplatform/module.h"
#include "test_paths.h"

namespace {

std::vector<std::string> NamesIn(const std::string& file) {
  std::ifstream in(fvtest::SourceDir() + "/tests/exports/" + file);
  std::vector<std::string> names;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') names.push_back(line);
  }
  return names;
}

TEST(Binding, FrontEndListsBindThroughTheLoader) {
  HMODULE library = LoadLibraryA("Dravex.dll");
  ASSERT_NE(library, nullptr);
  const struct { const char* file; std::size_t count; } lists[] = {
      {"desktop_binding.txt", 38}, {"browser_binding.txt", 37}};
  for (const auto& list : lists) {
    const std::vector<std::string> names = NamesIn(list.file);
    EXPECT_EQ(names.size(), list.count) << list.file;
    for (const std::string& name : names) {
      EXPECT_NE(GetProcAddress(library, name.c_str()), nullptr) << list.file << ": " << name;
    }
  }
  for (const char* decorated : {"_fv_Set_Error@4", "_fvdev_GetdevNumber_ex@8",
                                "_fvdev_getPDdate_ex@8", "_fvdev_setPD_ex@8",
                                "_fvdev_set_led_bFlush_ex@12", "_fvdev_setdevNumber_ex@8"}) {
    EXPECT_NE(GetProcAddress(library, decorated), nullptr) << decorated;
  }
  EXPECT_EQ(GetProcAddress(library, "fv_Set_Error"), nullptr) << "decorated names only";
  FreeLibrary(library);
}

TEST(Binding, UnloadClosesOpenDevicesFirst) {
  HMODULE library = LoadLibraryA("Dravex.dll");
  ASSERT_NE(library, nullptr);
  using OpenFn = int (*)(int, HWND);
  using LevelFn = int (*)(int);
  auto open = reinterpret_cast<OpenFn>(GetProcAddress(library, "fvdev_open"));
  auto level = reinterpret_cast<LevelFn>(GetProcAddress(library, "setDebugLevel"));
  ASSERT_NE(open, nullptr);
  ASSERT_NE(level, nullptr);
  ASSERT_EQ(open(0, nullptr), 1) << "the simulator's default set-up has one device";
  level(0);
  std::string lines;
  fvplat::SetDebugOutputSink([&](std::string_view text) { lines += text; });
  EXPECT_EQ(FreeLibrary(library), TRUE);
  fvplat::SetDebugOutputSink({});
  EXPECT_NE(lines.find("lib usb exit.\n"), std::string::npos) << lines;
}

}  // namespace
