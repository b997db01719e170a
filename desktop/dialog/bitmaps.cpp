#include "dialog/bitmaps.h"

#include <opencv2/imgproc.hpp>

#include "dialog/torvane_dlg.h"
#include "fvplatform/dialog_png.h"

namespace torvane {
namespace {

const cv::Scalar kBlue(222, 140, 40, 255), kGreen(90, 190, 60, 255), kWhite(255, 255, 255, 255),
    kGrey(170, 170, 170, 255), kSkin(170, 200, 235, 255);

void roundedBox(cv::Mat& m, cv::Scalar colour) {
  const int r = std::min(m.rows, m.cols) / 4;
  cv::rectangle(m, cv::Rect(r, 0, m.cols - 2 * r, m.rows), colour, cv::FILLED);
  cv::rectangle(m, cv::Rect(0, r, m.cols, m.rows - 2 * r), colour, cv::FILLED);
  for (cv::Point c : {cv::Point(r, r), cv::Point(m.cols - r - 1, r), cv::Point(r, m.rows - r - 1),
                      cv::Point(m.cols - r - 1, m.rows - r - 1)})
    cv::circle(m, c, r, colour, cv::FILLED, cv::LINE_AA);
}

}  // namespace

bool drawBitmap(int id, int width, int height, std::vector<std::uint8_t>& bgra) {
  if (width <= 0 || height <= 0) return false;
  cv::Mat m(height, width, CV_8UC4, cv::Scalar(0, 0, 0, 0));
  const cv::Point centre(width / 2, height / 2);
  const int r = std::min(width, height) / 2 - 2;
  switch (id) {
    case 130:  // success: a tick in a green disc
      cv::circle(m, centre, r, kGreen, cv::FILLED, cv::LINE_AA);
      cv::line(m, centre + cv::Point(-r / 2, 0), centre + cv::Point(-r / 8, r / 2), kWhite, std::max(2, r / 6), cv::LINE_AA);
      cv::line(m, centre + cv::Point(-r / 8, r / 2), centre + cv::Point(r / 2, -r / 2), kWhite, std::max(2, r / 6), cv::LINE_AA);
      break;
    case 131: {  // idle: a finger resting on the sensor
      cv::rectangle(m, cv::Rect(width / 6, height * 2 / 3, width * 2 / 3, height / 5), kGrey, cv::FILLED);
      cv::ellipse(m, cv::Point(width / 2, height * 2 / 3), cv::Size(width / 3, height / 6), 0, 180, 360, kSkin, cv::FILLED, cv::LINE_AA);
      cv::rectangle(m, cv::Rect(width / 4, height / 6, width / 6, height / 2), kSkin, cv::FILLED);
      cv::circle(m, cv::Point(width / 4 + width / 12, height / 6), width / 12, kSkin, cv::FILLED, cv::LINE_AA);
      break;
    }
    case 132:  // back: an arrow to the left
      roundedBox(m, kBlue);
      cv::arrowedLine(m, centre + cv::Point(width / 4, 0), centre - cv::Point(width / 4, 0), kWhite, 3, cv::LINE_AA, 0, 0.4);
      break;
    case 134:  // restart: a turning arrow
      roundedBox(m, kBlue);
      cv::ellipse(m, centre, cv::Size(height / 4, height / 4), 0, 40, 320, kWhite, 3, cv::LINE_AA);
      break;
    case 139:  // the small reveal button
      cv::circle(m, centre, r, kGrey, cv::FILLED, cv::LINE_AA);
      break;
    case 140:
      roundedBox(m, kBlue);
      break;
    default:
      return false;
  }
  bgra.assign(m.data, m.data + m.total() * 4);
  return true;
}

bool writeDialogPicture(const CTorvaneDlg& dialog, const std::string& path) {
  fvplat::DialogPaint paint;
  paint.bitmap = &drawBitmap;
  paint.textColour = [&dialog](HWND control) { return dialog.OnCtlColor(control); };
  return fvplat::WriteDialogPng(dialog.window(), path, paint);
}

}  // namespace torvane
