// The local interface on loopback, spoken to with a plain socket as a page's browser would, with
// the main dialog on a fake device library and the cloud stand-in.

#include <netinet/in.h>
#include <sys/socket.h>

#include <fstream>
#include <memory>

#include "app/torvane_app.h"
#include "dialog_fixture.h"
#include "fvplatform/debug_output.h"
#include "http_client.h"
#include "server/request_fields.h"
#include "server/user_action.h"

namespace torvane::testing {
namespace {

int count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// One server for the suite (stopping one takes its threads a while); it acts on whichever
// dialog is the main dialog.
class LocalApi : public DialogTest {
 protected:
  static void SetUpTestSuite() {
    webRoot = std::filesystem::temp_directory_path() / ("torvane-web-" + std::to_string(::getpid()));
    std::filesystem::create_directories(webRoot);
    ServerSettings settings;
    settings.port = "0";
    settings.webRoot = webRoot.string();
    server = new HttpServer(settings);
    runLocalApiServer(*server);
  }
  static void TearDownTestSuite() {
    delete server;
    std::filesystem::remove_all(webRoot);
  }
  void SetUp() override {
    DialogTest::SetUp();
    port = server->port();
    ASSERT_NE(port, 0);
  }
  std::string action(const std::string& query) { return getPumping(port, "/api/userAction?" + query); }
  static std::string chunked(const std::string& size, const std::string& body) {
    return kJsonHead + size + "\r\n" + body + "\r\n0\r\n\r\n";
  }

