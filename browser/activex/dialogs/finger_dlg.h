#pragma once
// The finger window: a child of the control that the capture-device library draws its live
// preview into. Its own painting shows its 320 x 240 grey image letterboxed in the client area
// and never erases the background, so the library's last preview stays until it draws again.

#include <array>
#include <cstdint>
#include <vector>

#include "fvplatform/win_types.h"

class CFingerDlg {
 public:
  static constexpr int kImageWidth = 320;
  static constexpr int kImageHeight = 240;

  CFingerDlg() = default;
  ~CFingerDlg();
  CFingerDlg(const CFingerDlg&) = delete;
  CFingerDlg& operator=(const CFingerDlg&) = delete;

  // Makes the window as a child of `parent` at (0, 0), shown, and initialises it; false when
  // the window cannot be made. The calling thread owns it.
  bool Create(HWND parent, int width = kImageWidth, int height = kImageHeight);
  void DestroyWindow();
  HWND GetSafeHwnd() const { return m_hWnd; }
  bool HasWindow() const;

  // The 8-bit image (one byte a pixel, row by row) and its grey colour table; empty until
  // the window is initialised.
  std::vector<std::uint8_t>& Image() { return m_image; }
  const std::array<std::uint32_t, 256>& Palette() const { return m_palette; }

  bool OnInitDialog();
  void OnPaint();

 private:
  static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd = nullptr;
  std::vector<std::uint8_t> m_image;
  std::array<std::uint32_t, 256> m_palette{};  // 0x00RRGGBB
};
