#include "evaluation_plots.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/similarity.h"

namespace evaluation {
namespace {

const cv::Scalar kBlack(0, 0, 0), kGrid(225, 225, 225), kGenuine(40, 150, 40),
    kImpostor(40, 40, 210), kCurve(160, 70, 20);
const cv::Scalar kThresholdColours[] = {cv::Scalar(0, 140, 255), cv::Scalar(200, 0, 200),
                                        cv::Scalar(120, 120, 0)};
constexpr int kWidth = 820, kHeight = 580, kLeft = 80, kRight = 30, kTop = 70, kBottom = 70;

// Lowest raw score the engine maps to at least `threshold`.
int RawAt(float threshold) {
  int raw = 0;
  while (raw < 1000 && veltrum::ScoreToSimilarity(raw) < threshold) ++raw;
  return raw;
}

void Text(cv::Mat& img, const std::string& s, cv::Point at, double scale = 0.45,
          const cv::Scalar& colour = kBlack) {
  cv::putText(img, s, at, cv::FONT_HERSHEY_SIMPLEX, scale, colour, 1, cv::LINE_AA);
}

std::string Format(const char* format, double v) {
  char text[64];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

// Log axis from 10^lo to 10^0 onto [p0, p1].
struct LogAxis {
  int lo;
  int p0, p1;
  double At(double v) const {
    const double e = std::log10(std::max(v, std::pow(10.0, lo)));
    return p0 + (e - lo) / -lo * (p1 - p0);
  }
};

// The plot frame, its title and axis labels.
cv::Mat Frame(const std::string& title, const std::string& xLabel, const std::string& yLabel) {
  cv::Mat img(kHeight, kWidth, CV_8UC3, cv::Scalar(255, 255, 255));
  Text(img, title, {kLeft, 24}, 0.6);
  Text(img, xLabel, {kLeft + (kWidth - kLeft - kRight) / 2 - 100, kHeight - 18});
  Text(img, yLabel, {8, kTop - 14});
  return img;
}

}  // namespace

bool DrawDetCurve(const Scores& s, const std::string& title, const std::string& path) {
  cv::Mat img = Frame(title + ": DET curve", "false-accept rate (log)", "false-reject rate (log)");
  // Rates below one attempt in the set cannot be measured; the axes stop one decade past them.
  const int farLo = -std::max(1, static_cast<int>(std::ceil(std::log10(std::max<std::size_t>(s.impostor.size(), 1)))));
  const int frrLo = -std::max(1, static_cast<int>(std::ceil(std::log10(std::max<std::size_t>(s.genuine.size(), 1)))));
  const LogAxis x{farLo, kLeft, kWidth - kRight}, y{frrLo, kHeight - kBottom, kTop};
  for (int e = farLo; e <= 0; ++e) {
    const int px = static_cast<int>(x.At(std::pow(10.0, e)));
    cv::line(img, {px, kTop}, {px, kHeight - kBottom}, kGrid);
    Text(img, "1e" + std::to_string(e), {px - 14, kHeight - kBottom + 18});
  }
  for (int e = frrLo; e <= 0; ++e) {
    const int py = static_cast<int>(y.At(std::pow(10.0, e)));
    cv::line(img, {kLeft, py}, {kWidth - kRight, py}, kGrid);
    Text(img, "1e" + std::to_string(e), {kLeft - 44, py + 5});
  }
  cv::rectangle(img, {kLeft, kTop}, {kWidth - kRight, kHeight - kBottom}, kBlack);
  const double g = static_cast<double>(s.genuine.size()), i = static_cast<double>(s.impostor.size());
  if (g > 0 && i > 0) {
    std::vector<cv::Point> curve;
    for (int t = 0; t <= 1000; ++t) {  // accept raw >= t
      const double frr = std::count_if(s.genuine.begin(), s.genuine.end(), [&](int r) { return r < t; }) / g;
      const double far = std::count_if(s.impostor.begin(), s.impostor.end(), [&](int r) { return r >= t; }) / i;
      curve.push_back({static_cast<int>(x.At(far)), static_cast<int>(y.At(frr))});
    }
    cv::polylines(img, curve, false, kCurve, 2, cv::LINE_AA);
    int row = 0;
    for (std::size_t k = 0; k < std::size(kThresholds); ++k) {
      const Rates r = RatesAt(s, kThresholds[k]);
      const cv::Point at(static_cast<int>(x.At(r.falseAccepts / i)),
                         static_cast<int>(y.At(r.falseRejects / g)));
      cv::circle(img, at, 6, kThresholdColours[k], 2, cv::LINE_AA);
      char text[128];
      std::snprintf(text, sizeof text, "%.2f: FAR %ld/%ld, FRR %ld/%ld", kThresholds[k],
                    r.falseAccepts, r.impostor, r.falseRejects, r.genuine);
      Text(img, text, {kWidth - kRight - 330, kTop + 22 + 20 * row++}, 0.45, kThresholdColours[k]);
    }
    Text(img, "curve clipped at the axes: a rate of 0 sits on the lower edge",
         {kLeft + 8, kHeight - kBottom - 10}, 0.4);
  }
  return cv::imwrite(path, img);
}

bool DrawHistograms(const Scores& s, const std::string& title, const std::string& path) {
  cv::Mat img = Frame(title + ": raw scores", "raw score (similarity 0 up to 500)",
                      "share of attempts per 5 points (log)");
  constexpr int kLow = 350, kHigh = 850, kBin = 5;
  const LogAxis y{-5, kHeight - kBottom, kTop};
  auto px = [&](double raw) {
    return static_cast<int>(kLeft + (raw - kLow) / (kHigh - kLow) * (kWidth - kLeft - kRight));
  };
  for (int e = -5; e <= 0; ++e) {
    const int py = static_cast<int>(y.At(std::pow(10.0, e)));
    cv::line(img, {kLeft, py}, {kWidth - kRight, py}, kGrid);
    Text(img, "1e" + std::to_string(e), {kLeft - 44, py + 5});
  }
  for (int raw = kLow; raw <= kHigh; raw += 50) {
    cv::line(img, {px(raw), kHeight - kBottom}, {px(raw), kHeight - kBottom + 5}, kBlack);
    Text(img, std::to_string(raw), {px(raw) - 12, kHeight - kBottom + 20});
  }
  cv::rectangle(img, {kLeft, kTop}, {kWidth - kRight, kHeight - kBottom}, kBlack);
  auto draw = [&](const std::vector<int>& v, const cv::Scalar& colour) {
    if (v.empty()) return;
    std::vector<long> bins((kHigh - kLow) / kBin, 0);
    for (int r : v) bins[std::clamp((r - kLow) / kBin, 0, static_cast<int>(bins.size()) - 1)]++;
    for (std::size_t b = 0; b < bins.size(); ++b) {
      if (bins[b] == 0) continue;
      const int top = static_cast<int>(y.At(static_cast<double>(bins[b]) / v.size()));
      const int x0 = px(kLow + b * kBin), x1 = px(kLow + (b + 1) * kBin);
      cv::rectangle(img, {x0 + 1, top}, {x1 - 1, kHeight - kBottom}, colour, 1);
    }
  };
  draw(s.impostor, kImpostor);
  draw(s.genuine, kGenuine);
  for (std::size_t k = 0; k < std::size(kThresholds); ++k) {
    const int raw = RawAt(kThresholds[k]);
    for (int py = kTop; py < kHeight - kBottom; py += 8) {
      cv::line(img, {px(raw), py}, {px(raw), py + 4}, kThresholdColours[k], 1);
    }
    Text(img, Format("%.2f", kThresholds[k]) + " (raw " + std::to_string(raw) + ")",
         {px(raw) + 4, kTop + 16 + 16 * static_cast<int>(k)}, 0.42, kThresholdColours[k]);
  }
  Text(img, "impostor (" + std::to_string(s.impostor.size()) + ")", {kLeft + 10, kTop + 20}, 0.5, kImpostor);
  Text(img, "genuine (" + std::to_string(s.genuine.size()) + ")", {kLeft + 10, kTop + 40}, 0.5, kGenuine);
  return cv::imwrite(path, img);
}

}  // namespace evaluation
