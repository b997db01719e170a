#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/log.h"
#include "fvplatform/debug_output.h"
#include "store/template_store.h"

namespace {

namespace fs = std::filesystem;
using dravex::BlobRef;
using dravex::kModelBytes;

// Templates are filled with the first byte of the first blob; searches answer as scripted;
// templates that begin with 0xFF are refused.
class FakeMatcher : public dravex::StoreMatcher {
 public:
  bool extractModel(const BlobRef (&blobs)[3], std::uint8_t* model) override {
    if (!blobs[0].present()) return false;
    std::fill(model, model + kModelBytes, blobs[0].data[0]);
    return true;
  }
  bool index(const std::uint8_t*, int count, BlobRef, int* position, float* similarity) override {
    searchedCount = count;
    *position = position_;
    *similarity = similarity_;
    return true;
  }
  // Stands for the engine's refusal of a forged template.
  bool acceptsModel(const std::uint8_t* model) override { return model[0] != 0xFF; }
  void Answer(int position, float similarity) {
    position_ = position;
    similarity_ = similarity;
  }
  int searchedCount = -1;

 private:
  int position_ = 0;
  float similarity_ = 0;
};

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t value) {
  return std::vector<std::uint8_t>(n, value);
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Store : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() / ("fv_store_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    root_ = base_ / "root";
    outside_ = base_ / "outside";
    fs::create_directories(root_);
    fs::create_directories(outside_);
  }
  void TearDown() override { fs::remove_all(base_); }

  int Load() {
    int count = -1;
    EXPECT_EQ(store_.loadModel(root_.c_str(), &count), 1);
    return count;
  }
  // A blob whose template byte is `value`.
  BlobRef Blob(std::uint8_t value) {
    blobs_.push_back(Bytes(64, value));
    return {blobs_.back().data(), 64};
  }

  fs::path base_, root_, outside_;
  FakeMatcher matcher_;
  dravex::Settings settings_;
  unsigned nextRandom_ = 0;
  dravex::TemplateStore store_{matcher_, settings_, [this] { return nextRandom_; }};
  std::vector<std::vector<std::uint8_t>> blobs_;
};

TEST_F(Store, LoadsOnlyCanonicalUserFoldersAndTemplateSizedRealFiles) {
  WriteFile(root_ / "1" / "1.dat", Bytes(kModelBytes, 0x11));
  WriteFile(root_ / "1" / "2.dat", Bytes(kModelBytes, 0x12));
  WriteFile(root_ / "1" / "notes.txt", Bytes(10, 0));
  WriteFile(root_ / "2" / "1.dat", Bytes(kModelBytes + 1, 0x21));  // wrong size
  WriteFile(root_ / "2" / "7.dat", Bytes(kModelBytes, 0x27));     // any name of the right size
  for (const char* ignored : {"0", "abc", "05", "+3", "4x"}) {
    WriteFile(root_ / ignored / "1.dat", Bytes(kModelBytes, 0x99));
  }
  WriteFile(outside_ / "9" / "1.dat", Bytes(kModelBytes, 0x99));
  fs::create_directory_symlink(outside_ / "9", root_ / "9");
  fs::create_symlink(outside_ / "9" / "1.dat", root_ / "1" / "3.dat");
  EXPECT_EQ(Load(), 3);
  EXPECT_EQ(store_.ids(), (std::vector<std::uint32_t>{1, 1, 2}));
  EXPECT_EQ(store_.model(0)[0], 0x11);
  EXPECT_EQ(store_.model(1)[0], 0x12);
  EXPECT_EQ(store_.model(2)[0], 0x27);
}

// A refused file is logged and left out; the files before and after it still load.
TEST_F(Store, TemplatesTheEngineRefusesAreSkippedAndLogged) {
  WriteFile(root_ / "1" / "1.dat", Bytes(kModelBytes, 0x11));
  WriteFile(root_ / "1" / "2.dat", Bytes(kModelBytes, 0xFF));
  WriteFile(root_ / "1" / "3.dat", Bytes(kModelBytes, 0x13));
  WriteFile(root_ / "2" / "1.dat", Bytes(kModelBytes, 0xFF));
  WriteFile(root_ / "3" / "1.dat", Bytes(kModelBytes, 0x31));
  std::string log;
  auto previous = fvplat::SetDebugOutputSink([&](std::string_view text) { log += text; });
  const int level = dravex::debugLevel();
  dravex::setDebugLevelValue(0);
  const int count = Load();
  dravex::setDebugLevelValue(level);
  fvplat::SetDebugOutputSink(std::move(previous));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(store_.ids(), (std::vector<std::uint32_t>{1, 1, 3}));
  EXPECT_EQ(store_.model(1)[0], 0x13);
  auto logged = [&](const fs::path& file) {
    return log.find(file.string() + " skipped") != std::string::npos;
  };
  EXPECT_TRUE(logged(root_ / "1" / "2.dat")) << log;
  EXPECT_TRUE(logged(root_ / "2" / "1.dat")) << log;
  EXPECT_FALSE(logged(root_ / "1" / "1.dat")) << log;

  int total = -1;
  WriteFile(base_ / "extra" / "7" / "a.dat", Bytes(kModelBytes, 0xFF));
  WriteFile(base_ / "extra" / "7" / "b.dat", Bytes(kModelBytes, 0x70));
  EXPECT_EQ(store_.indexAddUser((base_ / "extra" / "7").c_str(), &total), 1);
  EXPECT_EQ(total, 4);
}

