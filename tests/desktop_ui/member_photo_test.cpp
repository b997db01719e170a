#include <opencv2/imgcodecs.hpp>

#include <fstream>

#include <future>

#include "bounded_wait.h"
#include "scope_exit.h"
#include "cloud/download_file.h"
#include "dialog_fixture.h"
#include "photo/member_photo.h"
#include "tls_server.h"
#include "trickle_server.h"

namespace torvane::testing {
namespace {

using Photo = DialogTest;

// A plain PNG of one colour (B, G, R).
std::string solidPng(int b, int g, int r) {
  std::vector<std::uint8_t> bytes;
  cv::imencode(".png", cv::Mat(60, 80, CV_8UC3, cv::Scalar(b, g, r)), bytes);
  return std::string(bytes.begin(), bytes.end());
}

std::string fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The dialog surface's pixel (x, y) as B, G, R, A.
std::array<int, 4> pixel(HWND window, int x, int y) {
  const fvplat::SurfaceSnapshot s = fvplat::ReadSurface(window);
  const std::size_t at = (static_cast<std::size_t>(y) * s.width + x) * 4;
  return {s.bgra[at], s.bgra[at + 1], s.bgra[at + 2], s.bgra[at + 3]};
}

TEST_F(Photo, ARelativeAddressIsFetchedFromTheCloudIntoTheCacheNamedByThePerson) {
  const std::string red = solidPng(0, 0, 255);
  cloud.script("photos/a.png", "raw:" + red);
  MemberPhoto photo(folder.string());
  photo.show(dialog->window(), "photos/a.png", 40, 30, 120, 120, 7);
  photo.waitForDownloads();
  EXPECT_EQ(photo.address(), cloudBaseUrl() + "photos/a.png");
  const std::filesystem::path cached = folder / "image" / photoCacheName(cloudBaseUrl() + "photos/a.png", 7);
  EXPECT_EQ(photo.cachePath(), cached.string());
  EXPECT_EQ(fileBytes(cached), red);
  ASSERT_EQ(cloud.pathsPosted(), std::vector<std::string>{"photos/a.png"});

  // Drawn: the photo inside the ellipse, nothing in the rectangle's corner, a yellow outline.
  EXPECT_EQ(pixel(dialog->window(), 100, 90), (std::array<int, 4>{0, 0, 255, 255}));
  EXPECT_EQ(pixel(dialog->window(), 42, 32)[3], 0);
  const std::array<int, 4> top = pixel(dialog->window(), 40 + 59, 31);
  EXPECT_LT(top[0], 80);
  EXPECT_GT(top[1], 180);
  EXPECT_GT(top[2], 180);
  // The outline is 118 x 118 from (40, 30): its right end on column 158, its bottom on row 148,
  // inside the photo's own ellipse, so the pen's inner half covers photo pixels there.
  for (const std::array<int, 4>& onPen : {pixel(dialog->window(), 157, 89), pixel(dialog->window(), 99, 147)}) {
    EXPECT_LT(onPen[0], 80);
    EXPECT_GT(onPen[1], 180);
    EXPECT_GT(onPen[2], 180);
  }

  // Shown again: drawn from the cache without asking the network.
  photo.show(dialog->window(), "photos/a.png", 40, 30, 120, 120, 7);
  photo.waitForDownloads();
  EXPECT_EQ(cloud.posts().size(), 1u);
  // Another person with a photo of the same name gets a file of its own.
  cloud.script("photos/a.png", "raw:" + solidPng(255, 0, 0));
  const std::string other = "http://127.0.0.1:" + std::to_string(cloud.server.port()) + "/photos/a.png?v=2";
  photo.show(dialog->window(), other, 40, 30, 120, 120, 8);
  photo.waitForDownloads();
  EXPECT_EQ(cloud.posts().size(), 2u);
  EXPECT_TRUE(std::filesystem::exists(folder / "image" / photoCacheName(other, 8)));
  EXPECT_EQ(pixel(dialog->window(), 100, 90), (std::array<int, 4>{255, 0, 0, 255}));
}

TEST_F(Photo, AShortAddressDrawsThePlaceholderAndFetchesNothing) {
  MemberPhoto photo(folder.string());
  for (const char* address : {"", "a.b"}) {
    photo.show(dialog->window(), address, 40, 30, 120, 120, 7);
    photo.waitForDownloads();
  }
  EXPECT_TRUE(cloud.posts().empty());
  EXPECT_TRUE(std::filesystem::exists(folder / "image" / kDefaultPhoto));
  EXPECT_EQ(pixel(dialog->window(), 100, 90)[3], 255) << "the placeholder is drawn";
  // Four characters are an address.
  photo.show(dialog->window(), "d.pn", 40, 30, 120, 120, 7);
  photo.waitForDownloads();
  EXPECT_EQ(cloud.pathsPosted(), std::vector<std::string>{"d.pn"});
}

TEST_F(Photo, AFailedDownloadLeavesNoCacheFileSoTheNextShowAsksAgain) {
  MemberPhoto photo(folder.string());
  const std::filesystem::path cached = folder / "image" / photoCacheName(cloudBaseUrl() + "photos/b.jpg", 3);
  for (const char* failure : {"status500", "dropped", "raw:"}) {
    SCOPED_TRACE(failure);
    cloud.reset();
    cloud.script("photos/b.jpg", failure);
    photo.show(dialog->window(), "photos/b.jpg", 40, 30, 120, 120, 3);
    photo.waitForDownloads();
    if (std::string(failure) == "raw:") {
      // An empty reply is complete: what came is cached, as the service sent it.
      EXPECT_TRUE(std::filesystem::exists(cached));
      continue;
    }
    EXPECT_FALSE(std::filesystem::exists(cached));
    cloud.script("photos/b.jpg", "raw:" + solidPng(0, 255, 0));
    photo.show(dialog->window(), "photos/b.jpg", 40, 30, 120, 120, 3);
    photo.waitForDownloads();
    EXPECT_EQ(cloud.posts().size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(cached));
    std::filesystem::remove(cached);
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder / "image")) {
    EXPECT_NE(entry.path().extension(), ".part") << "no partial file left";
  }
}

TEST_F(Photo, RepaintingTheDialogClearsAPhotoDrawnBefore) {
  MemberPhoto photo(folder.string());
  cloud.script("photos/c.png", "raw:" + solidPng(0, 0, 255));
  photo.show(dialog->window(), "photos/c.png", 40, 30, 120, 120, 1);
  photo.waitForDownloads();
  ASSERT_EQ(pixel(dialog->window(), 100, 90)[3], 255);
  dialog->resetUi();
  EXPECT_EQ(pixel(dialog->window(), 100, 90)[3], 0);
}

TEST_F(Photo, TheDialogShowsTheEnrolledPersonAndTheSignedInMember) {
  struct Shown {
    HWND target;
    std::string url;
    int x, y, width, height, id;
    bool operator==(const Shown&) const = default;
  };
  std::vector<Shown> shown;
  DialogHooks hooks;
  hooks.showPhoto = [&](HWND target, const std::string& url, int x, int y, int w, int h, int id) {
    shown.push_back({target, url, x, y, w, h, id});
  };
  dialog.reset();
  dialog = std::make_unique<CTorvaneDlg>(device, cloud.client, hooks);
  ASSERT_TRUE(dialog->Create(folder.string(), false));
  makeReady();

  EnrolRequest request;
  request.photoUrl = "p/a.png";
  request.collectId = 42;
  request.clubId = 3;
  request.branchId = 4;
  dialog->storeEnrolRequest(request);
  ASSERT_TRUE(dialog->beginCollection());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], (Shown{dialog->window(), "p/a.png", 40, 30, 120, 120, 42}));
  ASSERT_TRUE(fvplat::ClickButton(dialog->item(kIdBack)));

  shown.clear();
  cloud.script("v1/fv/signKqFv",
               R"({"result":1,"signed":1,"inOut":1,"quality":0.9,"memberInfo":{"member_id":77,"image":"m%2Fb.png"}})");
  place("s1");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], (Shown{dialog->window(), "m/b.png", 40, 30, 120, 120, 77}));
}

