#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "fvplatform/window.h"

namespace {

TEST(ChildWindow, ClientRectSurfaceAndInvalidation) {
  HWND window = fvplat::CreateChildWindow(nullptr, 4, 3);
  ASSERT_TRUE(IsWindow(window));
  RECT rect{-1, -1, -1, -1};
  ASSERT_TRUE(GetClientRect(window, &rect));
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 4);
  EXPECT_EQ(rect.bottom, 3);

  // A 2 x 2 image placed at (3, 2): only its top-left pixel lands on the surface.
  const std::vector<std::uint8_t> image = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  HDC dc = GetDC(window);
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(fvplat::CopyToSurface(dc, 3, 2, 2, 2, image.data()));
  EXPECT_TRUE(fvplat::CopyToSurface(dc, -2, -2, 2, 2, image.data()));  // wholly outside
  EXPECT_EQ(ReleaseDC(window, dc), 1);
  EXPECT_FALSE(fvplat::CopyToSurface(dc, 0, 0, 2, 2, image.data())) << "released";

  EXPECT_TRUE(InvalidateRect(window, nullptr, TRUE));
  fvplat::SurfaceSnapshot s = fvplat::ReadSurface(window);
  std::vector<std::uint8_t> expected(4 * 3 * 4, 0);
  for (int k = 0; k < 4; ++k) expected[(2 * 4 + 3) * 4 + k] = static_cast<std::uint8_t>(1 + k);
  EXPECT_EQ(s.bgra, expected);
  EXPECT_EQ(s.invalidations, 1);
  EXPECT_TRUE(s.erase);

  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(GetClientRect(window, &rect));
  EXPECT_FALSE(InvalidateRect(window, nullptr, FALSE));
  EXPECT_EQ(GetDC(window), nullptr);
  EXPECT_FALSE(DestroyWindow(window));
  EXPECT_NE(fvplat::CreateChildWindow(nullptr, 1, 1), window) << "handles are not reused";
}

TEST(ChildWindow, DrawingFromAnotherThreadWhileTheOwnerDestroysIt) {
  HWND window = fvplat::CreateChildWindow(nullptr, 64, 48);
  std::vector<std::uint8_t> image(64 * 48 * 4, 7);
  std::atomic<int> drawn{0};
  std::atomic<bool> stopped{false};
  std::thread painter([&] {
    for (int i = 0; i < 2000; ++i) {
      HDC dc = GetDC(window);
      if (dc == nullptr) break;
      fvplat::CopyToSurface(dc, 0, 0, 64, 48, image.data());
      ReleaseDC(window, dc);
      ++drawn;
    }
    stopped = true;
  });
  // Also a painter that stopped early ends the wait.
  while (drawn.load() < 10 && !stopped.load()) std::this_thread::yield();
  EXPECT_GE(drawn.load(), 10) << "the painter drew while the window was there";
  DestroyWindow(window);
  painter.join();
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
