#include "photo/member_photo.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>

#include "cloud/cloud_config.h"
#include "cloud/download_file.h"
#include "fvplatform/debug_output.h"
#include "fvplatform/window.h"

namespace torvane {
namespace {

constexpr std::size_t kLongestExtension = 8;

std::uint64_t fnv1a64(const std::string& text) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char byte : text) {
    hash ^= byte;
    hash *= 0x100000001b3ull;
  }
  return hash;
}

}  // namespace

std::string photoCacheName(const std::string& address, int id) {
  const std::string element = lastPathElement(address);
  const std::size_t dot = element.rfind('.');
  std::string extension = dot == std::string::npos ? "" : element.substr(dot);
  const bool plain = extension.size() >= 2 && extension.size() <= kLongestExtension + 1 &&
                     std::all_of(extension.begin() + 1, extension.end(),
                                 [](unsigned char c) { return std::isalnum(c) != 0; });
  if (!plain) extension.clear();
  char digest[17];
  std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(fnv1a64(address)));
  return digest + std::to_string(static_cast<unsigned>(id)) + extension;
}

MemberPhoto::MemberPhoto(std::string workFolder) : m_workFolder(std::move(workFolder)) {}

MemberPhoto::~MemberPhoto() { stopDownloads(); }

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
  // Called from the request thread and the worker: a file system or thread error must end here.
  try {
    showOrThrow(address, id);
  } catch (const std::exception& e) {
    OutputDebugStringA((std::string("member photo: ") + e.what() + "\n").c_str());
  }
}

void MemberPhoto::showOrThrow(const std::string& address, int id) {
  ensurePlaceholder();
  if (address.size() <= 3) {
    draw(imagePath(kDefaultPhoto));
    return;
  }
  const std::string full = address.find("http") == std::string::npos ? cloudBaseUrl() + address : address;
  const std::string path = imagePath(photoCacheName(full, id));
  {
    const std::lock_guard<std::mutex> hold(m_lock);
    m_address = full;
    m_path = path;
  }
  std::error_code ignored;
  if (std::filesystem::is_regular_file(path, ignored)) {
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
  // One fetch per photo at a time: a show while it runs waits for that one to draw.
  if (m_stop || !m_fetching.insert(path).second) return;
  auto done = std::make_shared<std::atomic<bool>>(false);
  try {
    m_downloads.reserve(m_downloads.size() + 1);  // so the thread, once made, is always kept
    m_downloads.push_back({std::thread([this, done, full, path] {
                             downloadPhotoThread(full, path);
                             {
                               const std::lock_guard<std::mutex> fetched(m_threadsLock);
                               m_fetching.erase(path);
                             }
                             done->store(true);
                           }),
                           done});
  } catch (...) {
    m_fetching.erase(path);
    throw;
  }
}

void MemberPhoto::downloadPhotoThread(const std::string& address, const std::string& path) {
  DownloadOptions options;
  options.totalTimeoutMs = kPhotoDownloadMs;
  options.stop = &m_stop;
  // Only a complete photo lands in the cache, so a failed one is fetched again next time; it is
  // drawn only while it is still the photo on show.
  if (downloadToFile(address, path, options) && cachePath() == path) draw(path);
}

void MemberPhoto::stopDownloads() {
  m_stop = true;
  waitForDownloads();
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
