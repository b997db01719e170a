#include "preview/draw_preview.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "acquire/reduce_frame.h"
#include "fvplatform/window.h"

namespace dravex {

bool drawPreview(HDC dc, const std::uint8_t* frame, int left, int top, int right, int bottom) {
  if (dc == nullptr || frame == nullptr || right <= left || bottom <= top) return false;
  cv::Mat grey(kFrameHeight, kFrameWidth, CV_8UC1, const_cast<std::uint8_t*>(frame));
  cv::Mat bgra, soft, sized;
  cv::cvtColor(grey, bgra, cv::COLOR_GRAY2BGRA);
  cv::blur(bgra, soft, cv::Size(5, 5));
  cv::resize(soft, sized, cv::Size(right - left, bottom - top), 0, 0, cv::INTER_LINEAR);
  return fvplat::CopyToSurface(dc, left, top, sized.cols, sized.rows, sized.data);
}

bool drawIntoWindow(HWND window, const std::uint8_t* frame) {
  RECT client{};
  if (!GetClientRect(window, &client)) return false;
  HDC dc = GetDC(window);
  if (dc == nullptr) return false;  // gone since the rectangle was read
  bool drawn = drawPreview(dc, frame, client.left, client.top, client.right, client.bottom);
  ReleaseDC(window, dc);
  return drawn;
}

}  // namespace dravex
