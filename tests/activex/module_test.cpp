// Registration, the class factory and the module's exports.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "control_fixture.h"
#include "fvplatform/com_registry.h"
#include "fvplatform/com_runtime.h"
#include "fvplatform/dialog.h"
#include "fvplatform/dialog_png.h"
#include "fvplatform/oleauto.h"
#include "fvplatform/window.h"
#include "test_paths.h"
#include "pellacor/pellacor.h"

namespace {

namespace reg = fvplat::registry;
using pellacortest::ControlModule;
using pellacortest::RegisteredControl;
using pellacortest::RegistryScope;

const char* const kControl = "CLSID\\{DC26F2AB-C4EC-441B-BB40-FCC592066E3A}";
const char* const kPropPage = "CLSID\\{484B22FE-CA51-4F6B-9A78-E67DE324409B}";
const char* const kLibrary = "TypeLib\\{FA47B57B-35E7-4DAF-ADB6-F9B92AF9B82C}";
const char* const kDispatch = "Interface\\{CB9CDB5B-E4A8-4898-8072-F5C08F134E1A}";
const char* const kEvents = "Interface\\{A6A61AAB-5295-4764-9A1D-FE4D07CB237A}";

std::string ModulePath() { return std::filesystem::canonical(ControlModule()).string(); }

struct Entry {
  std::string key;
  std::string name;
  std::string value;
};

std::vector<Entry> ExpectedEntries() {
  const std::string c = kControl;
  const std::string lib = std::string(kLibrary) + "\\1.0";
  const std::string path = ModulePath();
  return {
      {c, "", "Pellacor Control"},
      {c + "\\InprocServer32", "", path},
      {c + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {c + "\\ProgID", "", "PELLACOR.PellacorCtrl.1"},
      {c + "\\ToolboxBitmap32", "", path + ", 1"},
      {c + "\\MiscStatus", "", "0"},
      {c + "\\MiscStatus\\1", "", "131473"},  // 0x20191
      {c + "\\TypeLib", "", "{FA47B57B-35E7-4DAF-ADB6-F9B92AF9B82C}"},
      {c + "\\Version", "", "1.0"},
      {"PELLACOR.PellacorCtrl.1", "", "Pellacor Control"},
      {"PELLACOR.PellacorCtrl.1\\CLSID", "", "{DC26F2AB-C4EC-441B-BB40-FCC592066E3A}"},
      {std::string(kPropPage), "", "Pellacor Property Page"},
      {std::string(kPropPage) + "\\InprocServer32", "", path},
      {lib, "", "PellacorLib"},
      {lib + "\\409\\win32", "", path},
      {std::string(kDispatch), "", "_DPellacor"},
      {std::string(kDispatch) + "\\TypeLib", "", "{FA47B57B-35E7-4DAF-ADB6-F9B92AF9B82C}"},
      {std::string(kEvents), "", "_DPellacorEvents"},
  };
}

TEST_F(RegisteredControl, RegistrationWritesClassProgIdPageAndTypeLibrary) {
  for (const Entry& entry : ExpectedEntries()) {
    EXPECT_EQ(reg::GetValue(entry.key, entry.name), entry.value) << entry.key << " " << entry.name;
  }
  EXPECT_TRUE(reg::KeyExists(std::string(kControl) + "\\Control"));
  // Registering again changes nothing.
  const auto before = reg::ListKeys();
  ASSERT_EQ(simbrowser::RegisterServer(ControlModule()), S_OK);
  EXPECT_EQ(reg::ListKeys(), before);
}

TEST_F(RegisteredControl, UnregistrationRemovesEveryEntryAndNothingElse) {
  reg::SetValue("CLSID\\{00000000-0000-0000-0000-00000000ABCD}", "", "someone else");
  ASSERT_EQ(simbrowser::UnregisterServer(ControlModule()), S_OK);
  for (const char* key : {kControl, kPropPage, kLibrary, kDispatch, kEvents, "PELLACOR.PellacorCtrl.1"}) {
    EXPECT_FALSE(reg::KeyExists(key)) << key;
  }
  EXPECT_TRUE(reg::KeyExists("CLSID\\{00000000-0000-0000-0000-00000000ABCD}"));
}

struct FaultCase {
  const char* failingKeyPrefix;
  bool unregistering;
  HRESULT expected;
  bool classesWritten;
};

TEST(Registration, InjectedFailuresStopAtTheFirstFailingStep) {
  const FaultCase cases[] = {
      {"TypeLib", false, SELFREG_E_TYPELIB, false},
      {"Interface", false, SELFREG_E_TYPELIB, false},
      {"CLSID", false, SELFREG_E_CLASS, false},
      {"PELLACOR", false, SELFREG_E_CLASS, true},
      {"TypeLib", true, SELFREG_E_TYPELIB, true},
      {"CLSID", true, SELFREG_E_CLASS, true},
  };
  for (const FaultCase& c : cases) {
    RegistryScope registry;
    if (c.unregistering) {
      ASSERT_EQ(simbrowser::RegisterServer(ControlModule()), S_OK);
    }
    const std::string prefix = c.failingKeyPrefix;
    reg::SetWriteFault([prefix](const std::string& key) { return key.rfind(prefix, 0) == 0; });
    const HRESULT hr = c.unregistering ? simbrowser::UnregisterServer(ControlModule())
                                       : simbrowser::RegisterServer(ControlModule());
    reg::SetWriteFault({});
    EXPECT_EQ(hr, c.expected) << prefix << " " << c.unregistering;
    EXPECT_EQ(reg::KeyExists(kControl), c.classesWritten) << prefix << " " << c.unregistering;
  }
}

// The module loaded directly, as CoGetClassObject does.
class ModuleExports : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = dlopen(ControlModule().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module_, nullptr);
    getClassObject_ = reinterpret_cast<DllGetClassObjectFn>(dlsym(module_, "DllGetClassObject"));
    canUnload_ = reinterpret_cast<DllCanUnloadNowFn>(dlsym(module_, "DllCanUnloadNow"));
    ASSERT_NE(getClassObject_, nullptr);
    ASSERT_NE(canUnload_, nullptr);
  }
  void TearDown() override { dlclose(module_); }
  void* module_ = nullptr;
  DllGetClassObjectFn getClassObject_ = nullptr;
  DllCanUnloadNowFn canUnload_ = nullptr;
};

