#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fvplatform/com_registration.h"
#include "fvplatform/com_registry.h"
#include "fvplatform/com_runtime.h"
#include "fvplatform/oleauto.h"

namespace {

namespace reg = fvplat::registry;

// Each test gets a registry file of its own.
class RegistryFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::path(::testing::TempDir()) /
            (std::string("fvreg_") + info->name() + "_" + std::to_string(::getpid()) + ".reg");
    std::filesystem::remove(path_);
    ::setenv(reg::kRegistryFileEnv, path_.c_str(), 1);
  }
  void TearDown() override {
    reg::SetWriteFault({});
    ::unsetenv(reg::kRegistryFileEnv);
    std::filesystem::remove(path_);
    std::filesystem::remove(path_.string() + ".lock");
  }
  std::string FileText() const {
    std::ifstream in(path_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::filesystem::path path_;
};

TEST_F(RegistryFile, ValuesPersistInTheFileAndIgnoreCase) {
  ASSERT_TRUE(reg::SetValue("CLSID\\{A}\\InprocServer32", "", "C:\\x \"y\".so"));
  ASSERT_TRUE(reg::SetValue("clsid\\{a}\\inprocserver32", "ThreadingModel", "Apartment"));
  EXPECT_EQ(reg::GetValue("CLSID\\{A}\\InprocServer32"), "C:\\x \"y\".so");
  EXPECT_EQ(reg::GetValue("CLSID\\{A}\\InprocServer32", "threadingmodel"), "Apartment");
  EXPECT_TRUE(reg::KeyExists("CLSID\\{A}"));  // parents exist
  EXPECT_FALSE(reg::GetValue("CLSID\\{A}").has_value());
  EXPECT_EQ(FileText(),
            "[CLSID]\n[CLSID\\{A}]\n[CLSID\\{A}\\InprocServer32]\n"
            "@=\"C:\\\\x \\\"y\\\".so\"\n\"ThreadingModel\"=\"Apartment\"\n");
}

TEST_F(RegistryFile, DeleteTreeTakesTheSubtreeOnly) {
  reg::SetValue("A\\B\\C", "", "1");
  reg::SetValue("A\\BC", "", "2");
  ASSERT_TRUE(reg::DeleteTree("a\\b"));
  EXPECT_FALSE(reg::KeyExists("A\\B\\C"));
  EXPECT_FALSE(reg::KeyExists("A\\B"));
  EXPECT_EQ(reg::GetValue("A\\BC"), "2");
  EXPECT_TRUE(reg::DeleteTree("not\\there"));
}

TEST_F(RegistryFile, InjectedFaultFailsTheWriteAndKeepsTheFile) {
  reg::SetValue("Keep", "", "1");
  reg::SetWriteFault([](const std::string& key) { return key.rfind("TypeLib", 0) == 0; });
  EXPECT_FALSE(reg::SetValue("TypeLib\\{L}", "", "x"));
  EXPECT_FALSE(reg::DeleteTree("TypeLib"));
  EXPECT_TRUE(reg::SetValue("Other", "", "2"));
  EXPECT_FALSE(reg::KeyExists("TypeLib\\{L}"));
  EXPECT_EQ(reg::GetValue("Keep"), "1");
}

const CLSID kClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
const GUID kLib = {0x66666666, 0x7777, 0x8888, {0x99, 0x99, 0, 0, 0, 0, 0, 1}};
const IID kIface = {0xAAAAAAAA, 0xBBBB, 0xCCCC, {0xDD, 0xDD, 0, 0, 0, 0, 0, 2}};

TEST_F(RegistryFile, TypeLibraryRegistrationAndRemoval) {
  fvplat::ole::TypeLibrary lib{kLib, 1, 0, 0x409, "DemoLib", "/opt/m/libDemo.so", {{kIface, "_DDemo"}}};
  ASSERT_EQ(fvplat::ole::RegisterTypeLib(lib), S_OK);
  const std::string key = "TypeLib\\" + fvplat::GuidToString(kLib) + "\\1.0";
  EXPECT_EQ(reg::GetValue(key), "DemoLib");
  EXPECT_EQ(reg::GetValue(key + "\\409\\win32"), "/opt/m/libDemo.so");
  EXPECT_EQ(reg::GetValue(key + "\\HELPDIR"), "/opt/m");
  const std::string iface = "Interface\\" + fvplat::GuidToString(kIface);
  EXPECT_EQ(reg::GetValue(iface), "_DDemo");
  EXPECT_EQ(reg::GetValue(iface + "\\ProxyStubClsid32"), "{00020420-0000-0000-C000-000000000046}");
  EXPECT_EQ(reg::GetValue(iface + "\\TypeLib", "Version"), "1.0");
  reg::SetValue("Interface\\{OTHER}\\TypeLib", "", "{00000000-0000-0000-0000-000000000000}");

  ASSERT_EQ(fvplat::ole::UnregisterTypeLib(kLib, 1, 0), S_OK);
  EXPECT_FALSE(reg::KeyExists("TypeLib\\" + fvplat::GuidToString(kLib)));
  EXPECT_FALSE(reg::KeyExists(iface));
  EXPECT_TRUE(reg::KeyExists("Interface\\{OTHER}"));
}

TEST_F(RegistryFile, CreationFailsClearlyForWhatIsNotRegistered) {
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"No.Such.1", &clsid), CO_E_CLASSSTRING);
  reg::SetValue("Bad.Id.1\\CLSID", "", "not a guid");
  EXPECT_EQ(CLSIDFromProgID(u"Bad.Id.1", &clsid), CO_E_CLASSSTRING);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  fvplat::ole::ControlClass control{kClass, "Demo.Ctrl.1", "Demo", "/nowhere/libDemo.so", 1,
                                    "Apartment", 0x20191, kLib, 1, 0};
  ASSERT_EQ(fvplat::ole::RegisterControlClass(control), S_OK);
  ASSERT_EQ(CLSIDFromProgID(u"demo.ctrl.1", &clsid), S_OK);
  EXPECT_EQ(clsid, kClass);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            CO_E_DLLNOTFOUND);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr), E_POINTER);
  ASSERT_EQ(fvplat::ole::UnregisterClass(kClass, "Demo.Ctrl.1"), S_OK);
  EXPECT_EQ(CLSIDFromProgID(u"Demo.Ctrl.1", &clsid), CO_E_CLASSSTRING);
}

TEST_F(RegistryFile, RegistrationStopsAtTheFirstFailingWrite) {
  reg::SetWriteFault([](const std::string& key) { return key.find("\\Control") != std::string::npos; });
  fvplat::ole::ControlClass control{kClass, "Demo.Ctrl.1", "Demo", "/m/libDemo.so", 1, "Apartment",
                                    0x20191, kLib, 1, 0};
  EXPECT_EQ(fvplat::ole::RegisterControlClass(control), REGDB_E_WRITEREGDB);
  EXPECT_TRUE(reg::KeyExists("CLSID\\" + fvplat::GuidToString(kClass) + "\\ProgID"));
  EXPECT_FALSE(reg::KeyExists("Demo.Ctrl.1"));  // written after the failing key
}

}  // namespace
