#include "photo/member_photo.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <filesystem>

#include "cloud/cloud_config.h"
#include "cloud/download_file.h"
#include "fvplatform/window.h"

namespace torvane {

MemberPhoto::MemberPhoto(std::string workFolder) : m_workFolder(std::move(workFolder)) {}

MemberPhoto::~MemberPhoto() { waitForDownloads(); }

std::string MemberPhoto::imagePath(const std::string& name) const {
  return (std::filesystem::path(m_workFolder) / "image" / name).string();
}

std::string MemberPhoto::address() const {
  const std::lock_guard<std::mutex> hold(m_lock);
  return m_address;
}

std::string MemberPhoto::cachePath() const {
  const std::lock_guard<std::mutex> hold(m_lock);
  return m_path;
}

// A desk whose installation lacks the placeholder gets a plain one: a grey head and shoulders.
void MemberPhoto::ensurePlaceholder() const {
  const std::string path = imagePath(kDefaultPhoto);
  if (std::filesystem::exists(path)) return;
  cv::Mat picture(120, 120, CV_8UC3, cv::Scalar(236, 236, 236));
  cv::circle(picture, cv::Point(60, 46), 22, cv::Scalar(176, 176, 176), cv::FILLED, cv::LINE_AA);
  cv::ellipse(picture, cv::Point(60, 120), cv::Size(44, 40), 0, 180, 360, cv::Scalar(176, 176, 176), cv::FILLED,
              cv::LINE_AA);
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  cv::imwrite(path, picture);
}

void MemberPhoto::show(HWND target, const std::string& address, int x, int y, int width, int height, int id) {
  {
    const std::lock_guard<std::mutex> hold(m_lock);
    m_target = target;
    m_x = x;
    m_y = y;
    m_width = width;
    m_height = height;
  }
  ensurePlaceholder();
  if (address.size() <= 3) {
    draw(imagePath(kDefaultPhoto));
    return;
  }
  const std::string full = address.find("http") == std::string::npos ? cloudBaseUrl() + address : address;
  // The id keeps the photos of different people with one file name apart.
  const std::string element = lastPathElement(full);
  const std::size_t dot = element.rfind('.');
  const std::string name = dot == std::string::npos ? element : element.substr(0, dot);
  const std::string extension = dot == std::string::npos ? "" : element.substr(dot);
  const std::string path = imagePath(name + std::to_string(static_cast<unsigned>(id)) + extension);
  {
    const std::lock_guard<std::mutex> hold(m_lock);
    m_address = full;
    m_path = path;
  }
  if (std::filesystem::is_regular_file(path)) {
    draw(path);
    return;
  }
  draw(imagePath(kDefaultPhoto));
  const std::lock_guard<std::mutex> hold(m_threadsLock);
  for (auto it = m_downloads.begin(); it != m_downloads.end();) {
    if (it->done->load()) {
      it->thread.join();
      it = m_downloads.erase(it);
    } else {
      ++it;
    }
  }
  auto done = std::make_shared<std::atomic<bool>>(false);
  m_downloads.push_back({std::thread([this, done] {
                           downloadPhotoThread();
                           done->store(true);
                         }),
                         done});
}

void MemberPhoto::downloadPhotoThread() {
  std::string address, path;
  {
    const std::lock_guard<std::mutex> hold(m_lock);
    address = m_address;
    path = m_path;
  }
  // Only a complete photo lands in the cache, so a failed one is fetched again next time.
  if (downloadToFile(address, path)) draw(path);
}

void MemberPhoto::waitForDownloads() {
  std::vector<Download> running;
  {
    const std::lock_guard<std::mutex> hold(m_threadsLock);
    running.swap(m_downloads);
  }
  for (Download& d : running) d.thread.join();
}

void MemberPhoto::draw(const std::string& path) {
  HWND target = nullptr;
  int x = 0, y = 0, width = 0, height = 0;
  {
    const std::lock_guard<std::mutex> hold(m_lock);
    target = m_target;
    x = m_x;
    y = m_y;
    width = m_width;
    height = m_height;
  }
  if (target == nullptr || width <= 2 || height <= 2) return;
  cv::Mat picture(height, width, CV_8UC4, cv::Scalar(0, 0, 0, 0));
  std::error_code ignored;
  const cv::Mat image =
      std::filesystem::is_regular_file(path, ignored) ? cv::imread(path, cv::IMREAD_COLOR) : cv::Mat();
  if (!image.empty()) {
    cv::Mat scaled, bgra;
    cv::resize(image, scaled, cv::Size(width, height), 0, 0, cv::INTER_AREA);
    cv::cvtColor(scaled, bgra, cv::COLOR_BGR2BGRA);
    cv::Mat inside(height, width, CV_8UC1, cv::Scalar(0));
    cv::ellipse(inside, cv::Point(width / 2, height / 2), cv::Size(width / 2, height / 2), 0, 0, 360,
                cv::Scalar(255), cv::FILLED, cv::LINE_AA);
    bgra.copyTo(picture, inside);
  }
  // The outline: (x, y), width - 2 by height - 2, opaque yellow, 2 pixels wide.
  const cv::Size half((width - 2) / 2, (height - 2) / 2);
  cv::ellipse(picture, cv::Point(half.width, half.height), half, 0, 0, 360, cv::Scalar(0, 255, 255, 255), 2,
              cv::LINE_AA);
  HDC dc = GetDC(target);
  fvplat::CopyToSurface(dc, x, y, width, height, picture.ptr<std::uint8_t>());
  ReleaseDC(target, dc);
}

}  // namespace torvane
