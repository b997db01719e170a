// A page of ours in headless Chromium, served from another origin on loopback, drives an
// enrolment through fetch() to the desk's local interface, polls it to its result and reads the
// sign-in back, as the club's management pages do; on the simulated device and the cloud
// stand-in. The interface listens on a port the system chooses, and the page is written with it.

#include <civetweb.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <condition_variable>
#include <mutex>

#include "road_fixture.h"

extern char** environ;

namespace torvane::testing {
namespace {

constexpr const char* kChromium = "/usr/bin/chromium";

// The page, with "@PORT@" for the desk's port.
const char* const kPage = R"(<!doctype html>
<html><head><meta charset="utf-8"><title>desk</title></head><body>
<script>
const api = 'http://127.0.0.1:@PORT@/api/userAction?';
const sleep = ms => new Promise(done => setTimeout(done, ms));
async function ask(query, init) { return (await fetch(api + query, init)).json(); }
// As pages that declare their content type: the browser asks with a preflight first.
const typed = {headers: {'Content-Type': 'application/json'}};
async function road() {
  const log = [];
  try {
    log.push('open=' + (await ask('type=openFingerCollect&image=&memberId=42&name=%E7%8E%8B%E4%BA%94' +
                                  '&finger_type=1&clubId=3&branchId=4')).result);
    let collected;
    for (let i = 0; i < 900 && collected !== 1; i++) {
      collected = (await ask('type=getFingerCollect&memberId=42', typed)).result;
      if (collected !== 1) await sleep(100);
    }
    log.push('collect=' + collected);
    let signIn = {};
    for (let i = 0; i < 900 && signIn.result !== 42; i++) {
      signIn = await ask('type=getMemberSignIn&clubId=3&branchId=4');
      if (signIn.result !== 42) await sleep(100);
    }
    log.push('signin=' + signIn.result + ',' + signIn.type);
  } catch (error) {
    log.push('error=' + error);
  }
  await fetch('/report?' + encodeURIComponent(log.join(';')));
}
road();
</script></body></html>)";

// The page's own origin: serves the page and takes its report.
class PageOrigin {
 public:
  explicit PageOrigin(int deskPort) : page_(kPage) {
    page_.replace(page_.find("@PORT@"), 6, std::to_string(deskPort));
    const char* options[] = {"listening_ports", "127.0.0.1:0", "num_threads", "2", nullptr};
    mg_callbacks callbacks{};
    context_ = mg_start(&callbacks, this, options);
    mg_server_port bound[1]{};
    if (context_ != nullptr && mg_get_server_ports(context_, 1, bound) == 1) port_ = bound[0].port;
    if (context_ != nullptr) mg_set_request_handler(context_, "/", &PageOrigin::handle, this);
  }
  ~PageOrigin() {
    if (context_ != nullptr) mg_stop(context_);
  }
  int port() const { return port_; }
  bool waitForReport(std::string& report, std::chrono::seconds limit) {
    std::unique_lock<std::mutex> hold(lock_);
    const bool came = changed_.wait_for(hold, limit, [&] { return reported_; });
    report = report_;
    return came;
  }

 private:
  static int handle(mg_connection* connection, void* self) {
    auto* origin = static_cast<PageOrigin*>(self);
    const mg_request_info* info = mg_get_request_info(connection);
    const std::string path = info->local_uri != nullptr ? info->local_uri : "";
    if (path == "/report") {
      char decoded[1024] = "";
      const char* query = info->query_string != nullptr ? info->query_string : "";
      mg_url_decode(query, static_cast<int>(std::strlen(query)), decoded, sizeof decoded, 0);
      {
        const std::lock_guard<std::mutex> hold(origin->lock_);
        origin->report_ = decoded;
        origin->reported_ = true;
      }
      origin->changed_.notify_all();
      mg_printf(connection, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
      return 200;
    }
    const std::string& page = origin->page_;
    mg_printf(connection,
              "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: %zu\r\n"
              "Connection: close\r\n\r\n",
              page.size());
    mg_write(connection, page.data(), page.size());
    return 200;
  }

  std::string page_;
  mg_context* context_ = nullptr;
  int port_ = 0;
  std::mutex lock_;
  std::condition_variable changed_;
  bool reported_ = false;
  std::string report_;
};

// Chromium in its own process group, ended with it.
class Browser {
 public:
  Browser(const std::string& url, const std::filesystem::path& profile) {
    const std::string userData = "--user-data-dir=" + profile.string();
    std::vector<std::string> args = {kChromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                                     "--no-first-run", "--disable-background-networking",
                                     "--disable-component-update", "--disable-sync", userData, url};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, kChromium, &files, &attributes, argv.data(), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
  }
  ~Browser() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  bool started() const { return pid_ > 0; }

 private:
  pid_t pid_ = 0;
};

TEST_F(Road, APageFromAnotherOriginDrivesTheDeskInHeadlessChromium) {
  if (!std::filesystem::exists(kChromium)) GTEST_SKIP() << "no " << kChromium;
  ASSERT_NO_FATAL_FAILURE(serve("0"));
  PageOrigin origin(server->port());
  ASSERT_NE(origin.port(), 0) << "the page's origin could not listen on loopback";
  const std::filesystem::path profile = folder / "chromium-profile";
  std::filesystem::create_directories(profile);
  Browser browser("http://127.0.0.1:" + std::to_string(origin.port()) + "/page.html", profile);
  ASSERT_TRUE(browser.started());

  std::string report;
  std::atomic<bool> reported{false};
  std::thread waiter([&] { reported = origin.waitForReport(report, std::chrono::seconds(100)); });
  EXPECT_TRUE(presentFingerUntil([&] { return reported.load(); }, std::chrono::seconds(110)));
  waiter.join();
  EXPECT_EQ(report, "open=1;collect=1;signin=42,0");
  EXPECT_EQ(cloud.server.lastEnrolledMember(), 42);
}

}  // namespace
}  // namespace torvane::testing
