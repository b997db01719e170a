#pragma once
// Preview drawing: a 320 x 240 grey frame, softened and stretched into a rectangle of a surface.

#include <cstdint>

#include "fvplatform/win_types.h"

namespace dravex {

// Blurs the frame (5 x 5 box) as BGRA and stretches it bilinearly into the rectangle of dc's
// surface; only the part on the surface is computed, so any rectangle costs at most the
// surface. An empty rectangle or an unknown dc draws nothing (false).
bool drawPreview(HDC dc, const std::uint8_t* frame, int left, int top, int right, int bottom);

// Draws the frame over the whole client area of a window that still exists.
bool drawIntoWindow(HWND window, const std::uint8_t* frame);

}  // namespace dravex
