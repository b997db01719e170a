#pragma once
// At every start the program asks the cloud whether a newer build exists; when one does, it
// downloads the package into the folder "image" with a progress bar, starts it and ends, so that
// the package can replace the program.

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
  ~Updater();  // waits for a download under way
  Updater(const Updater&) = delete;
  Updater& operator=(const Updater&) = delete;

  // On the user-interface thread, last in the dialog's start-up.
  void checkForUpdate();
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
  std::thread m_download;
};

}  // namespace torvane
