// The scriptable object: its 21 method names, arguments and results, and no properties.

#include <gtest/gtest.h>

#include "fake_dravex.h"
#include "fvplatform/clock.h"
#include "fvplatform/message_box.h"
#include "fvplatform/module.h"
#include "np_fixture.h"

namespace {

using simbrowser::NpValue;
using V = std::vector<NpValue>;

// A page scripting the plug-in, with the stand-in device library behind it.
class Script : public nptest::LoadedPlugin {
 protected:
  void SetUp() override {
    ::setenv(fvplat::kModuleDirEnv, FAKE_DIR, 1);
    fakedrx::reset();
    LoadedPlugin::SetUp();
    page_ = host_->NewPage();
    ASSERT_GE(page_, 0);
  }
  void TearDown() override {
    host_.reset();
    fakedrx::reset();
  }
  int page_ = -1;
};

const char* const kMethodNames[] = {
    "ORVEK_Init_Vein",           "ORVEK_OpenVeinDev",        "ORVEK_CloseVeinDev",
    "ORVEK_StartModel_Vein",     "ORVEK_StopModel_Vein",     "ORVEK_StartRecog_Vein",
    "ORVEK_StopRecog_Vein",      "ORVEK_StopModelOrRecog",   "ORVEK_ContinueDo",
    "ORVEK_GetAlgorithmVersion", "ORVEK_GetVersion",         "ORVEK_StoreOneRecod",
    "ORVEK_LoadOneRecod",        "ORVEK_RemoveOneRecod",     "ORVEK_SetVeinModelStatus",
    "ORVEK_SetVeinRecogStatus",  "ORVEK_GetVeinModelStatus", "ORVEK_GetVeinRecogStatus",
    "ORVEK_VeinFeatureCompare",  "ORVEK_VeinImageCompare",   "ORVEK_TakeVeinPicture",
};

TEST_F(Script, HasEveryMethodNameAndNoOther) {
  for (const char* name : kMethodNames) EXPECT_TRUE(host_->HasMethod(page_, name)) << name;
  for (const char* name : {"ORVEK_Bogus", "orvek_init_vein", "ORVEK_TakeVeinPicture ", ""}) {
    EXPECT_FALSE(host_->HasMethod(page_, name)) << name;
  }
}

TEST_F(Script, MethodsWithoutADevice) {
  struct Case {
    const char* method;
    V args;
    bool ok;
    NpValue result;
  };
  const Case cases[] = {
      {"ORVEK_GetAlgorithmVersion", {}, true, std::string("FINGER10")},
      {"ORVEK_GetVersion", {}, true, std::string("V014R031C0001B01")},
      {"ORVEK_LoadOneRecod", {}, true, std::string("")},
      {"ORVEK_StoreOneRecod", {std::string("a"), 1, std::string("b")}, true, std::monostate{}},
      {"ORVEK_RemoveOneRecod", {std::string("a"), 1}, true, 1},
      {"ORVEK_Init_Vein", {std::string("{}")}, true, 0},
      {"ORVEK_Init_Vein", {std::string("not json")}, true, 0},
      {"ORVEK_OpenVeinDev", {}, true, 1},  // the stand-in reports no device below
      {"ORVEK_CloseVeinDev", {}, true, 1},
      {"ORVEK_StartModel_Vein", {}, true, -1},
      {"ORVEK_StartRecog_Vein", {std::string("")}, true, -1},
      {"ORVEK_StopModel_Vein", {}, true, 0},
      {"ORVEK_StopRecog_Vein", {}, true, 0},
      {"ORVEK_SetVeinModelStatus", {5}, true, 1},
      {"ORVEK_SetVeinRecogStatus", {5}, true, 1},
      {"ORVEK_TakeVeinPicture", {}, true, -1},
      {"ORVEK_ContinueDo", {1}, true, 0},
      {"ORVEK_StopModelOrRecog", {}, false, std::monostate{}},
      {"ORVEK_NoSuchMethod", {}, false, std::monostate{}},
  };
  fakedrx::Handlers none;
  none.count = [] { return 0; };
  fakedrx::install(none);
  for (const Case& c : cases) {
    const simbrowser::NpResult out = host_->Invoke(page_, c.method, c.args);
    EXPECT_EQ(out.ok, c.ok) << c.method;
    EXPECT_EQ(out.value, c.result) << c.method;
  }
  EXPECT_EQ(host_->OutstandingMemory(), 0);  // every text result given back
  EXPECT_NE(folders_.LogText().find("]Get name-------------V014R031C0001B01\n"), std::string::npos);
}

TEST(ScriptBinding, ADeviceLibraryLackingANameIsShownAndNotOpened) {
  nptest::Folders folders;
  ::setenv(fvplat::kModuleDirEnv, LACKING_DIR, 1);
  fvplat::ClearMessageBoxLog();
  {
    simbrowser::NpHost host;
    ASSERT_EQ(host.Load(nptest::PluginModule()), 0);
    const int page = host.NewPage();
    EXPECT_EQ(host.CallInt(page, "ORVEK_OpenVeinDev"), 1);
    EXPECT_EQ(host.CallInt(page, "ORVEK_StartModel_Vein"), -1);
  }
  ::setenv(fvplat::kModuleDirEnv, FAKE_DIR, 1);
  const auto boxes = fvplat::MessageBoxLog();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, "Dravex.dll加载失败!");
  EXPECT_EQ(boxes.back().caption, "");
  EXPECT_EQ(boxes.back().owner, nullptr);
}

