#include <gtest/gtest.h>

#include <vector>

#include "fvplatform/window.h"
#include "preview/draw_preview.h"

namespace {

struct Window {
  HWND handle;
  Window(int w, int h) : handle(fvplat::CreateChildWindow(nullptr, w, h)) {}
  ~Window() { DestroyWindow(handle); }
};

int pixel(const fvplat::SurfaceSnapshot& s, int x, int y, int channel) {
  return s.bgra[(static_cast<std::size_t>(y) * s.width + x) * 4 + channel];
}

TEST(DrawPreview, StretchesTheFrameIntoTheRectangleAsOpaqueGrey) {
  std::vector<std::uint8_t> frame(320 * 240, 40);
  for (int r = 0; r < 240; ++r) {
    for (int c = 160; c < 320; ++c) frame[r * 320 + c] = 200;  // right half bright
  }
  Window window(200, 100);
  HDC dc = GetDC(window.handle);
  ASSERT_NE(dc, nullptr);
  ASSERT_TRUE(dravex::drawPreview(dc, frame.data(), 20, 10, 180, 90));
  ReleaseDC(window.handle, dc);
  fvplat::SurfaceSnapshot s = fvplat::ReadSurface(window.handle);
  EXPECT_EQ(pixel(s, 5, 5, 3), 0) << "outside the rectangle stays untouched";
  EXPECT_EQ(pixel(s, 180, 50, 3), 0);
  for (int channel = 0; channel < 3; ++channel) {
    EXPECT_EQ(pixel(s, 30, 50, channel), 40);
    EXPECT_EQ(pixel(s, 170, 50, channel), 200);
  }
  EXPECT_EQ(pixel(s, 30, 50, 3), 255);
  const int edge = pixel(s, 100, 50, 0);  // the blurred step between the halves
  EXPECT_GT(edge, 40);
  EXPECT_LT(edge, 200);
}

TEST(DrawPreview, EmptyRectanglesAndMissingSurfacesDrawNothing) {
  std::vector<std::uint8_t> frame(320 * 240, 99);
  Window window(50, 50);
  HDC dc = GetDC(window.handle);
  struct Case {
    int left, top, right, bottom;
  };
  for (const Case& c : {Case{10, 10, 10, 40}, Case{10, 10, 40, 10}, Case{40, 10, 10, 40}}) {
    EXPECT_FALSE(dravex::drawPreview(dc, frame.data(), c.left, c.top, c.right, c.bottom));
  }
  EXPECT_FALSE(dravex::drawPreview(nullptr, frame.data(), 0, 0, 50, 50));
  ReleaseDC(window.handle, dc);
  EXPECT_EQ(fvplat::ReadSurface(window.handle).bgra, std::vector<std::uint8_t>(50 * 50 * 4, 0));

  Window empty(0, 0);  // a window with no client area
  EXPECT_FALSE(dravex::drawIntoWindow(empty.handle, frame.data()));
  HWND gone = fvplat::CreateChildWindow(nullptr, 10, 10);
  DestroyWindow(gone);
  EXPECT_FALSE(dravex::drawIntoWindow(gone, frame.data()));
}

TEST(DrawPreview, ASurfaceOutlivesItsDestroyedWindowUntilReleased) {
  std::vector<std::uint8_t> frame(320 * 240, 99);
  HWND window = fvplat::CreateChildWindow(nullptr, 32, 24);
  HDC dc = GetDC(window);
  DestroyWindow(window);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(dravex::drawPreview(dc, frame.data(), 0, 0, 32, 24));
  EXPECT_EQ(ReleaseDC(window, dc), 1);
  EXPECT_FALSE(dravex::drawPreview(dc, frame.data(), 0, 0, 32, 24));
}

}  // namespace
