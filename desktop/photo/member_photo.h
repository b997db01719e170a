#pragma once
// The photo of the person being enrolled or signed in, clipped to an ellipse with a thin yellow
// outline. Photos are cached in the folder "image"; a missing one is fetched on a short-lived
// thread while a placeholder is drawn.

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fvplatform/win_types.h"

namespace torvane {

class MemberPhoto {
 public:
  // `workFolder` holds the folder "image".
  explicit MemberPhoto(std::string workFolder = ".");
  // Stops the downloads still under way and waits for their threads.
  ~MemberPhoto();
  MemberPhoto(const MemberPhoto&) = delete;
  MemberPhoto& operator=(const MemberPhoto&) = delete;

  // Shows the photo of person `id` at the rectangle of `target`. Never throws: whatever goes
  // wrong leaves the placeholder (or nothing) drawn and a debugger line.
  void show(HWND target, const std::string& address, int x, int y, int width, int height, int id);
  // Draws one image file into the rectangle; an image that cannot be read draws the outline alone.
  void draw(const std::string& path);
  // Waits until every download started so far has ended (tests).
  void waitForDownloads();
  // Ends the downloads under way at once (their cache files are not written) and waits for them;
  // later shows fetch nothing.
  void stopDownloads();

  std::string address() const;
  std::string cachePath() const;

 private:
  void showOrThrow(const std::string& address, int id);
  void downloadPhotoThread(const std::string& address, const std::string& path);
  void ensurePlaceholder() const;
  std::string imagePath(const std::string& name) const;

  const std::string m_workFolder;
  mutable std::mutex m_lock;
  std::string m_address;
  HWND m_target = nullptr;
  int m_x = 0, m_y = 0, m_width = 0, m_height = 0;
  std::string m_path;
  struct Download {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::mutex m_threadsLock;
  std::vector<Download> m_downloads;  // finished ones are joined at the next show
  std::set<std::string> m_fetching;   // cache paths with a download under way, one each
  std::atomic<bool> m_stop{false};
};

// The cache file's name for the photo at `address` (the whole address, cloud base included) of
// person `id`: the address's 64-bit FNV-1a digest in 16 hexadecimal digits, the id as unsigned
// decimal text and the address's extension, so no address makes an over-long name. An extension
// is kept when it is a dot and 1 to 8 letters or digits, else left out.
std::string photoCacheName(const std::string& address, int id);

inline constexpr const char* kDefaultPhoto = "default.png";

}  // namespace torvane
