#pragma once
// Preview drawing: a 320 x 240 grey frame, softened and stretched into a rectangle of a surface.

#include <cstdint>

#include "fvplatform/win_types.h"

namespace dravex {

// Blurs the frame (5 x 5 box) as BGRA, resizes it bilinearly to the rectangle and copies it
// to (left, top) of dc. An empty rectangle or a null dc draws nothing (false).
bool drawPreview(HDC dc, const std::uint8_t* frame, int left, int top, int right, int bottom);

// Draws the frame over the whole client area of a window that still exists.
bool drawIntoWindow(HWND window, const std::uint8_t* frame);

}  // namespace dravex