const CLSID kControlClass = {0xDC26F2AB, 0xC4EC, 0x441B, {0xBB, 0x40, 0xFC, 0xC5, 0x92, 0x06, 0x6E, 0x3A}};
const CLSID kPropPageClass = {0x484B22FE, 0xCA51, 0x4F6B, {0x9A, 0x78, 0xE6, 0x7D, 0xE3, 0x24, 0x40, 0x9B}};

TEST_F(ModuleExports, ClassObjectsOnlyForTheControlAndItsPropertyPage) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject_(IID_IDispatch, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(getClassObject_(kControlClass, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(getClassObject_(kControlClass, IID_IDispatch, &object), E_NOINTERFACE);
  for (const CLSID& clsid : {kControlClass, kPropPageClass}) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject_(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    factory->Release();
  }
}

TEST_F(ModuleExports, PropertyPageHasItsCaptionItsNoteAndNothingToApply) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject_(kPropPageClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  IPropertyPage* page = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
  factory->Release();
  EXPECT_EQ(canUnload_(), S_FALSE);  // the page lives

  PROPPAGEINFO info{};
  ASSERT_EQ(page->GetPageInfo(&info), S_OK);
  EXPECT_EQ(info.cb, sizeof(PROPPAGEINFO));
  EXPECT_EQ(fvplat::Utf16ToUtf8(info.pszTitle), "常规");
  CoTaskMemFree(info.pszTitle);
  EXPECT_EQ(info.size.cx, 375);  // 250 x 62 dialog units
  EXPECT_EQ(info.size.cy, 100);

  HWND frame = fvplat::CreateChildWindow(nullptr, 400, 130);
  const RECT area{0, 0, 375, 100};
  ASSERT_EQ(page->Activate(frame, &area, FALSE), S_OK);
  const auto windows = fvplat::ChildWindows(frame);
  ASSERT_EQ(windows.size(), 1u);
  const auto controls = fvplat::ChildWindows(windows[0]);
  ASSERT_EQ(controls.size(), 1u);
  fvplat::ControlState note;
  ASSERT_TRUE(fvplat::ReadControl(controls[0], &note));
  EXPECT_EQ(note.text, "TODO: 将用于操作 Pellacor Control 的属性的控件放置在此对话框上。");
  EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page->Apply(), S_OK);
  EXPECT_TRUE(fvplat::WriteDialogPng(windows[0], fvtest::BinaryDir() + "/pellacor-property-page.png"));
  EXPECT_EQ(page->Deactivate(), S_OK);
  EXPECT_TRUE(fvplat::ChildWindows(frame).empty());
  EXPECT_EQ(page->Release(), 0u);
  EXPECT_EQ(canUnload_(), S_OK);
  DestroyWindow(frame);
}

TEST_F(ModuleExports, FactoryMakesControlsAndTheModuleStaysWhileOneLives) {
  EXPECT_EQ(canUnload_(), S_OK);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject_(kControlClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(canUnload_(), S_FALSE);
  IUnknown* outer = factory;  // any non-null outer asks for aggregation
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
  const IID unknownInterface = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(factory->CreateInstance(nullptr, unknownInterface, &object), E_NOINTERFACE);
  IDispatch* control = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&control)), S_OK);
  factory->Release();
  EXPECT_EQ(canUnload_(), S_FALSE);  // the control lives
  EXPECT_EQ(control->Release(), 0u);
  EXPECT_EQ(canUnload_(), S_OK);
  ASSERT_EQ(getClassObject_(kControlClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  factory->LockServer(TRUE);
  factory->Release();
  EXPECT_EQ(canUnload_(), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(canUnload_(), S_OK);
}

TEST_F(ModuleExports, FaceDetectAlignAssignmentCopiesAllFourFields) {
  using Assign = FaceDetectAlign& (*)(FaceDetectAlign*, const FaceDetectAlign&);
  auto assign = reinterpret_cast<Assign>(dlsym(module_, "_ZN15FaceDetectAlignaSERKS_"));
  ASSERT_NE(assign, nullptr);
  FaceDetectAlign target{0, 0, 0, 0};
  const FaceDetectAlign source{1, -2, 3, 0x7FFFFFFF};
  EXPECT_EQ(&assign(&target, source), &target);
  EXPECT_EQ(target.field0, 1);
  EXPECT_EQ(target.field1, -2);
  EXPECT_EQ(target.field2, 3);
  EXPECT_EQ(target.field3, 0x7FFFFFFF);
}

}  // namespace
