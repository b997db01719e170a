#pragma once
// The control on the simulated device, for tests that run it with the real device library.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "control_fixture.h"
#include "fvplatform/locale.h"
#include "sim_device/sim_device.h"
#include "test_paths.h"

namespace pellacortest {

// The control registered on a fresh simulated device, with English prompts and a documents
// folder of the test's own for the log; the test makes its page.
class ControlOnSimulatedDevice : public RegisteredControl {
 protected:
  void SetUp() override {
    documents_ = fvtest::ScratchPath("pellacor_docs");
    std::filesystem::create_directories(documents_);
    ::setenv("XDG_DOCUMENTS_DIR", documents_.c_str(), 1);
    fvsim_reset();
    ASSERT_GE(fvsim_plug_type(1), 0);
    fvplat::SetSystemLcid(1033);
    RegisteredControl::SetUp();
  }
  // Called by the test's TearDown once its page is gone.
  void TearDown() override { std::filesystem::remove_all(documents_); }
  std::filesystem::path documents_;
};

}  // namespace pellacortest
