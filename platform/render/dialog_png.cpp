#include "fvplatform/dialog_png.h"

#include <cstdlib>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "fvplatform/dialog.h"
#include "text_painter.h"

namespace fvplat {
namespace {

constexpr int kCaptionBar = 30;

cv::Scalar bgrOf(std::uint32_t colour) {
  return cv::Scalar(static_cast<double>((colour >> 16) & 0xFF), static_cast<double>((colour >> 8) & 0xFF),
                    static_cast<double>(colour & 0xFF));
}

int pixelHeight(const Font& font) { return (font.points > 0 ? font.points : 9) * 96 / 72; }

// Blends the pixels of a BGRA image onto the BGR canvas at `at`.
void blendBgra(cv::Mat& canvas, const std::vector<std::uint8_t>& bgra, int width, int height, cv::Point at) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = &bgra[(static_cast<std::size_t>(y) * width + x) * 4];
      if (p[3] == 0) continue;
      const int cx = at.x + x, cy = at.y + y;
      if (cx < 0 || cy < 0 || cx >= canvas.cols || cy >= canvas.rows) continue;
      cv::Vec3b& px = canvas.at<cv::Vec3b>(cy, cx);
      const int a = p[3];
      for (int k = 0; k < 3; ++k) px[k] = static_cast<std::uint8_t>((p[k] * a + px[k] * (255 - a)) / 255);
    }
  }
}

void drawText(TextPainter& painter, cv::Mat& canvas, const ControlState& c, const cv::Rect& box,
              cv::Scalar colour) {
  if (c.text.empty()) return;
  const int px = pixelHeight(c.font);
  const int width = painter.measure(c.text, px);
  const int left = c.centred ? box.x + (box.width - width) / 2 : box.x;
  const int top = box.y + std::max(0, (box.height - px * 5 / 4) / 2);
  painter.draw(canvas, c.text, left, top, px, colour, box);
}

// A window's client area: its own surface, then its controls in creation order and the child
// dialogs (such as a property page in its frame) at their places.
void drawClient(TextPainter& painter, cv::Mat& client_area, HWND window, const DialogPaint& paint);

void drawChildDialog(TextPainter& painter, cv::Mat& client_area, HWND child, const DialogPaint& paint) {
  if (!IsWindowVisible(child)) return;
  RECT area{};
  GetClientRect(child, &area);
  const POINT at = WindowOrigin(child);
  const cv::Rect place = cv::Rect(at.x, at.y, area.right, area.bottom) & cv::Rect(0, 0, client_area.cols, client_area.rows);
  if (place.width <= 0 || place.height <= 0 || place.x != at.x || place.y != at.y) return;
  cv::Mat inside = client_area(place);
  drawClient(painter, inside, child, paint);
}

void drawClient(TextPainter& painter, cv::Mat& client_area, HWND window, const DialogPaint& paint) {
  SurfaceSnapshot own = ReadSurface(window);
  blendBgra(client_area, own.bgra, own.width, own.height, cv::Point(0, 0));

  for (HWND control : ChildWindows(window)) {
    ControlState c;
    if (!ReadControl(control, &c)) {
      drawChildDialog(painter, client_area, control, paint);
      continue;
    }
    if (!c.visible) continue;
    const cv::Rect box(c.rect.left, c.rect.top, c.rect.right - c.rect.left, c.rect.bottom - c.rect.top);
    if (box.width <= 0 || box.height <= 0) continue;
    const cv::Scalar colour = bgrOf(paint.textColour ? paint.textColour(control) : c.textColour);
    std::vector<std::uint8_t> picture;
    const bool hasPicture = c.bitmap != 0 && paint.bitmap && paint.bitmap(c.bitmap, box.width, box.height, picture) &&
                            picture.size() == static_cast<std::size_t>(box.width) * box.height * 4;
    switch (c.kind) {
      case ControlKind::Progress: {
        cv::rectangle(client_area, box, cv::Scalar(180, 180, 180), 1);
        const int span = std::max(1, c.progressMax - c.progressMin);
        const int filled = (box.width - 2) * (c.progress - c.progressMin) / span;
        if (filled > 0)
          cv::rectangle(client_area, cv::Rect(box.x + 1, box.y + 1, filled, box.height - 2), cv::Scalar(60, 180, 60), cv::FILLED);
        break;
      }
      case ControlKind::Button:
      case ControlKind::BitmapButton:
      case ControlKind::Edit:
        if (hasPicture) {
          blendBgra(client_area, picture, box.width, box.height, box.tl());
          ControlState label = c;
          label.centred = true;
          drawText(painter, client_area, label, box, cv::Scalar(255, 255, 255));
        } else {
          cv::rectangle(client_area, box, cv::Scalar(200, 200, 200), cv::FILLED);
          cv::rectangle(client_area, box, cv::Scalar(120, 120, 120), 1);
          ControlState centred = c;
          centred.centred = c.kind != ControlKind::Edit;
          drawText(painter, client_area, centred, box, colour);
        }
        break;
      case ControlKind::Picture:
      case ControlKind::Static: {
        if (hasPicture) blendBgra(client_area, picture, box.width, box.height, box.tl());
        SurfaceSnapshot surface = ReadSurface(control);
        blendBgra(client_area, surface.bgra, surface.width, surface.height, box.tl());
        if (c.kind == ControlKind::Static) drawText(painter, client_area, c, box, colour);
        break;
      }
    }
  }
}

}  // namespace

std::string DialogFontFile() {
  if (const char* chosen = std::getenv("FV_DIALOG_FONT"); chosen != nullptr && *chosen != '\0') return chosen;
  for (const char* candidate : {"/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
                                "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc",
                                "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"}) {
    std::error_code ignored;
    if (std::filesystem::exists(candidate, ignored)) return candidate;
  }
  return {};
}

bool WriteDialogPng(HWND dialog, const std::string& path, const DialogPaint& paint) {
  if (!IsWindow(dialog)) return false;
  RECT client{};
  GetClientRect(dialog, &client);
  cv::Mat canvas(client.bottom + kCaptionBar, client.right, CV_8UC3, cv::Scalar(255, 255, 255));
  TextPainter painter(DialogFontFile());

  // The caption bar, with the state a person would notice there.
  cv::rectangle(canvas, cv::Rect(0, 0, canvas.cols, kCaptionBar), cv::Scalar(120, 80, 40), cv::FILLED);
  ControlState caption;
  caption.text = WindowText(dialog) + (IsIconic(dialog) ? "  [最小化]" : "") + (IsTopmost(dialog) ? "  [置顶]" : "");
  caption.font = Font{"", 10};
  drawText(painter, canvas, caption, cv::Rect(8, 0, canvas.cols - 16, kCaptionBar), cv::Scalar(255, 255, 255));

  cv::Mat client_area = canvas(cv::Rect(0, kCaptionBar, client.right, client.bottom));
  drawClient(painter, client_area, dialog, paint);
  try {
    return cv::imwrite(path, canvas);
  } catch (const cv::Exception&) {
    return false;
  }
}

}  // namespace fvplat
