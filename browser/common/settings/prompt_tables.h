#pragma once
// The built-in numbered prompt texts, Chinese and English; the plug-in's tables have two more.

#include <string_view>

namespace fvbrowser {

inline constexpr int kPromptCount = 100;

// Entry `number` of the built-in table (1 Chinese, 0 English) of the given build; empty for a
// number without a text, also outside 0 to 99.
std::string_view builtInPrompt(int language, int number, bool pluginTables);

}  // namespace fvbrowser