  static inline HttpServer* server = nullptr;
  static inline std::filesystem::path webRoot;
  int port = 0;
};

TEST_F(LocalApi, AnEnrolmentIsStartedAndPolledToItsResult) {
  makeReady();
  // "张三" URL-encoded, a photo address, member 42.
  EXPECT_EQ(action("type=openFingerCollect&image=photos%2Fa.png&memberId=42&name=%E5%BC%A0%E4%B8%89"
                   "&finger_type=2&clubId=3&branchId=4"),
            chunked("f", "{ \"result\": 1 }"));
  DialogFields f = dialog->fields();
  EXPECT_EQ(f.m_collectId, 42);
  EXPECT_EQ(f.m_memberName, "张三");
  EXPECT_EQ(f.m_photoUrl, "photos/a.png");
  EXPECT_EQ(f.m_enrolFingerType, 2);
  EXPECT_FALSE(f.m_bEmployee);
  EXPECT_TRUE(f.m_bCollecting);
  EXPECT_EQ(text(kIdName), "会员姓名：张三");
  EXPECT_FALSE(IsIconic(dialog->window()));

  device.scores = {{"c2", 0.8f}, {"c3", 0.8f}};
  place("c1");
  lift();
  EXPECT_EQ(action("type=getFingerCollect&memberId=42"), chunked("f", "{ \"result\": 0 }")) << "still running";
  place("c2");
  lift();
  place("c3");
  EXPECT_EQ(action("type=getFingerCollect&memberId=42"), chunked("f", "{ \"result\": 1 }"));
  EXPECT_EQ(action("type=getFingerCollect&memberId=42"), chunked("10", "{ \"result\": -2 }")) << "told once";
  EXPECT_EQ(action("type=getFingerCollect&memberId=0"), chunked("f", "{ \"result\": 0 }"))
      << "0 equals the idle enrolment id";
}

TEST_F(LocalApi, AnEmployeeEnrolmentUsesItsOwnIdAndPoll) {
  makeReady();
  EXPECT_EQ(action("type=postEmpFingerInfo&memberId=42&empId=9&name=E&finger_type=1&clubId=3&branchId=4"),
            chunked("f", "{ \"result\": 1 }"));
  EXPECT_EQ(dialog->fields().m_collectId, 9);
  EXPECT_TRUE(dialog->fields().m_bEmployee);
  EXPECT_EQ(action("type=getEmpFingerSuccess&empId=9"), chunked("f", "{ \"result\": 0 }"));
  device.scores = {{"c2", 0.8f}, {"c3", 0.8f}};
  place("c1");
  lift();
  place("c2");
  lift();
  place("c3");
  EXPECT_EQ(cloud.posts().back().path, "v1/fv/addEKqFv");
  EXPECT_EQ(action("type=getEmpFingerSuccess&empId=9"), chunked("f", "{ \"result\": 1 }"));
}

TEST_F(LocalApi, TheLastSignInIsReadOnceWithItsType) {
  EXPECT_EQ(action("type=getMemberSignIn&clubId=3&branchId=4"), chunked("18", "{ \"result\": 0,\"type\": 0}"));
  EXPECT_EQ(theApp().m_clubId, 3);
  EXPECT_EQ(theApp().m_branchId, 4);
  EXPECT_EQ(dialog->fields().m_clubId, 3);
  ASSERT_TRUE(dialog->pollDevice());  // club and branch known now: the device becomes ready
  ASSERT_TRUE(dialog->fields().m_bDeviceReady);
  cloud.script("v1/fv/signKqFv", R"({"result":1,"signed":1,"inOut":3,"quality":0.9,"memberInfo":{"member_id":77}})");
  place("s1");
  EXPECT_EQ(text(kIdResult), "签退成功");
  EXPECT_EQ(action("type=getMemberSignIn&clubId=3&branchId=4"), chunked("19", "{ \"result\": 77,\"type\": 1}"));
  EXPECT_EQ(action("type=getMemberSignIn&clubId=3&branchId=4"), chunked("18", "{ \"result\": 0,\"type\": 0}"));
}

TEST_F(LocalApi, BuiltInAnswersTheFolderAndEverythingElse) {
  EXPECT_EQ(getPumping(port, "/api/hello"), chunked("23", "{ \"result\": welcome to httpserver }"));
  const std::string sum = httpExchange(port,
                                   "POST /api/sum HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                                   "Content-Length: 13\r\n\r\nn1=1.5&n2=2.0");
  EXPECT_EQ(sum, chunked("16", "{ \"result\": 3.500000 }"));
  const std::string notImplemented = "HTTP/1.1 501 Not Implemented\r\nContent-Length: 0\r\n\r\n";
  for (const char* path : {"/index.html", "/api", "/api/userAction/", "/api/hello2", "/web"}) {
    EXPECT_EQ(getPumping(port, path), notImplemented) << path;
  }

  // "/" lists the folder while it has no index file, then serves the index file.
  std::ofstream(webRoot / "page.js") << "x";
  std::string listing = getPumping(port, "/");
  EXPECT_EQ(listing.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << listing;
  EXPECT_NE(listing.find("page.js"), std::string::npos);
  EXPECT_EQ(count(listing, "Access-Control-Allow-Origin"), 1);
  std::ofstream(webRoot / "index.html") << "<p>desk</p>";
  const std::string index = getPumping(port, "/");
  EXPECT_EQ(index.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << index;
  EXPECT_EQ(index.substr(index.size() - 11), "<p>desk</p>");
  EXPECT_EQ(count(index, "Access-Control-Allow-Origin: *\r\n"), 1);
  EXPECT_EQ(count(index, "Access-Control-Allow-Origin"), 1);
}

TEST_F(LocalApi, ParametersCannotBeInjectedAndUnknownTypesAreAnswered) {
  makeReady();
  // An encoded ampersand stays inside its value.
  EXPECT_EQ(action("type=openFingerCollect&memberId=5&name=a%26type%3DgetMemberSignIn&clubId=3&branchId=4"),
            chunked("f", "{ \"result\": 1 }"));
  EXPECT_EQ(dialog->fields().m_memberName, "a&type=getMemberSignIn");
  EXPECT_EQ(dialog->fields().m_collectId, 5);
  ASSERT_TRUE(fvplat::ClickButton(dialog->item(kIdBack)));

  // "finger_type" is not "type", and the first "type" wins.
  EXPECT_EQ(action("finger_type=openFingerCollect&type=getFingerCollect&memberId=0"),
            chunked("f", "{ \"result\": 0 }"));
  EXPECT_EQ(action("type=getFingerCollect&type=openFingerCollect&memberId=0"), chunked("f", "{ \"result\": 0 }"));
  EXPECT_FALSE(dialog->fields().m_bCollecting) << "no enrolment was started";

  const std::string refused =
      "HTTP/1.1 400 Bad Request\r\nContent-Type: application/json\r\nContent-Length: 24\r\n"
      "Access-Control-Allow-Origin:*\r\n\r\n{\"error\":\"unknown type\"}";
  for (const char* query : {"type=dropTables", "", "type=getfingercollect", "type=getFingerCollect%00x", "typ=openFingerCollect"}) {
    EXPECT_EQ(action(query), refused) << query;
  }
  EXPECT_FALSE(dialog->fields().m_bCollecting);
}

TEST_F(LocalApi, RequestsAreHandledOneAtATime) {
  // The enrolment's device check waits on the cloud; a poll sent meanwhile waits its turn.
  dialog->update([](DialogFields& f) { f.m_clubId = 3; f.m_branchId = 4; });
  cloud.server.push("v1/fv/checkKqDeviceId", simcloud::ScriptedReply::Never());
  std::future<std::string> first = std::async(std::launch::async, [this] {
    return get(port, "/api/userAction?type=openFingerCollect&memberId=42&clubId=3&branchId=4");
  });
  while (!cloud.server.waitForRequests(1, std::chrono::milliseconds(1))) fvplat::PumpPending();
  std::future<std::string> second =
      std::async(std::launch::async, [this] { return get(port, "/api/userAction?type=getFingerCollect&memberId=42"); });
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  while (std::chrono::steady_clock::now() < until) {
    fvplat::PumpPending();
    ASSERT_NE(second.wait_for(std::chrono::milliseconds(5)), std::future_status::ready) << "answered meanwhile";
  }
  cloud.server.releaseHeldReplies();
  while (first.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready ||
         second.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
    fvplat::PumpPending();
  }
  EXPECT_EQ(first.get(), chunked("f", "{ \"result\": 1 }"));
  EXPECT_EQ(second.get(), chunked("f", "{ \"result\": 0 }")) << "answered after the enrolment was stored";
}

TEST(RequestFields, SplitThenDecodeAndMatchWholeKeys) {
  struct Case {
    const char* query;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"type=a&name=b", "name", "b"},
      {"type=a&name=b", "type", "a"},
      {"finger_type=1&type=2", "type", "2"},
      {"finger_type=1", "type", ""},
      {"type=1&type=2", "type", "1"},
      {"name=a%26b%3Dc", "name", "a&b=c"},
      {"na%6De=x", "name", "x"},
      {"name=a+b", "name", "a b"},
      {"name=%", "name", "%"},
      {"name=%4", "name", "%4"},
      {"name=%zz%41", "name", "%zzA"},
      {"name=%E5%BC%A0", "name", "张"},
      {"name=%E5%BC", "name", "??"},
      {"name", "name", ""},
      {"name=", "name", ""},
      {"&&name=v&", "name", "v"},
      {"", "name", ""},
      {"a=1=2", "a", "1=2"},
  };
  for (const Case& c : cases) EXPECT_EQ(getRequestField(c.query, c.key), c.value) << c.query << " " << c.key;
  // A value decodes into 1024 bytes at most, cut on a character boundary.
  std::string longName = "name=";
  for (int i = 0; i < 400; ++i) longName += "%E5%BC%A0";
  EXPECT_EQ(getRequestField(longName, "name").size(), 1023u - 1023u % 3u);
}

TEST(RequestFields, NumbersAsAtoiReadsThemWithinThe32BitRange) {
  struct Case {
    const char* text;
    int value;
  };
  const Case cases[] = {{"42", 42},         {" 7", 7},           {"12abc", 12},       {"abc", 0},
                        {"", 0},            {"-5", -5},          {"+6", 6},           {"2147483647", 2147483647},
                        {"2147483648", 0},  {"-2147483648", -2147483647 - 1},         {"-2147483649", 0},
                        {"99999999999999999999", 0}};
  for (const Case& c : cases) EXPECT_EQ(requestInt(c.text), c.value) << c.text;
}

TEST_F(LocalApi, APortInUseIsSaidOnceAndTheProgramGoesOn) {
  const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  ASSERT_EQ(::listen(holder, 1), 0);
  socklen_t size = sizeof at;
  ::getsockname(holder, reinterpret_cast<sockaddr*>(&at), &size);
  const std::string busyPort = std::to_string(ntohs(at.sin_port));

  std::string debugger;
  fvplat::DebugSink previous = fvplat::SetDebugOutputSink([&](std::string_view line) { debugger += line; });
  ServerSettings settings;
  settings.port = busyPort;
  HttpServer second(settings);
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(runLocalApiServer(second));
  const std::string console = ::testing::internal::GetCapturedStdout();
  fvplat::SetDebugOutputSink(previous);
  ::close(holder);
  const std::string line = "local http server cannot listen on port " + busyPort + " (in use?); going on without it\n";
  EXPECT_EQ(console, line);
  EXPECT_EQ(debugger, line);

  // The desk goes on: a finger still signs in.
  makeReady();
  cloud.script("v1/fv/signKqFv", R"({"result":1,"signed":1,"inOut":1,"quality":0.9,"memberInfo":{"member_id":5}})");
  place("s1");
  EXPECT_EQ(text(kIdResult), "欢迎光临");
}

TEST(ServerSettings, LoopbackUnlessTheSiteOpensEveryInterface) {
  ::unsetenv(kListenAllEnv);
  EXPECT_FALSE(programServerSettings().allInterfaces);
  EXPECT_EQ(programServerSettings().port, "56189");
  EXPECT_EQ(programServerSettings().webRoot, "./web");
  ::setenv(kListenAllEnv, "1", 1);
  EXPECT_TRUE(programServerSettings().allInterfaces);
  ::setenv(kListenAllEnv, "yes", 1);
  EXPECT_FALSE(programServerSettings().allInterfaces) << "only 1 opens it";
  ::unsetenv(kListenAllEnv);

  // Open to every interface, it still answers on loopback.
  ServerSettings all;
  all.port = "0";
  all.allInterfaces = true;
  HttpServer server(all);
  ASSERT_TRUE(server.serveForever());
  EXPECT_EQ(get(server.port(), "/api/hello"), kJsonHead + "23\r\n{ \"result\": welcome to httpserver }\r\n0\r\n\r\n");
}

}  // namespace
}  // namespace torvane::testing
