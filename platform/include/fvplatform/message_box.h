#pragma once
// Message boxes without a screen: each call is recorded and answered by a policy that a test
// chooses. The default answers a plain box with OK at once and lets a self-closing box run out
// its time on the platform clock, as a desk nobody attends would.

#include <functional>
#include <string>
#include <vector>

#include "fvplatform/export.h"
#include "fvplatform/win_types.h"

inline constexpr UINT MB_OK = 0x0000;
inline constexpr UINT MB_OKCANCEL = 0x0001;
inline constexpr UINT MB_YESNO = 0x0004;
inline constexpr UINT MB_ICONINFORMATION = 0x0040;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
inline constexpr int MB_TIMEDOUT = 32000;

namespace fvplat {

struct MessageBoxCall {
  HWND owner = nullptr;
  std::string caption;
  std::string text;
  UINT type = 0;
  DWORD timeoutMs = 0;  // 0: the box waits for a person
};

using MessageBoxPolicy = std::function<int(const MessageBoxCall&)>;

// Installs `policy` (empty restores the default) and returns the one it replaced.
FVPLAT_API MessageBoxPolicy SetMessageBoxPolicy(MessageBoxPolicy policy);
// A policy answering every box at once with `answer`.
FVPLAT_API MessageBoxPolicy AnswerAtOnce(int answer);
// The boxes shown since the last clear (the latest 256 are kept), oldest first.
FVPLAT_API std::vector<MessageBoxCall> MessageBoxLog();
FVPLAT_API void ClearMessageBoxLog();

}  // namespace fvplat

extern "C" {
FVPLAT_API int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
// Closes itself after `milliseconds` with MB_TIMEDOUT unless answered first.
FVPLAT_API int MessageBoxTimeoutA(HWND owner, const char* text, const char* caption, UINT type,
                                  std::uint16_t language, DWORD milliseconds);
}
