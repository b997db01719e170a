#pragma once
// Message boxes without a screen: each box is recorded (owner, caption, text, type) and answered
// by a policy a test chooses; by default it is written to standard error and answered IDOK.

#include <functional>
#include <string>

#include "fvplatform/export.h"
#include "fvplatform/win_types.h"

using UINT = unsigned int;

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr int IDOK = 1;

namespace fvplat {

struct MessageBoxRecord {
  HWND owner = nullptr;
  std::string caption;  // empty for a null caption
  std::string text;
  UINT type = 0;
};

using MessageBoxPolicy = std::function<int(const MessageBoxRecord&)>;

// Installs `policy` (empty: the default) and returns the one it replaced.
FVPLAT_API MessageBoxPolicy SetMessageBoxPolicy(MessageBoxPolicy policy);

}  // namespace fvplat

extern "C" FVPLAT_API int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
