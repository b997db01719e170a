// The local interface on loopback, spoken to with a plain socket as a page's browser would, with
// the main dialog on a fake device library and the cloud stand-in.

#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <memory>

#include "app/torvane_app.h"
#include "bounded_wait.h"
#include "photo/member_photo.h"
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
  const std::uint64_t before = clock.clock().NowMs();
  // "张三" URL-encoded, a photo address, member 42.
  EXPECT_EQ(action("type=openFingerCollect&image=photos%2Fa.png&memberId=42&name=%E5%BC%A0%E4%B8%89"
                   "&finger_type=2&clubId=3&branchId=4"),
            chunked("f", "{ \"result\": 1 }"));
  EXPECT_EQ(clock.clock().NowMs() - before, 50u) << "the wait between coming forward and starting";
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

TEST_F(LocalApi, ABrowsersPreflightIsAnsweredWithoutUsingUpAnOutcome) {
  // A page that sends a header of its own (content-type) makes the browser ask first with
  // OPTIONS and the same address; only the request that follows may read and clear an outcome.
  const auto preflight = [this](const std::string& query) {
    std::future<std::string> reply = std::async(std::launch::async, [=, this] {
      return httpExchange(port, "OPTIONS /api/userAction?" + query +
                                    " HTTP/1.1\r\nHost: 127.0.0.1\r\nOrigin: http://pages.example\r\n"
                                    "Access-Control-Request-Method: GET\r\n"
                                    "Access-Control-Request-Headers: content-type\r\n\r\n");
    });
    while (reply.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) fvplat::PumpPending();
    return reply.get();
  };
  const std::string headOnly = kJsonHead + "0\r\n\r\n";
  dialog->update([](DialogFields& f) {
    f.m_lastEnrolledId = 42;
    f.m_signedMemberId = 77;
    f.m_bSignOut = true;
  });
  EXPECT_EQ(preflight("type=getFingerCollect&memberId=42"), headOnly);
  EXPECT_EQ(action("type=getFingerCollect&memberId=42"), chunked("f", "{ \"result\": 1 }"));
  EXPECT_EQ(preflight("type=getMemberSignIn&clubId=3&branchId=4"), headOnly);
  EXPECT_EQ(action("type=getMemberSignIn&clubId=3&branchId=4"), chunked("19", "{ \"result\": 77,\"type\": 1}"));
  makeReady();
  EXPECT_EQ(preflight("type=openFingerCollect&memberId=5&clubId=3&branchId=4"), headOnly);
  EXPECT_FALSE(dialog->fields().m_bCollecting) << "no enrolment started by the question";
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

TEST_F(LocalApi, TheSumIsAnsweredWithItsWholeDecimalText) {
  // Worked out apart from the program: 1e100 as a double is this 101-digit integer (the 1 is
  // lost in rounding); the largest double has 309 digits; "%f" prints infinities and NaN so.
  const std::string e100 =
      "10000000000000000159028911097599180468360808563945281389781327557747838772170381060813469985856815104";
  const std::string largest =
      "17976931348623157081452742373170435679807056752584499659891747680315726078002853876058955863276687817154"
      "04589535143824642343213268894641827684675467035375169860499105765512820762454900903893289440758685084551"
      "33942304583236903222948165808559332123348274797826204144723168738177180919299881250404026184124858368";
  ASSERT_EQ(e100.size(), 101u);
  ASSERT_EQ(largest.size(), 309u);
  struct Case {
    std::string body, result;
  };
  const Case cases[] = {
      {"n1=1e100&n2=1", e100 + ".000000"},
      {"n1=-1.7976931348623157e308&n2=-1", "-" + largest + ".000000"},
      {"n1=1e308&n2=1e308", "inf"},
      {"n1=-1e308&n2=-1e308", "-inf"},
      {"n1=nan&n2=1", "nan"},
      {"n1=0.0000005&n2=0", "0.000000"},
      {"n1=0.0000015&n2=0", "0.000002"},
  };
  for (const Case& c : cases) {
    const std::string reply = httpExchange(port, "POST /api/sum HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                                                     std::to_string(c.body.size()) + "\r\n\r\n" + c.body);
    const std::string body = "{ \"result\": " + c.result + " }";
    char size[16];
    std::snprintf(size, sizeof size, "%zx", body.size());
    EXPECT_EQ(reply, chunked(size, body)) << c.body;
  }
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

TEST_F(LocalApi, AConnectionThatSaysNothingHoldsNoOneElseUp) {
  // A socket opened and left silent (a browser's spare connection, a stray local program).
  const int idle = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(idle, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  EXPECT_EQ(getPumping(port, "/api/hello"), chunked("23", "{ \"result\": welcome to httpserver }"));
  ::close(idle);
}

TEST_F(LocalApi, APhotoAddressOfAnyLengthStartsTheEnrolmentAndTheInterfaceGoesOn) {
  MemberPhoto photo(folder.string());
  DialogHooks hooks;
  hooks.showPhoto = [&photo](HWND target, const std::string& url, int x, int y, int w, int h, int id) {
    photo.show(target, url, x, y, w, h, id);
  };
  dialog.reset();
  dialog = std::make_unique<CTorvaneDlg>(device, cloud.client, hooks);
  ASSERT_TRUE(dialog->Create(folder.string(), false));
  makeReady();
  // A last name of 300 bytes: more than a file name may have.
  const std::string image = "photos%2F" + std::string(300, 'n') + ".png";
  EXPECT_EQ(action("type=openFingerCollect&image=" + image + "&memberId=42&clubId=3&branchId=4"),
            chunked("f", "{ \"result\": 1 }"));
  EXPECT_EQ(action("type=getFingerCollect&memberId=42"), chunked("f", "{ \"result\": 0 }"));
  EXPECT_TRUE(dialog->fields().m_bCollecting);
  photo.stopDownloads();
  dialog.reset();  // before the photo
}

TEST_F(LocalApi, AHandlerThatThrowsIsAnsweredWithAnErrorAndTheServerGoesOn) {
  ServerSettings settings;
  settings.port = "0";
  HttpServer failing(settings);
  failing.addRoute("/api/userAction", [](const std::string&, const std::string& query, mg_connection*,
                                         ReplyFunction) -> bool { throw std::runtime_error("bad " + query); });
  ASSERT_TRUE(failing.serveForever());
  std::string debugger;
  fvplat::DebugSink previous = fvplat::SetDebugOutputSink([&](std::string_view line) { debugger += line; });
  const std::string failed =
      "HTTP/1.1 500 Internal Server Error\r\nContent-Type: application/json\r\nContent-Length: 26\r\n"
      "Access-Control-Allow-Origin:*\r\n\r\n{\"error\":\"internal error\"}";
  EXPECT_EQ(get(failing.port(), "/api/userAction?type=x"), failed);
  EXPECT_EQ(get(failing.port(), "/api/userAction?type=y"), failed) << "still serving";
  EXPECT_EQ(get(failing.port(), "/api/hello"), chunked("23", "{ \"result\": welcome to httpserver }"));
  fvplat::SetDebugOutputSink(previous);
  EXPECT_EQ(debugger,
            "local http server: request failed: bad type=x\nlocal http server: request failed: bad type=y\n");
}

TEST_F(LocalApi, ASlowBodyHoldsUpNoPollAndEndsWhenItsTimeIsUp) {
  SlowClient slow(port);
  ASSERT_TRUE(slow.connected());
  ASSERT_TRUE(slow.send("POST /api/sum HTTP/1.1\r\nHost: x\r\nContent-Length: 60000\r\n\r\nn1=1"));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(action("type=getFingerCollect&memberId=0"), chunked("f", "{ \"result\": 0 }"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "answered while the body trickles";
  // One byte for every second of the platform clock: the body's 5 seconds run out.
  int sent = 0;
  while (!slow.ended() && slow.reply().empty() && sent < 50) {
    clock.clock().Advance(1000);
    if (!slow.send("1")) break;
    ++sent;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // pacing only
  }
  const std::string tooSlow =
      "HTTP/1.1 408 Request Timeout\r\nContent-Type: application/json\r\nContent-Length: 25\r\n"
      "Access-Control-Allow-Origin:*\r\n\r\n{\"error\":\"body too slow\"}";
  EXPECT_TRUE(fvtest::WaitUntil([&] { return slow.ended() || slow.reply() == tooSlow; }, std::chrono::seconds(10)));
  EXPECT_EQ(slow.reply(), tooSlow);
  EXPECT_LE(sent, 10);
}

TEST_F(LocalApi, ABodyBeyondTheLimitIsRefused) {
  const std::string refused =
      "HTTP/1.1 413 Payload Too Large\r\nContent-Type: application/json\r\nContent-Length: 26\r\n"
      "Access-Control-Allow-Origin:*\r\n\r\n{\"error\":\"body too large\"}";
  // Announced too large: refused before it is read (the client that never sends the rest keeps
  // only its own connection until the server's time-out).
  SlowClient announced(port);
  ASSERT_TRUE(announced.send("POST /api/sum HTTP/1.1\r\nHost: x\r\nContent-Length: 65537\r\n\r\nn1=1"));
  EXPECT_TRUE(fvtest::WaitUntil([&] { return announced.ended() || announced.reply() == refused; },
                                std::chrono::seconds(10)));
  EXPECT_EQ(announced.reply(), refused);
  // Chunked, without an announced length: refused once it has grown past the limit.
  const std::string chunk(40000, 'a');
  EXPECT_EQ(httpExchange(port, "POST /api/sum HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n9c40\r\n" +
                                   chunk + "\r\n9c40\r\n" + chunk + "\r\n0\r\n\r\n"),
            refused);
  const std::string body = "n1=2&n2=3&pad=" + std::string(65536 - 14, 'p');
  EXPECT_EQ(httpExchange(port, "POST /api/sum HTTP/1.1\r\nHost: x\r\nContent-Length: 65536\r\n\r\n" + body),
            chunked("16", "{ \"result\": 5.000000 }"))
      << "a body of the limit itself is read";
}

TEST(SlowClients, SlowHeadersHoldNoThreadForLongAndAPollIsAnsweredMeanwhile) {
  ServerSettings settings;
  settings.port = "0";
  settings.requestTimeoutMs = 300;
  HttpServer server(settings);
  ASSERT_TRUE(server.serveForever());
  // More slow clients than the old eight threads, each sending its head a byte at a time.
  std::vector<std::unique_ptr<SlowClient>> slow;
  for (int i = 0; i < 10; ++i) {
    slow.push_back(std::make_unique<SlowClient>(server.port()));
    ASSERT_TRUE(slow.back()->connected());
    slow.back()->send("G");
  }
  std::atomic<bool> trickling{true};
  std::thread trickle([&] {
    const std::string head = "ET /api/hello HTTP/1.1\r\nHost: x\r\nX-Slow: ";
    for (std::size_t at = 0; trickling; ++at) {
      for (auto& client : slow) client->send(at < head.size() ? head.substr(at, 1) : "z");
      std::this_thread::sleep_for(std::chrono::milliseconds(20));  // pacing only
    }
  });
  const auto start = std::chrono::steady_clock::now();
  const std::string hello = httpExchange(server.port(), "GET /api/hello HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(hello, kJsonHead + "23\r\n{ \"result\": welcome to httpserver }\r\n0\r\n\r\n");
  // Each slow one is cut off when its time is up, while it still sends.
  for (auto& client : slow) {
    EXPECT_TRUE(fvtest::WaitUntil([&] { return client->ended(); }, std::chrono::seconds(10)));
  }
  trickling = false;
  trickle.join();
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

TEST(ServerConsole, SaysWhereItListensAndEachRequestItGets) {
  ServerSettings settings;
  settings.port = "0";
  HttpServer server(settings);
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(server.serveForever());
  get(server.port(), "/api/hello?x=1");
  const std::string console = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(console.rfind("starting http server at port: " + std::to_string(server.port()) + "\n", 0), 0u) << console;
  EXPECT_NE(console.find("\ngot request: GET /api/hello?x=1 HTTP/1.1\r\n"), std::string::npos) << console;
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

  // By default only 127.0.0.1 answers; open to every interface, any address of the host does.
  // (127.0.0.2 stands for an address other than the loopback one.)
  const std::string hello = kJsonHead + "23\r\n{ \"result\": welcome to httpserver }\r\n0\r\n\r\n";
  const std::string request = "GET /api/hello HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
  ServerSettings loopback;
  loopback.port = "0";
  HttpServer local(loopback);
  ASSERT_TRUE(local.serveForever());
  EXPECT_EQ(httpExchange(local.port(), request), hello);
  EXPECT_EQ(httpExchange(local.port(), request, INADDR_LOOPBACK + 1), "connect failed");

  ServerSettings all;
  all.port = "0";
  all.allInterfaces = true;
  HttpServer server(all);
  ASSERT_TRUE(server.serveForever());
  EXPECT_EQ(httpExchange(server.port(), request), hello);
  EXPECT_EQ(httpExchange(server.port(), request, INADDR_LOOPBACK + 1), hello);
}

}  // namespace
}  // namespace torvane::testing
