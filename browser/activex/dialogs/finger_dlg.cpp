#include "dialogs/finger_dlg.h"

#include "dialogs/letterbox.h"
#include "fvplatform/messages.h"
#include "fvplatform/window.h"

CFingerDlg::~CFingerDlg() { DestroyWindow(); }

bool CFingerDlg::Create(HWND parent, int width, int height) {
  if (HasWindow()) return true;
  fvplat::WindowSpec spec;
  spec.parent = parent;
  spec.width = width;
  spec.height = height;
  spec.proc = &CFingerDlg::WindowProc;
  HWND window = fvplat::CreatePlatformWindow(spec);
  if (window == nullptr) return false;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  m_hWnd = window;
  OnInitDialog();
  ShowWindow(window, SW_SHOW);
  return true;
}

void CFingerDlg::DestroyWindow() {
  if (m_hWnd == nullptr) return;
  SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
  ::DestroyWindow(m_hWnd);
  m_hWnd = nullptr;
}

bool CFingerDlg::HasWindow() const { return m_hWnd != nullptr && IsWindow(m_hWnd); }

bool CFingerDlg::OnInitDialog() {
  m_image.assign(static_cast<std::size_t>(kImageWidth) * kImageHeight, 0);
  for (std::uint32_t i = 0; i < 256; ++i) m_palette[i] = (i << 16) | (i << 8) | i;
  return true;
}

void CFingerDlg::OnPaint() {
  if (m_image.empty() || m_hWnd == nullptr) return;
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const RECT to = pellacor::LetterboxRect(client.right - client.left, client.bottom - client.top,
                                          kImageWidth, kImageHeight);
  const int width = to.right - to.left, height = to.bottom - to.top;
  if (width <= 0 || height <= 0) return;
  // A plain stretch: destination pixel (x, y) shows image pixel (x * w / width, y * h / height).
  std::vector<std::uint8_t> bgra(static_cast<std::size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    const int sy = static_cast<int>(static_cast<long long>(y) * kImageHeight / height);
    for (int x = 0; x < width; ++x) {
      const int sx = static_cast<int>(static_cast<long long>(x) * kImageWidth / width);
      const std::uint32_t colour = m_palette[m_image[static_cast<std::size_t>(sy) * kImageWidth + sx]];
      std::uint8_t* p = &bgra[(static_cast<std::size_t>(y) * width + x) * 4];
      p[0] = static_cast<std::uint8_t>(colour & 0xFF);
      p[1] = static_cast<std::uint8_t>((colour >> 8) & 0xFF);
      p[2] = static_cast<std::uint8_t>((colour >> 16) & 0xFF);
      p[3] = 255;
    }
  }
  HDC dc = GetDC(m_hWnd);
  if (dc == nullptr) return;
  fvplat::CopyToSurface(dc, to.left, to.top, width, height, bgra.data());
  ReleaseDC(m_hWnd, dc);
}

LRESULT CFingerDlg::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* dialog = reinterpret_cast<CFingerDlg*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_PAINT:
      if (dialog != nullptr) dialog->OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return TRUE;  // never erased: the library's preview stays
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