TEST_F(Photo, AnHttpsPhotoIsFetchedFromAServerTheStoreTrustsAndNoOther) {
  const std::string green = solidPng(0, 255, 0);
  const std::filesystem::path certificate = folder / "server.pem";
  TlsServer server(certificate.string(), green);
  const fvtest::ScopeExit untrust([] { setTrustedCertificates(""); });
  MemberPhoto photo(folder.string());
  // The system's store knows nothing of the server's own certificate.
  photo.show(dialog->window(), server.url("/m/tls.png"), 40, 30, 120, 120, 9);
  photo.waitForDownloads();
  EXPECT_FALSE(std::filesystem::exists(folder / "image" / photoCacheName(server.url("/m/tls.png"), 9)));
  EXPECT_EQ(server.answered(), 0) << "refused before anything was asked";
  // Trusted, it is fetched and drawn.
  setTrustedCertificates(certificate.string());
  photo.show(dialog->window(), server.url("/m/tls.png"), 40, 30, 120, 120, 9);
  photo.waitForDownloads();
  EXPECT_EQ(fileBytes(folder / "image" / photoCacheName(server.url("/m/tls.png"), 9)), green);
  EXPECT_EQ(pixel(dialog->window(), 100, 90), (std::array<int, 4>{0, 255, 0, 255}));
}

