// Drawing a blob into a caller's device context, as the preview does.

#include "api/decoded_image.h"
#include "dravex.h"
#include "fvplatform/window.h"
#include "preview/draw_preview.h"

using namespace dravex;

int drawFingerVein(HDC dc, const unsigned char* blob, int length, int, int, int, int, int left,
                   int top, int right, int bottom) try {
  int width = 0, height = 0;
  if (!fvplat::SurfaceSize(dc, &width, &height)) return 0;  // nothing to draw on: the blob stays unread
  const DecodedImage image = decodeArgument(blob, length);
  if (!image.ok) return 0;
  drawPreview(dc, image.pixels.data(), left, top, right, bottom);
  return 1;
} catch (...) {
  return 0;
}
