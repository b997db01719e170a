#pragma once
// The 21 script method names, what each takes and what it does.

#include <array>
#include <cstdint>
#include <string>

#include "fvplatform/npapi.h"

namespace npsorvik {

inline constexpr int kMethodCount = 21;

// The arguments by position: 't' a text, 'i' an integer.
struct MethodArgs {
  std::array<std::string, 3> text;
  std::array<std::int32_t, 3> number{};
};

struct Method {
  const char* name;
  const char* signature;  // one letter an argument: 't' text, 'i' integer
  // Null: the name exists but the call fails in script.
  bool (*run)(const MethodArgs& args, NPVariant* result);
};

const std::array<Method, kMethodCount>& Methods();

}  // namespace npsorvik
