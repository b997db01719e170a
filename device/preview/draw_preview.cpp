#include "preview/draw_preview.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>

#include "common/frame_size.h"
#include "fvplatform/window.h"

namespace dravex {
namespace {

// [from, to) of a rectangle's side that lies on a surface side of `size` pixels.
struct Span {
  int from, to;
};
Span visibleSpan(int from, int to, int size) {
  return {static_cast<int>(std::clamp<std::int64_t>(from, 0, size)),
          static_cast<int>(std::clamp<std::int64_t>(to, 0, size))};
}

}  // namespace

bool drawPreview(HDC dc, const std::uint8_t* frame, int left, int top, int right, int bottom) {
  int surfaceWidth = 0, surfaceHeight = 0;
  if (frame == nullptr || !fvplat::SurfaceSize(dc, &surfaceWidth, &surfaceHeight)) return false;
  // In 64 bits: a caller's rectangle may be wider than the int range.
  const std::int64_t width = std::int64_t{right} - left, height = std::int64_t{bottom} - top;
  if (width <= 0 || height <= 0) return false;
  const Span xs = visibleSpan(left, right, surfaceWidth), ys = visibleSpan(top, bottom, surfaceHeight);
  if (xs.from >= xs.to || ys.from >= ys.to) return true;  // none of it on the surface

  cv::Mat grey(kFrameHeight, kFrameWidth, CV_8UC1, const_cast<std::uint8_t*>(frame));
  cv::Mat bgra, soft, visible;
  cv::cvtColor(grey, bgra, cv::COLOR_GRAY2BGRA);
  cv::blur(bgra, soft, cv::Size(5, 5));
  // Only the visible part of the stretched frame is made: rectangle pixel x (from `left`) shows
  // the frame at column (x + 0.5) * 320 / width - 0.5, bilinearly, as a plain stretch would.
  const double sx = static_cast<double>(kFrameWidth) / static_cast<double>(width);
  const double sy = static_cast<double>(kFrameHeight) / static_cast<double>(height);
  const cv::Matx23d toFrame(sx, 0, (static_cast<double>(std::int64_t{xs.from} - left) + 0.5) * sx - 0.5,
                            0, sy, (static_cast<double>(std::int64_t{ys.from} - top) + 0.5) * sy - 0.5);
  cv::warpAffine(soft, visible, toFrame, cv::Size(xs.to - xs.from, ys.to - ys.from),
                 cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_REPLICATE);
  return fvplat::CopyToSurface(dc, xs.from, ys.from, visible.cols, visible.rows, visible.data);
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
