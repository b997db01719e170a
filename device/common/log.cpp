#include "common/log.h"

#include <atomic>
#include <cstdio>

#include "fvplatform/debug_output.h"

namespace dravex {
namespace {

std::atomic<int> g_debugLevel{kDefaultDebugLevel};

}  // namespace

void setDebugLevelValue(int level) { g_debugLevel.store(level, std::memory_order_relaxed); }

int debugLevel() { return g_debugLevel.load(std::memory_order_relaxed); }

void logMessage(int level, const char* format, ...) {
  if (level < debugLevel()) return;
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  OutputDebugStringA(line);
  std::fputs(line, stdout);
  std::fflush(stdout);
}

}  // namespace dravex