TEST_F(Store, MissingRootLoadsNothingAndRefusesDiskWork) {
  int count = -1;
  EXPECT_EQ(store_.loadModel((base_ / "absent").c_str(), &count), 1);
  EXPECT_EQ(count, 0);
  int id = 0;
  EXPECT_EQ(store_.userAdd(Blob(1), {}, {}, &id), 0);
  EXPECT_EQ(store_.size(), 0u);
  EXPECT_FALSE(fs::exists("/1/1.dat"));
}

TEST_F(Store, AddChoosesTheFirstFreeIdAndWritesItsFiles) {
  for (int user : {1, 2, 4}) WriteFile(root_ / std::to_string(user) / "1.dat", Bytes(kModelBytes, 1));
  Load();
  int id = 0;
  ASSERT_EQ(store_.userAdd(Blob(0x33), Blob(0x34), {}, &id), 1);
  EXPECT_EQ(id, 3);
  EXPECT_EQ(ReadFile(root_ / "3" / "1.dat"), Bytes(kModelBytes, 0x33));
  EXPECT_EQ(ReadFile(root_ / "3" / "jpg" / "m1.jpg"), Bytes(64, 0x33));
  EXPECT_EQ(ReadFile(root_ / "3" / "jpg" / "m2.jpg"), Bytes(64, 0x34));
  EXPECT_FALSE(fs::exists(root_ / "3" / "jpg" / "m3.jpg"));
  EXPECT_EQ(store_.size(), 4u);
}

TEST_F(Store, AddSkipsIdsWhoseFolderExists) {
  fs::create_directories(root_ / "1" / "jpg");  // someone's files, not loaded as a template
  WriteFile(root_ / "1" / "jpg" / "m1.jpg", Bytes(64, 0x77));
  Load();
  int id = 0;
  ASSERT_EQ(store_.userAdd(Blob(0x40), {}, {}, &id), 1);
  EXPECT_EQ(id, 2);
  EXPECT_EQ(ReadFile(root_ / "1" / "jpg" / "m1.jpg"), Bytes(64, 0x77));
}

TEST_F(Store, AddRefusesKnownIdsFailedExtractionAndFailedWrites) {
  WriteFile(root_ / "5" / "1.dat", Bytes(kModelBytes, 5));
  Load();
  int id = 5;
  EXPECT_EQ(store_.userAdd(Blob(1), {}, {}, &id), 0);  // already enrolled
  id = 6;
  EXPECT_EQ(store_.userAdd({}, Blob(1), {}, &id), 0);  // no first image
  // A template file that cannot be written leaves nothing behind in memory.
  fs::create_directories(root_ / "7" / "1.dat");
  id = 7;
  EXPECT_EQ(store_.userAdd(Blob(1), {}, {}, &id), 0);
  // A user folder that links elsewhere is never written through.
  fs::create_directory_symlink(outside_, root_ / "8");
  id = 8;
  EXPECT_EQ(store_.userAdd(Blob(1), {}, {}, &id), 0);
  EXPECT_FALSE(fs::exists(outside_ / "1.dat"));
  EXPECT_EQ(store_.size(), 1u);
}

TEST_F(Store, IdentificationThresholdsAndEnrichment) {
  settings_.score = 0.6f;
  settings_.modeNum = 5;
  WriteFile(root_ / "3" / "1.dat", Bytes(kModelBytes, 0x30));
  Load();
  struct Case {
    const char* what;
    float similarity;
    int update;
    int result;
    std::size_t sizeAfter;
  };
  const float s = settings_.score;
  const Case cases[] = {
      {"at the threshold: not recognised", s, 1, 0, 1},
      {"above, no update", 0.7f, 0, 1, 1},
      {"at 1.09 x threshold: no enrichment", 1.09f * s, 1, 1, 1},
      {"at 1.41 x threshold: no enrichment", 1.41f * s, 1, 1, 1},
      {"inside the band: one template more", 1.2f * s, 1, 1, 2},
  };
  for (const auto& c : cases) {
    matcher_.Answer(0, c.similarity);
    int id = -1;
    float score = -5;
    EXPECT_EQ(store_.userIndex(Blob(0x3A), &id, &score, c.update), c.result) << c.what;
    EXPECT_EQ(score, c.similarity) << c.what;
    if (c.result == 1) {
      EXPECT_EQ(id, 3) << c.what;
    }
    EXPECT_EQ(store_.size(), c.sizeAfter) << c.what;
  }
  EXPECT_EQ(matcher_.searchedCount, 1);  // the last search saw the store before it grew
  EXPECT_EQ(ReadFile(root_ / "3" / "2.dat"), Bytes(kModelBytes, 0x3A));
  EXPECT_EQ(ReadFile(root_ / "3" / "jpg" / "2.jpg"), Bytes(64, 0x3A));
}

