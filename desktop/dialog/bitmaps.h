#pragma once
// The dialog's bitmap resources, drawn at the size their control asks for, and the dialog
// drawn as a picture.

#include <cstdint>
#include <string>
#include <vector>

namespace torvane {

class CTorvaneDlg;

// B G R A pixels of bitmap `id` at width x height; false for an unknown id.
bool drawBitmap(int id, int width, int height, std::vector<std::uint8_t>& bgra);

// Writes what the dialog shows now into a PNG file.
bool writeDialogPicture(const CTorvaneDlg& dialog, const std::string& path);

}  // namespace torvane
