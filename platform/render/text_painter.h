#pragma once
// UTF-8 text drawn with FreeType onto an OpenCV BGR image.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <opencv2/core.hpp>
#include <string>

namespace fvplat {

class TextPainter {
 public:
  explicit TextPainter(const std::string& fontFile);
  ~TextPainter();
  TextPainter(const TextPainter&) = delete;
  TextPainter& operator=(const TextPainter&) = delete;
  bool usable() const { return face_ != nullptr; }
  // Width in pixels of the text at the given pixel height.
  int measure(const std::string& text, int pixelHeight);
  // Draws with the top of the line at `top`, starting at `left`, clipped to `clip`.
  void draw(cv::Mat& image, const std::string& text, int left, int top, int pixelHeight,
            cv::Scalar colour, cv::Rect clip);

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

}  // namespace fvplat
