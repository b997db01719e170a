// The desk program without a screen: the main dialog runs on the main thread until the process
// is told to end (SIGINT or SIGTERM); FV_DIALOG_PNG names a file the dialog is drawn into then.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <thread>

#include "app/torvane_app.h"
#include "fvplatform/messages.h"
#include "fvplatform/window.h"
#include "dialog/torvane_dlg.h"
#include "ports/library_device.h"
#include "cloud/cloud_config.h"
#include "ports/library_cloud.h"

int main() {
  // Signals are taken by one thread that asks the dialog's thread to quit.
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGINT);
  sigaddset(&ending, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &ending, nullptr);
  std::thread watcher([ending] {
    int signal = 0;
    sigwait(&ending, &signal);
    std::printf("torvane: ending on signal %d\n", signal);
    std::fflush(stdout);
    PostMessageA(FindWindowA(nullptr, torvane::kDialogCaption), WM_QUIT, 0, 0);
  });
  watcher.detach();

  torvane::LibraryDevice device;
  torvane::LibraryCloud cloud;
  std::printf("torvane: device library %s\n", device.load() ? "bound" : "not found");
  std::printf("torvane: cloud service at %s\n", torvane::cloudBaseUrl().c_str());
  std::fflush(stdout);
  const char* picture = std::getenv("FV_DIALOG_PNG");
  torvane::CTorvaneApp app;
  int result = app.InitInstance(device, cloud, ".", picture ? picture : "");
  device.close();
  return result;
}
