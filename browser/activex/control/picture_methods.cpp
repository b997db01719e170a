// The picture methods: a page's picture, or one read from a file, is answered with "3".

#include <opencv2/imgcodecs.hpp>

#include "control/pellacor_ctrl.h"
#include "log/log_file.h"

std::string CPellacorCtrl::ORVEK_CutPicture(std::uint8_t*, std::int32_t, std::int32_t) { return "3"; }

std::string CPellacorCtrl::ORVEK_CutPictureFromFile(const std::string& path) {
  fvbrowser::logf("%s", path.c_str());
  cv::Mat image;
  try {
    image = cv::imread(path, cv::IMREAD_COLOR);
  } catch (const cv::Exception&) {
    return "3";
  }
  if (image.cols >= 358 && image.rows > 440) ORVEK_CutPicture(image.data, image.cols, image.rows);
  return "3";
}
