// Log lines of both builds at a fixed time, the file of a day or of a start, and lines from
// eight threads that never interleave.

#include "log/log_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "browser_fixtures.h"

namespace {

using fvbrowser::Flavour;
using fvbrowser::LogFile;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

auto Fixed() {
  return [] { return fvbtest::kFixedTime; };
}

TEST(LogFile, LinesAndFileNamesOfBothBuilds) {
  fvbtest::TempFolder folder;
  const std::string orvek = (folder.path() / "Orvek").string();
  {
    LogFile control(orvek, "iexplore.exe", Flavour::kControl, Fixed());
    ASSERT_TRUE(control.hasFile());
    EXPECT_EQ(control.path(), orvek + "/Pellacor_20231114.log");
    control.logFormat("quality  ret = %d", 2001);
    control.write("100% as is %d");
  }
  {
    LogFile again(orvek, "iexplore.exe", Flavour::kControl, Fixed());
    again.logFormat("second start");  // the same day: the same file, appended
  }
  EXPECT_EQ(Read(orvek + "/Pellacor_20231114.log"),
            "[iexplore.exe][2023-11-14 22:13:20]quality  ret = 2001\n"
            "[iexplore.exe][2023-11-14 22:13:20]100% as is %d\n"
            "[iexplore.exe][2023-11-14 22:13:20]second start\n");
  LogFile plugin(orvek, "firefox", Flavour::kPlugin, Fixed());
  EXPECT_EQ(plugin.path(), orvek + "/npsorvik_20231114_221320.log");
  plugin.logFormat("lcid =%d", 2052);
  EXPECT_EQ(Read(plugin.path()), "[2023-11-14 22:13:20]lcid =2052\n");
}

// A line's text holds at most 4096 bytes; a longer one keeps its start, never half a character,
// and says how long it was.
TEST(LogFile, LongLinesAreCutAndMarked) {
  fvbtest::TempFolder folder;
  const std::string orvek = (folder.path() / "Orvek").string();
  LogFile log(orvek, "firefox", Flavour::kPlugin, Fixed());
  std::string e;
  for (int i = 0; i < 3000; ++i) e += "\xC3\xA9";  // U+00E9, two bytes each
  log.logFormat("%s", std::string(4096, 'a').c_str());
  log.logFormat("%s", std::string(4097, 'b').c_str());
  log.logFormat("%s", e.c_str());
  log.write(std::string(64u << 20, 'c'));
  const std::string time = "[2023-11-14 22:13:20]";
  EXPECT_EQ(Read(log.path()),
            time + std::string(4096, 'a') + "\n" +
            time + std::string(4075, 'b') + " ...[4097 bytes, cut]\n" +
            time + e.substr(0, 4074) + " ...[6000 bytes, cut]\n" +
            time + std::string(4071, 'c') + " ...[67108864 bytes, cut]\n");
}

TEST(LogFile, WithoutAFileNothingIsWritten) {
  LogFile none("", "x", Flavour::kControl, Fixed());
  EXPECT_FALSE(none.hasFile());
  none.logFormat("dropped %d", 1);  // no crash, no file
  fvbtest::TempFolder folder;
  const std::string blocked = (folder.path() / "file").string();
  folder.write("file", "");
  LogFile unwritable(blocked, "x", Flavour::kControl, Fixed());
  EXPECT_FALSE(unwritable.hasFile()) << "a file where the folder should be";
}

TEST(LogFile, EightThreadsWriteWholeLines) {
  fvbtest::CapturedLog log;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t] {
      const std::string tail(64, static_cast<char>('a' + t));
      for (int i = 0; i < 200; ++i) fvbrowser::logf("thread %d line %d %s", t, i, tail.c_str());
    });
  }
  for (auto& thread : threads) thread.join();
  std::istringstream lines(log.text());
  int count = 0;
  std::vector<int> next(8, 0);
  for (std::string line; std::getline(lines, line); ++count) {
    int t = -1, i = -1;
    char tail[80] = {};
    ASSERT_EQ(std::sscanf(line.c_str(), "[tests][2023-11-14 22:13:20]thread %d line %d %79s", &t,
                          &i, tail),
              3)
        << line;
    ASSERT_GE(t, 0);
    ASSERT_LT(t, 8);
    EXPECT_EQ(i, next[t]++) << "each thread's lines in its order";
    EXPECT_EQ(std::string(tail), std::string(64, static_cast<char>('a' + t))) << line;
  }
  EXPECT_EQ(count, 1600);
}

TEST(LogFile, ProcessWideLogLivesWhileHeld) {
  fvbtest::CapturedLog captured;
  const auto first = fvbrowser::getLogFile();
  fvbrowser::holdLogFile();
  fvbrowser::holdLogFile();
  fvbrowser::releaseLogFile();
  EXPECT_EQ(fvbrowser::getLogFile(), first) << "another front-end still holds it";
  fvbrowser::releaseLogFile();
  const auto fresh = fvbrowser::getLogFile();
  EXPECT_NE(fresh, first);
  first->logFormat("a writer's copy stays usable");
  EXPECT_TRUE(captured.contains("a writer's copy stays usable"));
}

}  // namespace
