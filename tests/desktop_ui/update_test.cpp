#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include <future>

#include "bounded_wait.h"
#include "cloud/download_file.h"
#include "dialog_fixture.h"
#include "loopback_listener.h"
#include "trickle_server.h"
#include "update/update_check.h"

namespace torvane::testing {
namespace {

struct Launch {
  HWND owner;
  std::string package;
};

class Update : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    UpdateHooks hooks;
    hooks.launchPackage = [this](HWND owner, const std::string& package) {
      const std::lock_guard<std::mutex> hold(lock);
      launches.push_back({owner, package});
    };
    hooks.exitProcess = [this](int code) {
      const std::lock_guard<std::mutex> hold(lock);
      exits.push_back(code);
    };
    updater = std::make_unique<Updater>(*dialog, hooks);
  }
  void TearDown() override {
    updater.reset();
    DialogTest::TearDown();
  }
  void offer(const std::string& url) {
    cloud.script("v1/app/checkUpdate", R"({"result":1,"dl_url":")" + url + "\"}");
  }
  // Checks, lets the download end and runs what it posted to the dialog.
  void checkAndWait() {
    updater->checkForUpdate();
    updater->waitForDownload();
    fvplat::PumpPending();
  }
  int progress() { return static_cast<int>(SendMessageA(dialog->item(kIdProgress), PBM_GETPOS, 0, 0)); }

  std::mutex lock;
  std::vector<Launch> launches;
  std::vector<int> exits;
  std::unique_ptr<Updater> updater;
};

TEST_F(Update, APackageIsDownloadedIntoImageThenStartedAndTheProgramEnds) {
  offer(cloudBaseUrl() + "pkg/setup.exe");
  cloud.script("pkg/setup.exe", "raw:PACKAGE-BYTES");
  updater->checkForUpdate();
  EXPECT_TRUE(visible(kIdResult));
  EXPECT_EQ(text(kIdResult), "正在下载更新包");
  EXPECT_TRUE(visible(kIdProgress));
  updater->waitForDownload();
  fvplat::PumpPending();
  EXPECT_EQ(cloud.posts()[0].path, "v1/app/checkUpdate");
  EXPECT_EQ(cloud.posts()[0].payload, "{\n   \"platform\" : 3,\n   \"version\" : \"1.1.0\"\n}\n");
  std::ifstream in(folder / "image" / "setup.exe", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "PACKAGE-BYTES");
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].package, (folder / "image" / "setup.exe").string());
  EXPECT_EQ(launches[0].owner, dialog->window());
  EXPECT_EQ(exits, std::vector<int>{0});
  EXPECT_EQ(progress(), 100);
  EXPECT_EQ(updater->downloadUrl(), cloudBaseUrl() + "pkg/setup.exe");
}

TEST_F(Update, AFailedDownloadIsNeverStartedAndTheDeskGoesOn) {
  for (const char* failure : {"status500", "dropped"}) {
    SCOPED_TRACE(failure);
    restart();
    offer(cloudBaseUrl() + "pkg/setup.exe");
    cloud.script("pkg/setup.exe", failure);
    checkAndWait();
    EXPECT_TRUE(launches.empty());
    EXPECT_TRUE(exits.empty());
    EXPECT_FALSE(std::filesystem::exists(folder / "image" / "setup.exe"));
    EXPECT_FALSE(visible(kIdProgress));
    EXPECT_FALSE(visible(kIdResult));
    std::size_t files = 0;
    for (auto it = std::filesystem::directory_iterator(folder / "image"); it != std::filesystem::directory_iterator(); ++it) ++files;
    EXPECT_EQ(files, 0u) << "no partial package left";
  }
}

// A server on loopback that answers one request with "200 OK" and a body shorter than it
// announced, then closes.
class CutShortServer {
 public:
  CutShortServer() {
    m_listener = listenOnLoopback(m_port, 1);
    m_thread = std::thread([this] {
      const int c = ::accept(m_listener, nullptr, nullptr);
      if (c < 0) return;
      std::string request;
      char piece[1024];
      for (ssize_t n; request.find("\r\n\r\n") == std::string::npos && (n = ::recv(c, piece, sizeof piece, 0)) > 0;)
        request.append(piece, static_cast<std::size_t>(n));
      const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nPACKAGE-";
      ::send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
      ::close(c);
    });
  }
  ~CutShortServer() {
    ::shutdown(m_listener, SHUT_RDWR);
    m_thread.join();
    ::close(m_listener);
  }
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

 private:
  int m_listener = -1;
  int m_port = 0;
  std::thread m_thread;
};

