#pragma once
// A registry file of the test's own with the control registered from the build, and a page
// (container) to host it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "fvplatform/com_registry.h"
#include "sim_browser/com_container.h"
#include "sim_browser/self_registration.h"
#include "test_paths.h"

namespace pellacortest {

inline std::string ControlModule() { return fvtest::ModuleDir() + "/libPellacor.so"; }

class RegistryScope {
 public:
  RegistryScope() {
    path_ = fvtest::ScratchPath("pellacor") + ".reg";
    std::filesystem::remove(path_);
    ::setenv(fvplat::registry::kRegistryFileEnv, path_.c_str(), 1);
  }
  ~RegistryScope() {
    fvplat::registry::SetWriteFault({});
    ::unsetenv(fvplat::registry::kRegistryFileEnv);
    std::filesystem::remove(path_);
    std::filesystem::remove(path_.string() + ".lock");
  }

 private:
  std::filesystem::path path_;
};

class RegisteredControl : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(simbrowser::RegisterServer(ControlModule()), S_OK); }
  RegistryScope registry_;
};

// A page with the control created and sited.
class HostedControl : public RegisteredControl {
 protected:
  void SetUp() override {
    RegisteredControl::SetUp();
    ASSERT_EQ(page_.Create("PELLACOR.PellacorCtrl.1"), S_OK);
  }
  simbrowser::ComContainer page_;
};

}  // namespace pellacortest
