#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

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
  void WriteText(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }
  unsigned Mode() const {
    struct stat info{};
    ::stat(path_.c_str(), &info);
    return info.st_mode & 07777;
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

// Another program's entries, comments and forms this layer does not read stay as they were,
// byte for byte and in their places, through every kind of change.
TEST_F(RegistryFile, LinesItDoesNotUnderstandSurviveEveryChange) {
  const std::vector<std::string> foreign = {
      "Windows Registry Editor Version 5.00",
      "; kept by another program",
      "\"Count\"=dword:00000010",
      "",
      "\"Path\"=hex(2):25,00,53,00,00,00",
      "\"Flag\"=dword:1\r",
      "[broken",
  };
  std::string text = foreign[0] + "\n" + foreign[1] + "\n[Other\\Key]\n" + foreign[2] + "\n" +
                     foreign[3] + "\n@=\"theirs\"\n" + foreign[4] + "\n[CLSID\\{A}]\n" + foreign[5] +
                     "\n" + foreign[6] + "\n";
  WriteText(text);
  EXPECT_EQ(reg::GetValue("Other\\Key"), "theirs");
  ASSERT_TRUE(reg::SetValue("CLSID\\{A}\\InprocServer32", "", "/m/lib.so"));
  ASSERT_TRUE(reg::SetValue("Other\\Key", "Extra", "1"));
  ASSERT_TRUE(reg::DeleteTree("CLSID\\{A}"));
  ASSERT_TRUE(reg::SetValue("Other\\Key", "", "changed"));
  const std::string after = FileText();
  std::size_t at = 0;
  for (const std::string& line : foreign) {
    const std::size_t found = after.find(line + "\n", at);
    ASSERT_NE(found, std::string::npos) << line;
    at = found + line.size();
  }
  EXPECT_EQ(reg::GetValue("Other\\Key"), "changed");
  EXPECT_EQ(reg::GetValue("Other\\Key", "extra"), "1");
  EXPECT_FALSE(reg::KeyExists("CLSID\\{A}"));
  EXPECT_EQ(after.find("theirs"), std::string::npos);
}

TEST_F(RegistryFile, AWriteKeepsTheFilesModeAndAReadOnlyFileRefusesChanges) {
  ASSERT_TRUE(reg::SetValue("A", "", "1"));
  ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
  ASSERT_TRUE(reg::SetValue("B", "", "2"));
  EXPECT_EQ(Mode(), 0640u);

  ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
  const std::string before = FileText();
  EXPECT_FALSE(reg::SetValue("C", "", "3"));
  EXPECT_FALSE(reg::CreateKey("D"));
  EXPECT_FALSE(reg::DeleteTree("A"));
  EXPECT_TRUE(reg::SetValue("A", "", "1"));  // changes nothing, so writes nothing
  EXPECT_EQ(FileText(), before);
  EXPECT_EQ(Mode(), 0444u);
  EXPECT_EQ(reg::GetValue("B"), "2");
  ::chmod(path_.c_str(), 0644);
}

TEST_F(RegistryFile, ReadsAreBoundedAndWhatCannotBeReadIsNeverWritten) {
  // A file larger than any registry: not read, and left alone.
  {
    std::ofstream out(path_, std::ios::binary);
    out << "[Big]\n@=\"1\"\n";
    out << std::string(17u << 20, ';');
  }
  const auto size = std::filesystem::file_size(path_);
  EXPECT_FALSE(reg::GetValue("Big").has_value());
  EXPECT_FALSE(reg::SetValue("Big", "", "2"));
  EXPECT_EQ(std::filesystem::file_size(path_), size);

  // A device that never ends: reads stop at the bound, nothing is made beside it.
  ::setenv(reg::kRegistryFileEnv, "/dev/zero", 1);
  EXPECT_FALSE(reg::KeyExists("CLSID"));
  EXPECT_FALSE(reg::GetValue("CLSID").has_value());
  EXPECT_TRUE(reg::ListKeys().empty());
  EXPECT_FALSE(reg::SetValue("CLSID\\{A}", "", "x"));
  EXPECT_FALSE(reg::DeleteTree("CLSID"));
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"Demo.Ctrl.1", &clsid), CO_E_CLASSSTRING);
  EXPECT_FALSE(std::filesystem::exists("/dev/zero.lock"));
  EXPECT_FALSE(std::filesystem::exists("/dev/zero.tmp"));
}

const CLSID kClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
const GUID kLib = {0x66666666, 0x7777, 0x8888, {0x99, 0x99, 0, 0, 0, 0, 0, 1}};

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
