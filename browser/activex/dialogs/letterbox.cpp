#include "dialogs/letterbox.h"

#include <algorithm>

namespace pellacor {

RECT LetterboxRect(int clientWidth, int clientHeight, int imageWidth, int imageHeight) {
  if (clientWidth <= 0 || clientHeight <= 0 || imageWidth <= 0 || imageHeight <= 0) {
    return RECT{0, 0, 0, 0};
  }
  const double scale = std::min(static_cast<double>(clientWidth) / imageWidth,
                                static_cast<double>(clientHeight) / imageHeight);
  const int width = static_cast<int>(imageWidth * scale);
  const int height = static_cast<int>(imageHeight * scale);
  const int left = (clientWidth - width) / 2;
  const int top = (clientHeight - height) / 2;
  return RECT{left, top, left + width, top + height};
}

}  // namespace pellacor
