#pragma once
// At every start the program asks the cloud whether a newer build exists; when one does, it
// downloads the package into the folder "image" with a progress bar, starts it and ends, so that
// the package can replace the program.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "dialog/torvane_dlg.h"

namespace torvane {

// How a downloaded package is started and how the program then ends; tests replace both.
struct UpdateHooks {
  std::function<void(HWND owner, const std::string& package)> launchPackage;
  std::function<void(int exitCode)> exitProcess;
};
// The program's own: the package is opened with the desktop's opener, and the dialog's thread
// is told to quit (so the program ends with the given code 0 through its normal return).
UpdateHooks programUpdateHooks();

inline constexpr std::size_t kUpdateUrlSize = 1024;

class Updater {
 public:
  Updater(CTorvaneDlg& dialog, UpdateHooks hooks);
  ~Updater();  // stops a download under way and waits for its thread
  Updater(const Updater&) = delete;
  Updater& operator=(const Updater&) = delete;

  // Asks the cloud and, when it offers a package, starts the download; on the calling thread.
  void checkForUpdate();
  // The same on a thread of its own, so a reply that is slow to come holds up nothing; the
  // program starts it last in the dialog's start-up.
  void checkInBackground();
  // Waits until the download thread has ended (tests).
  void waitForDownload();
  std::string downloadUrl() const;

  // The progress bar, now x 100 / total truncated; 0 while the total is unknown.
  static int progressPercent(std::int64_t now, std::int64_t total);

 private:
  void downloadUpdate();
  // Sets the progress bar from the download thread (posted: the thread never waits for the
  // user-interface thread).
  void onDownloadProgress(std::int64_t now, std::int64_t total);

  CTorvaneDlg& m_dialog;
  UpdateHooks m_hooks;
  mutable std::mutex m_lock;
  std::string m_url;
  std::atomic<bool> m_stop{false};
  std::thread m_check;
  std::thread m_download;
};

}  // namespace torvane
