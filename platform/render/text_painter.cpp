#include "text_painter.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace fvplat {
namespace {

std::vector<char32_t> codePoints(const std::string& text) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < text.size();) {
    auto b = static_cast<unsigned char>(text[i]);
    int n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > text.size()) {
      out.push_back(U'?');
      ++i;
      continue;
    }
    char32_t cp = n == 1 ? b : b & (0x7F >> n);
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out.push_back(cp);
    i += n;
  }
  return out;
}

}  // namespace

TextPainter::TextPainter(const std::string& fontFile) {
  if (fontFile.empty() || FT_Init_FreeType(&library_) != 0) {
    library_ = nullptr;
    return;
  }
  if (FT_New_Face(library_, fontFile.c_str(), 0, &face_) != 0) face_ = nullptr;
}

TextPainter::~TextPainter() {
  if (face_ != nullptr) FT_Done_Face(face_);
  if (library_ != nullptr) FT_Done_FreeType(library_);
}

int TextPainter::measure(const std::string& text, int pixelHeight) {
  if (!usable()) return 0;
  FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixelHeight));
  int width = 0;
  for (char32_t cp : codePoints(text)) {
    if (FT_Load_Char(face_, cp, FT_LOAD_DEFAULT) == 0) width += static_cast<int>(face_->glyph->advance.x >> 6);
  }
  return width;
}

void TextPainter::draw(cv::Mat& image, const std::string& text, int left, int top, int pixelHeight,
                       cv::Scalar colour, cv::Rect clip) {
  if (!usable()) return;
  FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixelHeight));
  clip &= cv::Rect(0, 0, image.cols, image.rows);
  const int baseline = top + static_cast<int>(face_->size->metrics.ascender >> 6);
  int pen = left;
  for (char32_t cp : codePoints(text)) {
    if (FT_Load_Char(face_, cp, FT_LOAD_RENDER) != 0) continue;
    const FT_Bitmap& glyph = face_->glyph->bitmap;
    const int x0 = pen + face_->glyph->bitmap_left, y0 = baseline - face_->glyph->bitmap_top;
    for (int r = 0; r < static_cast<int>(glyph.rows); ++r) {
      for (int c = 0; c < static_cast<int>(glyph.width); ++c) {
        const int x = x0 + c, y = y0 + r;
        if (!clip.contains(cv::Point(x, y))) continue;
        const double a = glyph.buffer[r * glyph.pitch + c] / 255.0;
        if (a == 0) continue;
        cv::Vec3b& px = image.at<cv::Vec3b>(y, x);
        for (int k = 0; k < 3; ++k) px[k] = cv::saturate_cast<std::uint8_t>(px[k] * (1 - a) + colour[k] * a);
      }
    }
    pen += static_cast<int>(face_->glyph->advance.x >> 6);
  }
}

}  // namespace fvplat
