#include "fresh_process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

extern char** environ;

namespace fvtest {

bool PassesInFreshProcess() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (info == nullptr) return false;
  const std::string filter =
      std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
  char program[] = "/proc/self/exe";
  char quiet[] = "--gtest_brief=1";
  std::string filterArg = filter;
  char* argv[] = {program, filterArg.data(), quiet, nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace fvtest
