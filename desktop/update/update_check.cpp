#include "update/update_check.h"

#include <spawn.h>
#include <sys/wait.h>

#include "cloud/cloud_operations.h"
#include "cloud/download_file.h"
#include "fvplatform/dialog.h"
#include "worker/replies.h"

extern char** environ;

namespace torvane {

UpdateHooks programUpdateHooks() {
  UpdateHooks hooks;
  hooks.launchPackage = [](HWND, const std::string& package) {
    const char* argv[] = {"xdg-open", package.c_str(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ) == 0) {
      int status = 0;
      waitpid(child, &status, 0);
    }
  };
  hooks.exitProcess = [](int) { PostMessageA(FindWindowA(nullptr, kDialogCaption), WM_QUIT, 0, 0); };
  return hooks;
}

Updater::Updater(CTorvaneDlg& dialog, UpdateHooks hooks) : m_dialog(dialog), m_hooks(std::move(hooks)) {}

Updater::~Updater() {
  m_stop = true;
  if (m_check.joinable()) m_check.join();
  waitForDownload();
}

void Updater::checkInBackground() {
  if (m_check.joinable()) return;
  m_check = std::thread([this] { checkForUpdate(); });
}

int Updater::progressPercent(std::int64_t now, std::int64_t total) {
  if (total <= 0) return 0;
  return static_cast<int>(now * 100 / total);
}

std::string Updater::downloadUrl() const {
  const std::lock_guard<std::mutex> hold(m_lock);
  return m_url;
}

void Updater::checkForUpdate() {
  // 1.
  Json::Value request;
  request["platform"] = kUpdatePlatform;
  request["version"] = kProgramVersion;
  CloudAccess& cloud = m_dialog.cloud();
  const std::optional<Json::Value> root =
      parseObject(cloud.decrypt(cloud.postJson(styledJson(request), "v1/app/checkUpdate")));
  // 2. and 3.
  if (!root || intMember(*root, "result") != 1 || m_download.joinable() || m_stop) return;
  const std::string url = stringMember(*root, "dl_url");
  {
    const std::lock_guard<std::mutex> hold(m_lock);
    m_url.clear();
  }
  if (url.empty() || url.size() > kUpdateUrlSize - 2) return;
  m_dialog.resetUi();
  ShowWindow(m_dialog.item(kIdResult), SW_SHOW);
  SetWindowTextA(m_dialog.item(kIdResult), "正在下载更新包");
  ShowWindow(m_dialog.item(kIdProgress), SW_SHOW);
  {
    const std::lock_guard<std::mutex> hold(m_lock);
    m_url = url;
  }
  m_download = std::thread([this] { downloadUpdate(); });
}

void Updater::downloadUpdate() {
  const std::string url = downloadUrl();
  const std::string name = lastPathElement(url);
  DownloadOptions options;
  options.totalTimeoutMs = kPackageDownloadMs;
  options.stop = &m_stop;
  options.progress = [this](std::int64_t now, std::int64_t total) { onDownloadProgress(now, total); };
  const bool complete =
      !name.empty() && name != "." && name != ".." && downloadToFile(url, m_dialog.workPath("image/" + name), options);
  if (m_stop) return;  // the program is ending
  if (!complete) {
    // Nothing to start: the desk keeps its program rather than ending without a replacement.
    ShowWindow(m_dialog.item(kIdProgress), SW_HIDE);
    m_dialog.resetUi();
    return;
  }
  if (m_hooks.launchPackage) m_hooks.launchPackage(m_dialog.window(), m_dialog.workPath("image/" + name));
  if (m_hooks.exitProcess) m_hooks.exitProcess(0);
}

void Updater::onDownloadProgress(std::int64_t now, std::int64_t total) {
  PostMessageA(m_dialog.item(kIdProgress), PBM_SETPOS, static_cast<WPARAM>(progressPercent(now, total)), 0);
}

void Updater::waitForDownload() {
  if (m_download.joinable()) m_download.join();
}

}  // namespace torvane
