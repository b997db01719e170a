// The cloud client against the stand-in: bodies byte for byte, each operation with scripted
// replies, and the failures that must read as no answer.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cloud/cloud_client.h"
#include "cloud/cloud_config.h"
#include "cloud/cloud_operations.h"
#include "cloud/http_post.h"
#include "cloud/payload_cipher.h"
#include "fvplatform/clock.h"
#include "scope_exit.h"
#include "sim_cloud/cloud_stand_in.h"

namespace {

namespace fs = std::filesystem;
using simcloud::ScriptedReply;

// The parts of a body as the service expects them, written out from the form's layout.
std::string TextPart(const std::string& name, const std::string& value) {
  return "----cc20180430\r\nContent-Disposition:form-data;name=\"" + name + "\"\r\n\r\n" + value +
         "\r\n";
}
std::string ImagePart(const std::string& name, const std::string& path, const std::string& bytes) {
  return "----cc20180430\r\nContent-Disposition:form-data;name=\"" + name + "\";filename=\"" + path +
         "\"\r\nContent-Type:image/jpeg\r\n\r\n" + bytes + "\r\n";
}
const std::string kClosing = "----cc20180430--";

std::size_t DelimiterLines(const std::string& body) {
  std::size_t count = 0;
  for (auto at = body.find("----cc20180430"); at != std::string::npos;
       at = body.find("----cc20180430", at + 1)) {
    ++count;
  }
  return count;
}

Json::Value Object(std::initializer_list<std::pair<const char*, Json::Value>> members) {
  Json::Value json(Json::objectValue);
  for (const auto& [key, value] : members) json[key] = value;
  return json;
}

class CloudClient : public ::testing::Test {
 protected:
  // One stand-in for the suite: starting and stopping the server is what takes time.
  static void SetUpTestSuite() { server_ = new simcloud::CloudStandIn(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    cloud_.reset();
    torvane::setCloudBaseUrl(cloud_.baseUrl());
    folder_ = fs::temp_directory_path() /
              ("desktop_cloud_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string File(const std::string& name, const std::string& bytes) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  std::string Missing(const std::string& name) const { return (folder_ / name).string(); }
  simcloud::ReceivedRequest Last() const {
    const auto all = cloud_.requests();
    EXPECT_FALSE(all.empty());
    return all.empty() ? simcloud::ReceivedRequest{} : all.back();
  }

  static simcloud::CloudStandIn* server_;
  simcloud::CloudStandIn& cloud_ = *server_;
  fs::path folder_;
};

simcloud::CloudStandIn* CloudClient::server_ = nullptr;

TEST_F(CloudClient, BodyWithoutImagesHasThreeDelimiterLines) {
  const Json::Value json = Object({{"club_id", 1}, {"branch_id", 2}, {"device_id", "7"}});
  torvane::postJson(json, "v1/fv/checkKqDeviceId");
  const auto request = Last();
  EXPECT_EQ(request.path, "v1/fv/checkKqDeviceId");
  EXPECT_EQ(request.contentType, "multipart/form-data;boundary=--cc20180430");
  EXPECT_FALSE(request.hasExpectHeader);
  EXPECT_EQ(request.data, "{\n   \"branch_id\" : 2,\n   \"club_id\" : 1,\n   \"device_id\" : \"7\"\n}\n")
      << "the styled text, three spaces of indent";
  const std::string payload = torvane::encryptPayload(request.data);
  EXPECT_EQ(request.body, TextPart("data", payload) + TextPart("appId", "10021") + kClosing);
  EXPECT_EQ(DelimiterLines(request.body), 3u);
}

TEST_F(CloudClient, ImagePartsByteForByte) {
  const std::string jpeg = std::string("\xFF\xD8\x00\r\n----cc", 12) + std::string(300, '\x7E');
  const std::string one = File("one.jpg", jpeg);
  const std::string tiny = File("tiny.jpg", "x");
  const std::string other = File("other.jpg", "\x10\x20\x30");
  const struct {
    const char* what;
    std::array<std::string, 3> paths;
    std::string images;  // the image parts expected
  } cases[] = {
      {"three files", {one, other, one},
       ImagePart("image0", one, jpeg) + ImagePart("image1", other, "\x10\x20\x30") +
           ImagePart("image2", one, jpeg)},
      {"missing second", {one, Missing("gone.jpg"), other},
       ImagePart("image0", one, jpeg) + ImagePart("image2", other, "\x10\x20\x30")},
      {"one-byte second, missing third", {one, tiny, Missing("gone.jpg")}, ImagePart("image0", one, jpeg)},
      {"none there", {Missing("a.jpg"), tiny, Missing("b.jpg")}, ""},
  };
  for (const auto& c : cases) {
    torvane::postEnrolment("PAYLOAD+/==", c.paths, false);
    const auto request = Last();
    EXPECT_EQ(request.body, TextPart("data", "PAYLOAD+/==") + TextPart("appId", "10021") +
                                TextPart("imagesNum", "3") + c.images + kClosing)
        << c.what;
  }
  torvane::postIdentify("P", one, true);
  EXPECT_EQ(Last().body, TextPart("data", "P") + TextPart("appId", "10021") +
                             TextPart("imagesNum", "1") + ImagePart("image0", one, jpeg) + kClosing);
  torvane::postIdentify("P", tiny, false);
  EXPECT_EQ(Last().body, TextPart("data", "P") + TextPart("appId", "10021") +
                             TextPart("imagesNum", "1") + kClosing);
}

TEST_F(CloudClient, LargeFilesAndLongAddressesAreSentWhole) {
  std::string big(1536 * 1024, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 4096);
  const std::string path = File("big.jpg", big);
  const std::string prefix(300, 'p');
  torvane::setCloudBaseUrl(cloud_.baseUrl() + prefix);
  torvane::postIdentify("P", path, true);
  const auto request = Last();
  EXPECT_EQ(request.path, prefix + "/v1/fv/signKqFv") << "the missing final / was added";
  ASSERT_EQ(request.images.size(), 1u);
  EXPECT_EQ(request.images[0].content, big);
}

TEST_F(CloudClient, RepliesAreReadWholeOrRefused) {
  const std::string twoMiB(2u << 20, 'r');
  cloud_.push(ScriptedReply::Raw(twoMiB));
  EXPECT_EQ(torvane::postJson(Json::Value(Json::objectValue), "v1/app/checkUpdate").text, twoMiB);
  cloud_.push(ScriptedReply::Raw(std::string(torvane::kMaxReplyBytes, 'r')));
  EXPECT_EQ(torvane::postJson(Json::Value(Json::objectValue), "v1/app/checkUpdate").text.size(),
            torvane::kMaxReplyBytes);
  cloud_.push(ScriptedReply::Raw(std::string(torvane::kMaxReplyBytes + 1, 'r')));
  const auto refused = torvane::postJson(Json::Value(Json::objectValue), "v1/app/checkUpdate");
  EXPECT_EQ(refused.text, "") << "never cut to a prefix";
}

TEST_F(CloudClient, FailedTransfersAndOtherStatusesAreEmptyReplies) {
  cloud_.push(ScriptedReply::Raw("not found", 404));
  cloud_.push(ScriptedReply::Raw("500 Internal Server Error", 500));
  cloud_.push(ScriptedReply::Raw("500 Internal Server Error"));
  auto reply = torvane::postJson(Json::Value(Json::objectValue), "v1/app/checkUpdate");
  EXPECT_EQ(reply.status, 404);
  EXPECT_EQ(reply.text, "");
  EXPECT_FALSE(reply.serverFailed());
  reply = torvane::postJson(Json::Value(Json::objectValue), "v1/app/checkUpdate");
  EXPECT_EQ(reply.text, "");
  EXPECT_TRUE(reply.serverFailed());
  reply = torvane::postJson(Json::Value(Json::objectValue), "v1/app/checkUpdate");
  EXPECT_EQ(reply.text, "500 Internal Server Error");
  EXPECT_TRUE(reply.serverFailed());

  int closedPort = 0;
  {
    simcloud::CloudStandIn gone;
    closedPort = gone.port();
  }
  torvane::setCloudBaseUrl("http://127.0.0.1:" + std::to_string(closedPort) + "/");
  reply = torvane::postJson(Json::Value(Json::objectValue), "v1/app/checkUpdate");
  EXPECT_EQ(reply.status, 0);
  EXPECT_EQ(reply.text, "");
  torvane::setCloudBaseUrl("https://127.0.0.1:" + std::to_string(cloud_.port()) + "/");
  EXPECT_EQ(torvane::postJson(Json::Value(Json::objectValue), "v1/app/checkUpdate").status, 0)
      << "plain HTTP only";
}

// Replies that must read as no answer, for every operation.
std::vector<ScriptedReply> UnreadableReplies() {
  return {ScriptedReply::Empty(), ScriptedReply::Garbage(), ScriptedReply::Raw("OK"),
          ScriptedReply::Raw(torvane::encryptPayload("[1,2]")),
          ScriptedReply::Raw(torvane::encryptPayload("{\"result\":1}"), 404),
          ScriptedReply::Raw(torvane::encryptPayload("{\"result\":"))};
}

TEST_F(CloudClient, DeviceCheck) {
  cloud_.push(ScriptedReply::Enciphered(Object({{"result", 1}, {"name", "%E5%89%8D"}})));
  const auto reply = torvane::checkDeviceId(7, 2, 1);
  EXPECT_TRUE(reply.parsed);
  EXPECT_EQ(reply.result, 1);
  EXPECT_EQ(reply.name, "%E5%89%8D");
  const auto request = Last();
  EXPECT_EQ(request.path, "v1/fv/checkKqDeviceId");
  EXPECT_EQ(request.json, Object({{"device_id", "7"}, {"branch_id", 2}, {"club_id", 1}}));
  EXPECT_EQ(request.imagesNum, -1);
  for (auto& bad : UnreadableReplies()) {
    cloud_.push(bad);
    const auto failed = torvane::checkDeviceId(7, 2, 1);
    EXPECT_FALSE(failed.parsed);
    EXPECT_EQ(failed.result, -1);
  }
}

TEST_F(CloudClient, EnrolmentQuestion) {
  const std::string capture = File("auth.jpg", "\xFF\xD8 first capture");
  cloud_.push(ScriptedReply::Enciphered(Object({{"result", 1}})));
  const auto reply = torvane::authFinger(1, 2, capture);
  EXPECT_TRUE(reply.parsed);
  EXPECT_EQ(reply.result, 1);
  const auto request = Last();
  EXPECT_EQ(request.path, "v1/fv/authKqFv");
  EXPECT_EQ(request.json, Object({{"club_id", 1}, {"branch_id", 2}}));
  EXPECT_EQ(request.appId, 10021);
  EXPECT_EQ(request.imagesNum, 1);
  ASSERT_EQ(request.images.size(), 1u);
  EXPECT_EQ(request.images[0].content, "\xFF\xD8 first capture");
  cloud_.push(ScriptedReply::Enciphered(Object({{"result", "1"}})));
  const auto wrongType = torvane::authFinger(1, 2, capture);
  EXPECT_TRUE(wrongType.parsed);
  EXPECT_EQ(wrongType.result, -1) << "a text is not the number 1";
  for (auto& bad : UnreadableReplies()) {
    cloud_.push(bad);
    EXPECT_FALSE(torvane::authFinger(1, 2, capture).parsed);
  }
}

TEST_F(CloudClient, EnrolmentOfMembersAndEmployees) {
  const std::array<std::string, 3> files = {File("1.jpg", "one"), File("2.jpg", "two"),
                                            File("3.jpg", "three")};
  const struct { bool employee; const char* path; const char* idKey; int result; } cases[] = {
      {false, "v1/fv/addKqFv", "member_id", 1},
      {true, "v1/fv/addEKqFv", "employee_id", 4},
  };
  for (const auto& c : cases) {
    cloud_.push(ScriptedReply::Enciphered(Object({{"result", c.result}})));
    const auto reply = torvane::enrolFinger(6, 42, c.employee, files);
    EXPECT_TRUE(reply.parsed);
    EXPECT_FALSE(reply.serverFailed);
    EXPECT_EQ(reply.result, c.result);
    const auto request = Last();
    EXPECT_EQ(request.path, c.path);
    EXPECT_EQ(request.json, Object({{"finger_type", 6}, {c.idKey, 42}}));
    EXPECT_EQ(request.imagesNum, 3);
    ASSERT_EQ(request.images.size(), 3u);
    EXPECT_EQ(request.images[2].name, "image2");
    EXPECT_EQ(request.images[2].content, "three");
  }
  for (auto& failure : {ScriptedReply::Raw("<h1>500 Internal Server Error</h1>"),
                        ScriptedReply::Raw("500 Internal Server Error", 500)}) {
    cloud_.push(failure);
    const auto reply = torvane::enrolFinger(6, 42, false, files);
    EXPECT_TRUE(reply.serverFailed);
    EXPECT_FALSE(reply.parsed);
  }
  for (auto& bad : UnreadableReplies()) {
    cloud_.push(bad);
    const auto reply = torvane::enrolFinger(6, 42, false, files);
    EXPECT_FALSE(reply.parsed);
    EXPECT_FALSE(reply.serverFailed);
  }
}

TEST_F(CloudClient, SignIn) {
  const std::string capture = File("auth.jpg", "\xFF\xD8 sign-in");
  Json::Value member = Object({{"name", "%E5%BC%A0"}, {"image", "img/a.png"}, {"member_id", 77},
                               {"status", 5}});
  cloud_.push(ScriptedReply::Enciphered(Object(
      {{"result", 0}, {"signed", 1}, {"inOut", 3}, {"quality", 0.58}, {"memberInfo", member}})));
  const auto reply = torvane::signIn(1, 2, 4294967295u, capture);
  EXPECT_TRUE(reply.parsed);
  EXPECT_EQ(reply.result, 0);
  EXPECT_EQ(reply.signedIn, 1);
  EXPECT_EQ(reply.inOut, 3);
  EXPECT_DOUBLE_EQ(reply.quality, 0.58);
  EXPECT_EQ(reply.member.name, "%E5%BC%A0");
  EXPECT_EQ(reply.member.image, "img/a.png");
  EXPECT_EQ(reply.member.memberId, 77);
  EXPECT_EQ(reply.member.status, 5);
  EXPECT_NE(reply.text.find("\"member_id\":77"), std::string::npos) << reply.text;
  const auto request = Last();
  EXPECT_EQ(request.path, "v1/fv/signKqFv");
  EXPECT_EQ(request.json, Object({{"club_id", 1}, {"branch_id", 2}, {"device_id", "4294967295"}}));
  EXPECT_EQ(request.imagesNum, 1);

  cloud_.push(ScriptedReply::Enciphered(Object({{"result", 2}, {"memberInfo", "none"}})));
  const auto bare = torvane::signIn(1, 2, 5, capture);
  EXPECT_EQ(bare.result, 2);
  EXPECT_EQ(bare.member.memberId, 0);
  EXPECT_EQ(bare.signedIn, 0);
  for (auto& bad : UnreadableReplies()) {
    cloud_.push(bad);
    EXPECT_FALSE(torvane::signIn(1, 2, 5, capture).parsed);
  }
}

TEST_F(CloudClient, UpdateCheck) {
  cloud_.push(ScriptedReply::Enciphered(Object({{"result", 1}, {"dl_url", "http://h/setup.exe"}})));
  const auto reply = torvane::checkUpdate();
  EXPECT_TRUE(reply.parsed);
  EXPECT_EQ(reply.result, 1);
  EXPECT_EQ(reply.downloadUrl, "http://h/setup.exe");
  const auto request = Last();
  EXPECT_EQ(request.path, "v1/app/checkUpdate");
  EXPECT_EQ(request.json, Object({{"platform", 3}, {"version", "1.1.0"}}));
  for (auto& bad : UnreadableReplies()) {
    cloud_.push(bad);
    EXPECT_FALSE(torvane::checkUpdate().parsed);
  }
}

TEST_F(CloudClient, ReplyThatNeverComesEndsAtTheTotalLimit) {
  const std::string capture = File("auth.jpg", "\xFF\xD8 sign-in");
  fvplat::ScopedFakeClock fake;
  cloud_.push(ScriptedReply::Never());
  const auto started = std::chrono::steady_clock::now();
  torvane::SignInReply reply;
  reply.parsed = true;
  std::thread sender([&] { reply = torvane::signIn(1, 2, 5, capture); });
  // Also when the test stops short, the request runs out its time and ends before its locals.
  const fvtest::ScopeExit endSender([&] {
    if (!sender.joinable()) return;
    fake.clock().Advance(torvane::kTotalTimeoutMs);
    cloud_.releaseHeldReplies();
    sender.join();
  });
  ASSERT_TRUE(cloud_.waitForRequests(1, std::chrono::seconds(10)));
  fake.clock().Advance(torvane::kTotalTimeoutMs - 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  EXPECT_EQ(cloud_.requests().size(), 1u);
  fake.clock().Advance(1);
  sender.join();
  EXPECT_FALSE(reply.parsed);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8))
      << "ended by the platform clock, not by waiting out the limit";
  cloud_.releaseHeldReplies();
}

TEST_F(CloudClient, WhenTheProgramEndsARequestUnderWayEndsAndNoneIsSent) {
  const std::string capture = File("auth.jpg", "\xFF\xD8 sign-in");
  cloud_.push(ScriptedReply::Never());
  const fvtest::ScopeExit resume([this] {
    torvane::resumeCloudRequests();
    cloud_.releaseHeldReplies();
  });
  torvane::SignInReply reply;
  reply.parsed = true;
  std::thread sender([&] { reply = torvane::signIn(1, 2, 5, capture); });
  const fvtest::ScopeExit endSender([&] {
    cloud_.releaseHeldReplies();
    if (sender.joinable()) sender.join();
  });
  ASSERT_TRUE(cloud_.waitForRequests(1, std::chrono::seconds(10)));
  const auto ending = std::chrono::steady_clock::now();
  torvane::endCloudRequests();
  sender.join();
  EXPECT_LT(std::chrono::steady_clock::now() - ending, std::chrono::seconds(3));
  EXPECT_FALSE(reply.parsed);
  EXPECT_FALSE(torvane::signIn(1, 2, 5, capture).parsed);
  EXPECT_EQ(cloud_.requests().size(), 1u) << "nothing sent once ending";
}

TEST_F(CloudClient, PlainDefaultEnrolsAnyMemberAndSignsInTheLast) {
  const std::string capture = File("auth.jpg", "\xFF\xD8 capture");
  const std::array<std::string, 3> files = {capture, capture, capture};
  EXPECT_EQ(torvane::checkDeviceId(7, 2, 1).result, 1);
  EXPECT_EQ(torvane::signIn(1, 2, 7, capture).result, 2) << "nobody enrolled yet";
  EXPECT_EQ(torvane::authFinger(1, 2, capture).result, 0);
  EXPECT_EQ(torvane::enrolFinger(1, 42, false, files).result, 1);
  EXPECT_EQ(torvane::enrolFinger(1, 9, true, files).result, 1) << "an employee";
  const auto signedIn = torvane::signIn(1, 2, 7, capture);
  EXPECT_EQ(signedIn.result, 1);
  EXPECT_EQ(signedIn.signedIn, 1);
  EXPECT_EQ(signedIn.member.memberId, 42);
  EXPECT_GT(signedIn.quality, 0.58);
  EXPECT_EQ(torvane::checkUpdate().result, 0);
  EXPECT_EQ(cloud_.lastEnrolledMember(), 42);
  EXPECT_EQ(cloud_.requests().size(), 7u);
}

TEST_F(CloudClient, RequestsFromSeveralThreadsKeepTheirOwnBodies) {
  std::vector<std::thread> threads;
  std::vector<int> results(6, -2);
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([t, &results] { results[t] = torvane::checkDeviceId(100 + t, 2, 1).result; });
  }
  for (auto& thread : threads) thread.join();
  for (int r : results) EXPECT_EQ(r, 1);
  std::vector<std::string> ids;
  for (const auto& request : cloud_.requests()) {
    EXPECT_TRUE(request.wellFormed);
    ids.push_back(request.json["device_id"].asString());
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<std::string>{"100", "101", "102", "103", "104", "105"}));
}

}  // namespace