TEST_F(Update, APackageCutShortIsNeverStarted) {
  CutShortServer server;
  offer(server.url("/pkg/setup.exe"));
  checkAndWait();
  EXPECT_TRUE(launches.empty());
  EXPECT_TRUE(exits.empty());
  EXPECT_FALSE(std::filesystem::exists(folder / "image" / "setup.exe"));
  EXPECT_TRUE(std::filesystem::is_empty(folder / "image")) << "no partial package left";
}

TEST_F(Update, AStalledPackageEndsWhenItsTimeIsUpAndStopsWhenTheProgramEnds) {
  TrickleServer server;
  offer(server.url("/pkg/setup.exe"));
  updater->checkForUpdate();
  ASSERT_TRUE(fvtest::WaitUntil([&] { return server.connections() == 1; }, std::chrono::seconds(10)));
  clock.clock().Advance(kPackageDownloadMs - 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // a progress call or two, still in time
  EXPECT_TRUE(visible(kIdProgress)) << "still downloading";
  clock.clock().Advance(1);
  std::future<void> ended = std::async(std::launch::async, [&] { updater->waitForDownload(); });
  EXPECT_EQ(ended.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  ended.wait();
  fvplat::PumpPending();
  EXPECT_FALSE(visible(kIdProgress));
  EXPECT_TRUE(launches.empty());
  EXPECT_TRUE(exits.empty());
  EXPECT_TRUE(std::filesystem::is_empty(folder / "image")) << "no partial package left";

  // Again, and the program ends meanwhile: the download stops within a few seconds and
  // nothing is started.
  restart();
  offer(server.url("/pkg/setup.exe"));
  updater->checkForUpdate();
  ASSERT_TRUE(fvtest::WaitUntil([&] { return server.connections() == 2; }, std::chrono::seconds(10)));
  std::future<void> stopped = std::async(std::launch::async, [&] { updater.reset(); });
  EXPECT_EQ(stopped.wait_for(std::chrono::seconds(3)), std::future_status::ready);
  stopped.wait();
  EXPECT_TRUE(launches.empty());
  EXPECT_TRUE(exits.empty());
  EXPECT_TRUE(std::filesystem::is_empty(folder / "image"));
}

TEST_F(Update, ACheckInTheBackgroundWhoseReplyNeverComesHoldsUpNothing) {
  cloud.server.push("v1/app/checkUpdate", simcloud::ScriptedReply::Never());
  updater->checkInBackground();
  ASSERT_TRUE(cloud.server.waitForRequests(1, std::chrono::seconds(10)));
  // Meanwhile the user-interface thread runs its timers.
  SetTimer(dialog->window(), kTimerIdle, 1500, nullptr);
  ShowWindow(dialog->window(), SW_SHOWNORMAL);
  wait(1500);
  EXPECT_TRUE(IsIconic(dialog->window()));
  cloud.server.releaseHeldReplies();
  updater.reset();
  EXPECT_TRUE(launches.empty());
}

TEST_F(Update, NothingStartsWithoutAnUsableOffer) {
  const std::string head = cloudBaseUrl() + "p/setup.exe?v=";
  const std::string longest = head + std::string(1022 - head.size(), 'a');
  ASSERT_EQ(longest.size(), 1022u);
  struct Case {
    const char* what;
    std::string reply;
    bool starts;
  };
  const Case cases[] = {
      {"no update", R"({"result":0,"dl_url":"http://x/setup.exe"})", false},
      {"empty address", R"({"result":1,"dl_url":""})", false},
      {"address not a text", R"({"result":1,"dl_url":5})", false},
      {"1023 characters", R"({"result":1,"dl_url":")" + longest + "b\"}", false},
      {"1022 characters", R"({"result":1,"dl_url":")" + longest + "\"}", true},
      {"unparsable", "raw:nonsense", false},
      {"result as a string", R"({"result":"1","dl_url":"http://x/setup.exe"})", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    restart();
    cloud.script("v1/app/checkUpdate", c.reply);
    updater->checkForUpdate();
    EXPECT_EQ(visible(kIdProgress), c.starts);
    EXPECT_EQ(text(kIdResult) == "正在下载更新包", c.starts);
    updater->waitForDownload();
    EXPECT_EQ(cloud.posts().size(), c.starts ? 2u : 1u);
  }
}

TEST(UpdateProgress, PercentOfTheTotalAndZeroWhileItIsUnknown) {
  struct Case {
    std::int64_t now, total;
    int shown;
  };
  const Case cases[] = {{0, 0, 0}, {500, 0, 0}, {0, 200, 0}, {50, 200, 25}, {1, 3, 33}, {2, 3, 66}, {200, 200, 100},
                        {3'000'000'000, 4'000'000'000, 75}};
  for (const Case& c : cases) EXPECT_EQ(Updater::progressPercent(c.now, c.total), c.shown) << c.now << "/" << c.total;
}

}  // namespace
}  // namespace torvane::testing
