// Enrolment and sign-in through the local interface's requests, as a page makes them, on the
// real device library, the simulated device and the cloud stand-in.

#include <cstdio>

#include "http_client.h"
#include "road_fixture.h"

namespace torvane::testing {
namespace {

TEST_F(Road, APageEnrolsAFingerPollsItAndReadsTheSignInOfTheSameFinger) {
  ASSERT_NO_FATAL_FAILURE(serve("0"));
  const int port = server->port();
  const std::string api = "/api/userAction?";
  std::atomic<int> stage{0};
  std::string opened, collected, signedIn;
  std::thread page([&] {
    opened = get(port, api + "type=openFingerCollect&image=&memberId=42&name=%E7%8E%8B%E4%BA%94&finger_type=1"
                              "&clubId=3&branchId=4");
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (std::chrono::steady_clock::now() < until) {
      collected = get(port, api + "type=getFingerCollect&memberId=42");
      if (collected.find("{ \"result\": 1 }") != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    stage = 1;
    while (std::chrono::steady_clock::now() < until) {
      signedIn = get(port, api + "type=getMemberSignIn&clubId=3&branchId=4");
      if (signedIn.find("{ \"result\": 42,") != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    stage = 2;
  });
  EXPECT_TRUE(presentFingerUntil([&] { return stage == 2; }, std::chrono::seconds(100)));
  page.join();
  // Three enrolment captures and a sign-in; a placement while the desk waits for the cloud or
  // shows a result is refused as well as one the quality check or the same-finger test refuses.
  constexpr int kCaptures = 4;
  std::printf("desk road: %d placements for %d captures, %d refused\n", placements, kCaptures,
              placements - kCaptures);
  EXPECT_LE(placements, 3 * kCaptures) << placements - kCaptures << " placements refused";
  EXPECT_EQ(opened, kJsonHead + "f\r\n{ \"result\": 1 }\r\n0\r\n\r\n");
  EXPECT_EQ(collected, kJsonHead + "f\r\n{ \"result\": 1 }\r\n0\r\n\r\n");
  EXPECT_EQ(signedIn, kJsonHead + "19\r\n{ \"result\": 42,\"type\": 0}\r\n0\r\n\r\n");
  // The cloud saw the road in order: the device, the first capture, the enrolment, a sign-in.
  const std::vector<std::string> paths = cloud.pathsPosted();
  ASSERT_GE(paths.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(paths.begin(), paths.begin() + 3),
            (std::vector<std::string>{"v1/fv/checkKqDeviceId", "v1/fv/authKqFv", "v1/fv/addKqFv"}));
  EXPECT_EQ(paths.back(), "v1/fv/signKqFv");
  EXPECT_EQ(cloud.server.lastEnrolledMember(), 42);
  EXPECT_EQ(cloud.posts()[2].payload, "{\n   \"finger_type\" : 1,\n   \"member_id\" : 42\n}\n");
}

}  // namespace
}  // namespace torvane::testing