TEST_F(Store, FullUserReplacesARandomLaterSlotNeverTheFirst) {
  settings_.modeNum = 5;
  for (int n = 1; n <= 5; ++n) {
    WriteFile(root_ / "2" / (std::to_string(n) + ".dat"), Bytes(kModelBytes, static_cast<std::uint8_t>(n)));
  }
  WriteFile(root_ / "6" / "1.dat", Bytes(kModelBytes, 0x60));
  Load();
  for (unsigned random : {0u, 3u, 4u, 7u}) {
    nextRandom_ = random;  // slot k = random % 4 + 1, file k + 1
    const unsigned k = random % 4 + 1;
    matcher_.Answer(1, 1.2f * settings_.score);
    int id = 0;
    float score = 0;
    const auto value = static_cast<std::uint8_t>(0xA0 + random);
    ASSERT_EQ(store_.userIndex(Blob(value), &id, &score, 1), 1);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(store_.size(), 6u);
    EXPECT_EQ(store_.model(k)[0], value) << random;
    EXPECT_EQ(store_.model(0)[0], 1);  // the enrolment template stays
    EXPECT_EQ(ReadFile(root_ / "2" / (std::to_string(k + 1) + ".dat")), Bytes(kModelBytes, value));
  }
}

TEST_F(Store, FailedEnrichmentWriteRollsBack) {
  WriteFile(root_ / "3" / "1.dat", Bytes(kModelBytes, 0x30));
  Load();
  fs::create_directories(root_ / "3" / "2.dat");  // cannot be written as a file
  matcher_.Answer(0, 1.2f * settings_.score);
  int id = 0;
  float score = 0;
  EXPECT_EQ(store_.userIndex(Blob(0x3B), &id, &score, 1), 1);
  EXPECT_EQ(store_.size(), 1u);
}

TEST_F(Store, EmptyStoreRecognisesNobody) {
  Load();
  int id = -1;
  float score = -1;
  EXPECT_EQ(store_.userIndex(Blob(1), &id, &score, 1), 0);
  EXPECT_EQ(score, 0.0f);
  EXPECT_EQ(matcher_.searchedCount, -1);
}

TEST_F(Store, DeleteRemovesFolderAndEntriesButNeverLinkTargets) {
  WriteFile(root_ / "4" / "1.dat", Bytes(kModelBytes, 4));
  WriteFile(root_ / "4" / "2.dat", Bytes(kModelBytes, 4));
  WriteFile(root_ / "5" / "1.dat", Bytes(kModelBytes, 5));
  WriteFile(outside_ / "keep.txt", Bytes(3, 1));
  fs::create_directory_symlink(outside_, root_ / "4" / "jpg");
  Load();
  EXPECT_EQ(store_.userDel(4), 2);
  EXPECT_FALSE(fs::exists(root_ / "4"));
  EXPECT_TRUE(fs::exists(outside_ / "keep.txt"));
  EXPECT_EQ(store_.ids(), (std::vector<std::uint32_t>{5}));
  EXPECT_EQ(store_.userDel(4), 0);
}

TEST_F(Store, AddUserFolderByItsName) {
  WriteFile(base_ / "extra" / "12" / "a.dat", Bytes(kModelBytes, 0x12));
  WriteFile(base_ / "extra" / "12" / "b.dat", Bytes(kModelBytes, 0x13));
  WriteFile(base_ / "extra" / "12x" / "a.dat", Bytes(kModelBytes, 0x99));
  Load();
  int total = 0;
  EXPECT_EQ(store_.indexAddUser((base_ / "extra" / "12").c_str(), &total), 1);
  EXPECT_EQ(total, 2);
  EXPECT_EQ(store_.indexAddUser((base_ / "extra" / "12").c_str(), &total), 0);  // already there
  EXPECT_EQ(total, -1);
  EXPECT_EQ(store_.indexAddUser((base_ / "extra" / "12x").c_str(), &total), 0);
  const std::string windowsStyle = base_.string() + "/extra\\12";
  EXPECT_EQ(store_.indexAddUser(windowsStyle.c_str(), &total), 0);  // same user, found by name
  EXPECT_EQ(store_.size(), 2u);
}

TEST(UserIds, CanonicalDecimalOnly) {
  struct Case {
    const char* name;
    long long id;  // -1: refused
  };
  const Case cases[] = {{"1", 1},   {"42", 42},  {"4294967295", 4294967295LL}, {"4294967296", -1},
                        {"0", -1},  {"007", -1}, {"+7", -1},                   {"-7", -1},
                        {"7a", -1}, {"", -1},    {" 7", -1}};
  for (const auto& c : cases) {
    const auto id = dravex::parseUserId(c.name);
    EXPECT_EQ(id ? static_cast<long long>(*id) : -1, c.id) << c.name;
  }
}

}  // namespace
