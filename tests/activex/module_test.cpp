// Registration, the class factory and the module's exports.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

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

// Everything registration writes, worked out from the framework calls the control makes: the
// type library with its two dispatch interfaces, the control class with its ProgID, and the
// property page class.
std::vector<Entry> ExpectedEntries() {
  const std::string c = kControl;
  const std::string lib = std::string(kLibrary) + "\\1.0";
  const std::string path = ModulePath();
  const std::string folder = std::filesystem::path(path).parent_path().string();
  const std::string libid = "{FA47B57B-35E7-4DAF-ADB6-F9B92AF9B82C}";
  const std::string proxy = "{00020420-0000-0000-C000-000000000046}";
  const std::string d = kDispatch, e = kEvents, page = kPropPage;
  return {
      {lib, "", "PellacorLib"},
      {lib + "\\FLAGS", "", "0"},
      {lib + "\\HELPDIR", "", folder},
      {lib + "\\409\\win32", "", path},
      {d, "", "_DPellacor"},
      {d + "\\ProxyStubClsid32", "", proxy},
      {d + "\\TypeLib", "", libid},
      {d + "\\TypeLib", "Version", "1.0"},
      {e, "", "_DPellacorEvents"},
      {e + "\\ProxyStubClsid32", "", proxy},
      {e + "\\TypeLib", "", libid},
      {e + "\\TypeLib", "Version", "1.0"},
      {c, "", "Pellacor Control"},
      {c + "\\InprocServer32", "", path},
      {c + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {c + "\\ProgID", "", "PELLACOR.PellacorCtrl.1"},
      {c + "\\ToolboxBitmap32", "", path + ", 1"},
      {c + "\\MiscStatus", "", "0"},
      {c + "\\MiscStatus\\1", "", "131473"},  // 0x20191
      {c + "\\TypeLib", "", libid},
      {c + "\\Version", "", "1.0"},
      {"PELLACOR.PellacorCtrl.1", "", "Pellacor Control"},
      {"PELLACOR.PellacorCtrl.1\\CLSID", "", "{DC26F2AB-C4EC-441B-BB40-FCC592066E3A}"},
      {page, "", "Pellacor Property Page"},
      {page + "\\InprocServer32", "", path},
      {page + "\\InprocServer32", "ThreadingModel", "Apartment"},
  };
}

std::vector<std::string> ExpectedKeys() {
  const std::string c = kControl, lib = std::string(kLibrary) + "\\1.0";
  const std::string d = kDispatch, e = kEvents, page = kPropPage;
  std::vector<std::string> keys = {
      "TypeLib", kLibrary, lib, lib + "\\FLAGS", lib + "\\HELPDIR", lib + "\\409", lib + "\\409\\win32",
      "Interface", d, d + "\\ProxyStubClsid32", d + "\\TypeLib", e, e + "\\ProxyStubClsid32",
      e + "\\TypeLib", "CLSID", c, c + "\\InprocServer32", c + "\\ProgID", c + "\\Control",
      c + "\\ToolboxBitmap32", c + "\\MiscStatus", c + "\\MiscStatus\\1", c + "\\TypeLib",
      c + "\\Version", "PELLACOR.PellacorCtrl.1", "PELLACOR.PellacorCtrl.1\\CLSID", page,
      page + "\\InprocServer32"};
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::vector<std::string> SortedKeys() {
  std::vector<std::string> keys = reg::ListKeys();
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::string RegistryText() {
  std::ifstream in(reg::RegistryFile(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Lines of the registry file that hold a value (every other line names a key).
std::size_t ValueLines() {
  std::size_t values = 0;
  std::stringstream lines(RegistryText());
  for (std::string line; std::getline(lines, line);) values += !line.empty() && line[0] != '[';
  return values;
}

TEST_F(RegisteredControl, RegistrationWritesExactlyTheClassesPageAndTypeLibrary) {
  for (const Entry& entry : ExpectedEntries()) {
    EXPECT_EQ(reg::GetValue(entry.key, entry.name), entry.value) << entry.key << " " << entry.name;
  }
  EXPECT_EQ(SortedKeys(), ExpectedKeys());
  EXPECT_EQ(ValueLines(), ExpectedEntries().size());
  // Registering again changes nothing.
  const std::string before = RegistryText();
  ASSERT_EQ(simbrowser::RegisterServer(ControlModule()), S_OK);
  EXPECT_EQ(RegistryText(), before);
}

TEST_F(RegisteredControl, UnregistrationRemovesEveryEntryAndNothingElse) {
  reg::SetValue("CLSID\\{00000000-0000-0000-0000-00000000ABCD}", "", "someone else");
  ASSERT_EQ(simbrowser::UnregisterServer(ControlModule()), S_OK);
  EXPECT_EQ(SortedKeys(), (std::vector<std::string>{"CLSID", "CLSID\\{00000000-0000-0000-0000-00000000ABCD}",
                                                    "Interface", "TypeLib"}));
  EXPECT_EQ(ValueLines(), 1u);
  // Unregistering what is not registered is no failure.
  EXPECT_EQ(simbrowser::UnregisterServer(ControlModule()), S_OK);
}

// Another program's lines in the registry file outlive the control's registration and removal,
// byte for byte.
TEST(Registration, OtherProgramsLinesSurviveRegistrationAndRemoval) {
  RegistryScope registry;
  const std::string foreign =
      "Windows Registry Editor Version 5.00\n"
      "; written by hand\n"
      "[CLSID\\{00000000-0000-0000-0000-00000000ABCD}]\n"
      "@=\"someone else\"\n"
      "\"Count\"=dword:00000002\n"
      "\n";
  std::ofstream(reg::RegistryFile(), std::ios::binary) << foreign;
  ASSERT_EQ(simbrowser::RegisterServer(ControlModule()), S_OK);
  EXPECT_EQ(RegistryText().compare(0, foreign.size(), foreign), 0) << RegistryText();
  EXPECT_EQ(reg::GetValue(kControl), "Pellacor Control");
  ASSERT_EQ(simbrowser::UnregisterServer(ControlModule()), S_OK);
  EXPECT_EQ(RegistryText().compare(0, foreign.size(), foreign), 0) << RegistryText();
  EXPECT_FALSE(reg::KeyExists(kControl));
}

// A registry file that may not be changed is left as it is, mode and all, and registration
// answers the step that could not write: the type library, or (when the library is there
// already and needs no write) the classes.
TEST(Registration, AReadOnlyRegistryFileIsNeverReplaced) {
  RegistryScope registry;
  const std::string file = reg::RegistryFile();
  std::ofstream(file, std::ios::binary) << "; nothing yet\n";
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  EXPECT_EQ(simbrowser::RegisterServer(ControlModule()), SELFREG_E_TYPELIB);
  EXPECT_EQ(RegistryText(), "; nothing yet\n");

  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  ASSERT_EQ(simbrowser::RegisterServer(ControlModule()), S_OK);
  for (const char* key : {kControl, kPropPage, "PELLACOR.PellacorCtrl.1"}) ASSERT_TRUE(reg::DeleteTree(key));
  const std::string libraryOnly = RegistryText();
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  EXPECT_EQ(simbrowser::RegisterServer(ControlModule()), SELFREG_E_CLASS);
  EXPECT_EQ(RegistryText(), libraryOnly);
  struct stat info{};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0444u);
  EXPECT_FALSE(reg::KeyExists(kControl));
  ::chmod(file.c_str(), 0644);
}

// A registry that is a device never ending: bounded reads, and nothing is registered or made.
TEST(Registration, ARegistryThatNeverEndsIsReadToABoundAndNeverWritten) {
  RegistryScope registry;
  ::setenv(reg::kRegistryFileEnv, "/dev/zero", 1);
  EXPECT_EQ(simbrowser::RegisterServer(ControlModule()), SELFREG_E_TYPELIB);
  simbrowser::ComContainer page;
  EXPECT_EQ(page.Create("PELLACOR.PellacorCtrl.1"), CO_E_CLASSSTRING);
}

// A module whose type library cannot be read registers nothing at all.
TEST(Registration, AModuleWithADamagedTypeLibraryLeavesTheClassesUnregistered) {
  RegistryScope registry;
  std::ifstream in(ControlModule(), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The resource begins with "FVTL", its format (1) and the library's id; the debugging
  // information may hold a copy too. Each gets a format this build does not know.
  const std::string start = std::string("FVTL\x01\x00\x7B\xB5\x47\xFA", 10);
  int changed = 0;
  for (auto at = bytes.find(start); at != std::string::npos; at = bytes.find(start, at + 1)) {
    bytes[at + 4] = 2;
    ++changed;
  }
  ASSERT_GE(changed, 1);
  const std::string copy = fvtest::ScratchPath("damaged") + "-libPellacor.so";
  std::ofstream(copy, std::ios::binary) << bytes;
  EXPECT_EQ(simbrowser::RegisterServer(copy), SELFREG_E_TYPELIB);
  EXPECT_FALSE(reg::KeyExists(kControl));
  EXPECT_FALSE(reg::KeyExists(kPropPage));
  EXPECT_FALSE(reg::KeyExists(kLibrary));
  std::filesystem::remove(copy);
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

// Server locks and live objects are counted apart: an unlock without a lock neither takes away
// a factory reference's hold nor goes below nothing.
TEST_F(ModuleExports, LocksAndLiveObjectsAreCountedApart) {
  ASSERT_EQ(canUnload_(), S_OK);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject_(kControlClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(canUnload_(), S_FALSE) << "the factory reference still lives";
  factory->LockServer(FALSE);
  EXPECT_EQ(canUnload_(), S_FALSE);
  factory->LockServer(TRUE);
  factory->Release();
  EXPECT_EQ(canUnload_(), S_FALSE) << "the lock still holds";
  factory->LockServer(FALSE);
  EXPECT_EQ(canUnload_(), S_OK);

  // Threads taking and giving references and locks in balance leave the module idle.
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        IClassFactory* f = nullptr;
        getClassObject_(kPropPageClass, IID_IClassFactory, reinterpret_cast<void**>(&f));
        f->LockServer(TRUE);
        f->LockServer(FALSE);
        f->Release();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
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
