#include "fresh_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

extern char** environ;

namespace fvtest {
namespace {

// A run that takes longer has hung: it is ended and counts as failed, before the test's own
// time limit ends this process and leaves the child behind.
constexpr auto kRunLimit = std::chrono::seconds(90);

}  // namespace

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
  const auto until = std::chrono::steady_clock::now() + kRunLimit;
  int status = 0;
  for (;;) {
    const pid_t ended = waitpid(pid, &status, WNOHANG);
    if (ended == pid) break;
    if (ended != 0) return false;
    if (std::chrono::steady_clock::now() > until) {
      ADD_FAILURE() << "the fresh run of " << filter << " still runs after " << kRunLimit.count()
                    << " s: ended";
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace fvtest