TEST_F(Script, StatusWordsBelongToTheWorkersOnceTheDeviceOpened) {
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_SetVeinModelStatus", {7}), 1);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_GetVeinModelStatus"), 0);  // no worker yet
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_OpenVeinDev"), 0);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_SetVeinModelStatus", {7}), 1);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_SetVeinRecogStatus", {9}), 1);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_GetVeinModelStatus"), 7);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_GetVeinRecogStatus"), 9);
  // "Go on" answers both workers: non-zero declines, a number is cut toward zero.
  struct Case {
    NpValue answer;
    int status;
  };
  const Case cases[] = {{2.7, -1}, {0.5, 1}, {-0.7, 1}, {-1.2, -1}, {0, 1}, {3, -1}};
  for (const Case& c : cases) {
    EXPECT_EQ(host_->CallInt(page_, "ORVEK_ContinueDo", {c.answer}), 0);
    EXPECT_EQ(host_->CallInt(page_, "ORVEK_GetVeinModelStatus"), c.status);
    EXPECT_EQ(host_->CallInt(page_, "ORVEK_GetVeinRecogStatus"), c.status);
  }
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_StopModel_Vein"), 0);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_GetVeinModelStatus"), -1);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_SetVeinRecogStatus", {4}), 1);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_StopRecog_Vein"), 0);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_GetVeinRecogStatus"), -1);
}

TEST_F(Script, ArgumentsAreCountedAndTypedBeforeUse) {
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_OpenVeinDev"), 0);
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_SetVeinModelStatus", {5}), 1);
  struct Case {
    const char* method;
    V args;
  };
  const Case refused[] = {
      {"ORVEK_Init_Vein", {}},
      {"ORVEK_Init_Vein", {5}},
      {"ORVEK_StartRecog_Vein", {}},
      {"ORVEK_StartRecog_Vein", {true}},
      {"ORVEK_ContinueDo", {}},
      {"ORVEK_ContinueDo", {std::string("1")}},
      {"ORVEK_ContinueDo", {1e20}},
      {"ORVEK_SetVeinModelStatus", {}},
      {"ORVEK_SetVeinModelStatus", {std::monostate{}}},
      {"ORVEK_SetVeinRecogStatus", {true}},
      {"ORVEK_VeinFeatureCompare", {std::string("a")}},
      {"ORVEK_VeinImageCompare", {std::string("a"), 2}},
      {"ORVEK_StoreOneRecod", {std::string("a"), std::string("b"), std::string("c")}},
      {"ORVEK_StoreOneRecod", {std::string("a"), 1}},
      {"ORVEK_RemoveOneRecod", {1, 1}},
  };
  // Behind the arguments lie values of both kinds, so a read past them would find one.
  const std::vector<V> beyond = {{}, {std::string("7"), std::string("7"), std::string("7")}, {7, 7, 7}};
  for (const V& past : beyond) {
    host_->SetValuesPastArguments(past);
    for (const Case& c : refused) {
      EXPECT_FALSE(host_->Invoke(page_, c.method, c.args).ok) << c.method << " " << c.args.size();
    }
  }
  host_->SetValuesPastArguments({});
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_GetVeinModelStatus"), 5);  // nothing reached a worker
  // More arguments than listed: the listed ones count.
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_SetVeinModelStatus", {6, std::string("extra")}), 1);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_GetVeinModelStatus"), 6);
}

TEST_F(Script, TheObjectHasNoPropertiesAndADefaultMethod) {
  const simbrowser::NpResult read = host_->GetProperty(page_, "anything");
  EXPECT_TRUE(read.ok);
  EXPECT_EQ(read.value, NpValue{});
  EXPECT_FALSE(host_->SetProperty(page_, "anything", 1));
  EXPECT_FALSE(host_->HasProperty(page_, "ORVEK_GetVersion"));
  const simbrowser::NpResult called = host_->InvokeDefault(page_);
  EXPECT_TRUE(called.ok);
  EXPECT_EQ(called.value, NpValue{std::string("default method return val")});
  EXPECT_EQ(host_->OutstandingMemory(), 0);
}

}  // namespace
