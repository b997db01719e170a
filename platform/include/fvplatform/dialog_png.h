#pragma once
// Draws a dialog as a person would see it: its caption bar, then every visible control in
// creation order (texts in their fonts and colours, pictures, progress bars, and whatever was
// drawn into a control's surface, such as the live finger preview), into a PNG file.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fvplatform/win_types.h"

namespace fvplat {

struct DialogPaint {
  // The pixels (B G R A) of a bitmap resource at the given size; false when unknown.
  std::function<bool(int bitmap, int width, int height, std::vector<std::uint8_t>& bgra)> bitmap;
  // A control's text colour (0x00BBGGRR), as the dialog's colour handler gives it.
  std::function<std::uint32_t(HWND control)> textColour;
};

// The font file texts are drawn with: FV_DIALOG_FONT, else a CJK font of the system, else a
// Latin one; empty when none is found.
std::string DialogFontFile();

// False when the window is unknown or the file cannot be written.
bool WriteDialogPng(HWND dialog, const std::string& path, const DialogPaint& paint = {});

}  // namespace fvplat
