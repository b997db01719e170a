#pragma once
// The device library's log: a line goes to the debugger output and standard output when its
// level reaches the debug level (default 2). Every line the library writes has level 0.

#include <cstdarg>

namespace dravex {

inline constexpr int kDefaultDebugLevel = 2;

void setDebugLevelValue(int level);
int debugLevel();
void logMessage(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace dravex