TEST(PhotoCacheName, ADigestOfTheAddressWithTheIdAndAShortExtension) {
  // The 64-bit FNV-1a digests, worked out apart from the program ("a" and "foobar" are the
  // published test values).
  struct Case {
    std::string address;
    int id;
    std::string name;
  };
  const Case cases[] = {
      {"a", 7, "af63dc4c8601ec8c7"},
      {"foobar", -1, "85944171f73967e84294967295"},
      {"http://127.0.0.1:8080/photos/a.png", 7, "1886c951c8eb59377.png"},
      {"http://h/a.png?v=2#top", 3, "1f45653073fd3bde3.png"},
      {"x/y.abcdefgh", 0, "d2734ddb550152270.abcdefgh"},
      {"x/y.abcdefghi", 0, "9b3f99b1713eda8a0"},
      {"x/y.p-g", 0, "e128d26f51ac781d0"},
      {"http://h/" + std::string(300, 'n') + ".jpg", 12, "98d422ca209cf11312.jpg"},
  };
  for (const Case& c : cases) EXPECT_EQ(photoCacheName(c.address, c.id), c.name) << c.address;
}

TEST_F(Photo, AStalledDownloadEndsWhenItsTimeIsUpOrWhenThePhotoStops) {
  TrickleServer server;
  {
    MemberPhoto photo(folder.string());
    photo.show(dialog->window(), server.url("/m/slow.png"), 40, 30, 120, 120, 5);
    ASSERT_TRUE(fvtest::WaitUntil([&] { return server.connections() == 1; }, std::chrono::seconds(10)));
    // Shown again while it runs: no second fetch of the same photo.
    photo.show(dialog->window(), server.url("/m/slow.png"), 40, 30, 120, 120, 5);
    clock.clock().Advance(kPhotoDownloadMs - 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // a progress call or two, still in time
    EXPECT_EQ(server.connections(), 1);
    // The whole download's time runs out on the platform clock.
    clock.clock().Advance(1);
    std::future<void> ended = std::async(std::launch::async, [&] { photo.waitForDownloads(); });
    EXPECT_EQ(ended.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    ended.wait();
    EXPECT_FALSE(std::filesystem::exists(folder / "image" / photoCacheName(server.url("/m/slow.png"), 5)));

    // The next one stalls too; the photo's end stops it at once.
    photo.show(dialog->window(), server.url("/m/slower.png"), 40, 30, 120, 120, 5);
    ASSERT_TRUE(fvtest::WaitUntil([&] { return server.connections() == 2; }, std::chrono::seconds(10)));
    std::future<void> stopped = std::async(std::launch::async, [&] { photo.stopDownloads(); });
    EXPECT_EQ(stopped.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    stopped.wait();
    photo.show(dialog->window(), server.url("/m/later.png"), 40, 30, 120, 120, 5);
    photo.waitForDownloads();
    EXPECT_EQ(server.connections(), 2) << "nothing is fetched once stopped";
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder / "image")) {
    EXPECT_EQ(entry.path().filename(), kDefaultPhoto) << "no partial photo left";
  }
}

}  // namespace
}  // namespace torvane::testing
