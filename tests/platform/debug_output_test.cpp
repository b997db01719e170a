#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "fvplatform/debug_output.h"

namespace {

TEST(DebugOutput, SinkCapturesTextAndCanBeRestored) {
  std::string captured;
  auto previous = fvplat::SetDebugOutputSink([&](std::string_view text) { captured += text; });
  OutputDebugStringA("first line\n");
  OutputDebugStringA(nullptr);  // ignored, not a crash
  OutputDebugStringA("second\n");
  fvplat::SetDebugOutputSink(std::move(previous));
  OutputDebugStringA("to stderr, not captured\n");
  EXPECT_EQ(captured, "first line\nsecond\n");
}

TEST(DebugOutput, LinesFromThreadsStayWhole) {
  std::vector<std::string> lines;
  auto previous = fvplat::SetDebugOutputSink([&](std::string_view text) { lines.emplace_back(text); });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      const std::string line = "thread " + std::to_string(t) + "\n";
      for (int i = 0; i < 50; ++i) OutputDebugStringA(line.c_str());
    });
  }
  for (auto& thread : threads) thread.join();
  fvplat::SetDebugOutputSink(std::move(previous));
  ASSERT_EQ(lines.size(), 200u);
  for (const auto& line : lines) EXPECT_EQ(line.rfind("thread ", 0), 0u) << line;
}

}  // namespace
