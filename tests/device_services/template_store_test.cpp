#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "store/template_store.h"

namespace {

namespace fs = std::filesystem;
using dravex::BlobRef;

// Templates are filled with the first byte of the first blob; searches answer as scripted.
class FakeMatcher : public dravex::StoreMatcher {
 public:
  bool extractModel(const BlobRef (&blobs)[3], std::uint8_t* model) override {
    if (!blobs[0].present()) return false;
    std::fill(model, model + kDrxModelBytes, blobs[0].data[0]);
    return true;
  }
  bool index(const std::uint8_t*, int count, BlobRef, int* position, float* similarity) override {
    searchedCount = count;
    *position = position_;
    *similarity = similarity_;
    return true;
  }
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

  // A template as a short printable key: its first byte and a hash of all of its bytes.
  using Templates = std::map<std::uint32_t, std::multiset<std::string>>;
  static std::string Key(const std::uint8_t* model) {
    std::uint64_t hash = 1469598103934665603ull;
    for (int i = 0; i < kDrxModelBytes; ++i) hash = (hash ^ model[i]) * 1099511628211ull;
    return std::to_string(model[0]) + "/" + std::to_string(hash);
  }
  // Every user's templates as a fresh load of the root finds them.
  Templates OnDisk() {
    FakeMatcher matcher;
    dravex::TemplateStore fresh(matcher, settings_, [] { return 0u; });
    int count = 0;
    fresh.loadModel(root_.c_str(), &count);
    return TemplatesOf(fresh);
  }
  static Templates TemplatesOf(const dravex::TemplateStore& store) {
    Templates users;
    for (std::size_t e = 0; e < store.size(); ++e) users[store.ids()[e]].insert(Key(store.model(e)));
    return users;
  }
  void ExpectDiskMatchesMemory(const char* what = "") {
    EXPECT_EQ(OnDisk(), TemplatesOf(store_)) << what;
  }
  // Files 1.dat, 2.dat ... of `user`, template byte = file number, or the given numbers.
  void WriteUser(std::uint32_t user, std::initializer_list<int> numbers) {
    for (int n : numbers) {
      WriteFile(root_ / std::to_string(user) / (std::to_string(n) + ".dat"),
                Bytes(kDrxModelBytes, static_cast<std::uint8_t>(n)));
    }
  }

  fs::path base_, root_, outside_;
  FakeMatcher matcher_;
  void SetModeNum(int modeNum) {
    dravex::Settings values = settings_.get();
    values.modeNum = modeNum;
    settings_.set(values);
  }
  float Score() const { return settings_.get().score; }

  dravex::SharedSettings settings_;
  unsigned nextRandom_ = 0;
  dravex::TemplateStore store_{matcher_, settings_, [this] { return nextRandom_; }};
  std::vector<std::vector<std::uint8_t>> blobs_;
};

TEST_F(Store, LoadsOnlyCanonicalUserFoldersAndTemplateSizedRealFiles) {
  WriteFile(root_ / "1" / "1.dat", Bytes(kDrxModelBytes, 0x11));
  WriteFile(root_ / "1" / "2.dat", Bytes(kDrxModelBytes, 0x12));
  WriteFile(root_ / "1" / "notes.txt", Bytes(10, 0));
  WriteFile(root_ / "2" / "1.dat", Bytes(kDrxModelBytes + 1, 0x21));  // wrong size
  WriteFile(root_ / "2" / "7.dat", Bytes(kDrxModelBytes, 0x27));     // any name of the right size
  for (const char* ignored : {"0", "abc", "05", "+3", "4x"}) {
    WriteFile(root_ / ignored / "1.dat", Bytes(kDrxModelBytes, 0x99));
  }
  WriteFile(outside_ / "9" / "1.dat", Bytes(kDrxModelBytes, 0x99));
  fs::create_directory_symlink(outside_ / "9", root_ / "9");
  fs::create_symlink(outside_ / "9" / "1.dat", root_ / "1" / "3.dat");
  EXPECT_EQ(Load(), 3);
  EXPECT_EQ(store_.ids(), (std::vector<std::uint32_t>{1, 1, 2}));
  EXPECT_EQ(store_.model(0)[0], 0x11);
  EXPECT_EQ(store_.model(1)[0], 0x12);
  EXPECT_EQ(store_.model(2)[0], 0x27);
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
  for (int user : {1, 2, 4}) WriteFile(root_ / std::to_string(user) / "1.dat", Bytes(kDrxModelBytes, 1));
  Load();
  int id = 0;
  ASSERT_EQ(store_.userAdd(Blob(0x33), Blob(0x34), {}, &id), 1);
  EXPECT_EQ(id, 3);
  EXPECT_EQ(ReadFile(root_ / "3" / "1.dat"), Bytes(kDrxModelBytes, 0x33));
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
  WriteFile(root_ / "5" / "1.dat", Bytes(kDrxModelBytes, 5));
  Load();
  int id = 5;
  EXPECT_EQ(store_.userAdd(Blob(1), {}, {}, &id), 0);  // already enrolled
  id = 6;
  EXPECT_EQ(store_.userAdd({}, Blob(1), {}, &id), 0);  // no first image
  // A user folder that links elsewhere is never written through.
  fs::create_directory_symlink(outside_, root_ / "8");
  id = 8;
  EXPECT_EQ(store_.userAdd(Blob(1), {}, {}, &id), 0);
  EXPECT_FALSE(fs::exists(outside_ / "1.dat"));
  EXPECT_EQ(store_.size(), 1u);
}

// An id whose folder is on disk is someone's, even when none of it is in memory: their files
// are never written over, nor would their other templates match as the new person.
TEST_F(Store, AddRefusesAnExplicitIdWhoseFolderIsOnDisk) {
  Load();
  WriteUser(5, {1, 2});                           // enrolled since the load
  WriteFile(root_ / "6" / "1.dat", Bytes(100, 6));  // a template that did not load
  fs::create_directories(root_ / "7" / "1.dat");  // not even a file
  for (int user : {5, 6, 7}) {
    int id = user;
    EXPECT_EQ(store_.userAdd(Blob(0x50), {}, {}, &id), 0) << user;
    EXPECT_EQ(id, user);
  }
  EXPECT_EQ(ReadFile(root_ / "5" / "1.dat"), Bytes(kDrxModelBytes, 1));
  EXPECT_EQ(ReadFile(root_ / "6" / "1.dat"), Bytes(100, 6));
  EXPECT_EQ(store_.size(), 0u);
}

TEST_F(Store, IdentificationThresholdsAndEnrichment) {
    SetModeNum(5);
  WriteFile(root_ / "3" / "1.dat", Bytes(kDrxModelBytes, 0x30));
  Load();
  struct Case {
    const char* what;
    float similarity;
    int update;
    int result;
    std::size_t sizeAfter;
  };
  const float s = Score();
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
  EXPECT_EQ(ReadFile(root_ / "3" / "2.dat"), Bytes(kDrxModelBytes, 0x3A));
  EXPECT_EQ(ReadFile(root_ / "3" / "jpg" / "2.jpg"), Bytes(64, 0x3A));
}

TEST_F(Store, LoadsFilesAndFoldersInNumericOrder) {
  WriteUser(10, {1});
  WriteUser(2, {10, 2, 1});
  EXPECT_EQ(Load(), 4);
  EXPECT_EQ(store_.ids(), (std::vector<std::uint32_t>{2, 2, 2, 10}));
  EXPECT_EQ(store_.model(0)[0], 1);
  EXPECT_EQ(store_.model(1)[0], 2);
  EXPECT_EQ(store_.model(2)[0], 10);
}

// Which of a full user's templates an enrichment replaces: slot k = random % (ModeNum - 1) + 1,
// the user's (k + 1)-th entry in store order, rewritten in the file it was read from.
TEST_F(Store, FullUserReplacesTheChosenLaterSlotInItsOwnFile) {
  SetModeNum(5);
  WriteFile(root_ / "1" / "1.dat", Bytes(kDrxModelBytes, 0x60));
  WriteUser(2, {1, 2, 3, 5, 9});
  struct Case {
    unsigned random;
    const char* file;  // worked out by hand for the files 1, 2, 3, 5, 9
  };
  const Case cases[] = {{0, "2.dat"}, {1, "3.dat"}, {2, "5.dat"}, {3, "9.dat"}, {4, "2.dat"}, {7, "9.dat"}};
  for (const auto& c : cases) {
    Load();
    nextRandom_ = c.random;
    matcher_.Answer(2, 1.2f * Score());
    int id = 0;
    float score = 0;
    const auto value = static_cast<std::uint8_t>(0xA0 + c.random);
    ASSERT_EQ(store_.userIndex(Blob(value), &id, &score, 1), 1);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(store_.size(), 6u) << c.random;
    EXPECT_EQ(ReadFile(root_ / "2" / c.file), Bytes(kDrxModelBytes, value)) << c.random;
    EXPECT_EQ(ReadFile(root_ / "2" / "jpg" / (fs::path(c.file).stem().string() + ".jpg")), Bytes(64, value));
    EXPECT_EQ(ReadFile(root_ / "2" / "1.dat"), Bytes(kDrxModelBytes, 1)) << "the enrolment template stays";
    ExpectDiskMatchesMemory();
    WriteUser(2, {1, 2, 3, 5, 9});
  }
}

TEST_F(Store, AUserBelowModeNumGetsATemplateMoreAtModeNumNone) {
  SetModeNum(5);
  WriteUser(4, {1, 2, 3, 4});
  Load();
  matcher_.Answer(0, 1.2f * Score());
  int id = 0;
  float score = 0;
  ASSERT_EQ(store_.userIndex(Blob(0x45), &id, &score, 1), 1);
  EXPECT_EQ(store_.size(), 5u);
  EXPECT_EQ(ReadFile(root_ / "4" / "5.dat"), Bytes(kDrxModelBytes, 0x45));
  nextRandom_ = 0;
  ASSERT_EQ(store_.userIndex(Blob(0x46), &id, &score, 1), 1);
  EXPECT_EQ(store_.size(), 5u);  // full now: the second entry was replaced
  EXPECT_EQ(ReadFile(root_ / "4" / "2.dat"), Bytes(kDrxModelBytes, 0x46));
  ExpectDiskMatchesMemory();
}

// A new template takes the first number whose file is free; nothing on disk is written over,
// however the user's numbering looks.
TEST_F(Store, EnrichmentNeverWritesOverAFileOnDisk) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> lay;  // the user's folder as found
    const char* expected;                     // the file the new template goes to
  };
  const Case cases[] = {
      {"truncated 2.dat between good ones",
       [](const fs::path& f) {
         WriteFile(f / "1.dat", Bytes(kDrxModelBytes, 1));
         WriteFile(f / "2.dat", Bytes(100, 2));
         WriteFile(f / "3.dat", Bytes(kDrxModelBytes, 3));
       },
       "4.dat"},
      {"a gap in the numbering",
       [](const fs::path& f) {
         WriteFile(f / "1.dat", Bytes(kDrxModelBytes, 1));
         WriteFile(f / "3.dat", Bytes(kDrxModelBytes, 3));
       },
       "2.dat"},
      {"a folder named 2.dat",
       [](const fs::path& f) {
         WriteFile(f / "1.dat", Bytes(kDrxModelBytes, 1));
         fs::create_directories(f / "2.dat");
       },
       "3.dat"},
      {"the image of a lost 2.dat",
       [](const fs::path& f) {
         WriteFile(f / "1.dat", Bytes(kDrxModelBytes, 1));
         WriteFile(f / "jpg" / "2.jpg", Bytes(64, 2));
       },
       "3.dat"},
  };
  SetModeNum(5);
  for (const auto& c : cases) {
    fs::remove_all(root_ / "3");
    c.lay(root_ / "3");
    std::map<fs::path, std::vector<std::uint8_t>> before;
    for (const auto& entry : fs::recursive_directory_iterator(root_ / "3")) {
      if (entry.is_regular_file()) before[entry.path()] = ReadFile(entry.path());
    }
    const std::size_t loaded = static_cast<std::size_t>(Load());
    matcher_.Answer(0, 1.2f * Score());
    int id = 0;
    float score = 0;
    ASSERT_EQ(store_.userIndex(Blob(0x3A), &id, &score, 1), 1) << c.what;
    EXPECT_EQ(store_.size(), loaded + 1) << c.what;
    EXPECT_EQ(ReadFile(root_ / "3" / c.expected), Bytes(kDrxModelBytes, 0x3A)) << c.what;
    for (const auto& [file, bytes] : before) EXPECT_EQ(ReadFile(file), bytes) << c.what << " " << file;
    ExpectDiskMatchesMemory(c.what);
  }
}

TEST_F(Store, AReplacedTemplateFromAnotherFolderMovesIntoTheRoot) {
  SetModeNum(2);
  WriteFile(base_ / "extra" / "12" / "a.dat", Bytes(kDrxModelBytes, 0x12));
  WriteFile(base_ / "extra" / "12" / "b.dat", Bytes(kDrxModelBytes, 0x13));
  Load();
  int total = 0;
  ASSERT_EQ(store_.indexAddUser((base_ / "extra" / "12").c_str(), &total), 1);
  matcher_.Answer(0, 1.2f * Score());
  int id = 0;
  float score = 0;
  ASSERT_EQ(store_.userIndex(Blob(0x77), &id, &score, 1), 1);
  EXPECT_EQ(store_.model(1)[0], 0x77);
  EXPECT_EQ(ReadFile(base_ / "extra" / "12" / "b.dat"), Bytes(kDrxModelBytes, 0x13));
  EXPECT_EQ(ReadFile(root_ / "12" / "2.dat"), Bytes(kDrxModelBytes, 0x77));
}

TEST_F(Store, EmptyStoreRecognisesNobody) {
  Load();
  int id = -1;
  float score = 0;
  EXPECT_EQ(store_.userIndex(Blob(1), &id, &score, 1), 0);
  EXPECT_EQ(score, -1.0f);
  EXPECT_EQ(id, -1);
}

// The writing process is stopped a third of the way into its first template file by a file-size
// limit: killed by SIGXFSZ, or, with the signal ignored, its write failing. Every template on disk
// before stays as it was, and a survivor's memory still matches its disk.
TEST_F(Store, AWriteStoppedHalfwayLosesNoEarlierTemplate) {
  SetModeNum(5);
  WriteUser(2, {1, 2, 3, 4, 5});
  WriteUser(3, {1});
  struct Operation {
    const char* what;
    std::function<int(dravex::TemplateStore&)> run;
  };
  const Operation operations[] = {
      {"replace a full user's template",
       [&](dravex::TemplateStore& store) {
         nextRandom_ = 1;  // the third entry: 3.dat
         matcher_.Answer(1, 1.2f * Score());
         int id = 0;
         float score = 0;
         return store.userIndex(Blob(0xE1), &id, &score, 1);
       }},
      {"add a template to a user",
       [&](dravex::TemplateStore& store) {
         matcher_.Answer(5, 1.2f * Score());
         int id = 0;
         float score = 0;
         return store.userIndex(Blob(0xE2), &id, &score, 1);
       }},
      {"enrol a new user",
       [&](dravex::TemplateStore& store) {
         int id = 0;
         return store.userAdd(Blob(0xE3), {}, {}, &id);
       }},
  };
  const auto before = OnDisk();
  ASSERT_EQ(before.at(2).size(), 5u);
  for (const auto& operation : operations) {
    for (const bool killed : {true, false}) {
      Load();
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        const rlimit noCore{0, 0}, small{1000, 1000};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &small);
        const std::size_t size = store_.size();
        operation.run(store_);
        // Only a survivor gets here: its failed write changed nothing in memory either.
        ::_exit(store_.size() == size && TemplatesOf(store_) == before ? 0 : 1);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      if (killed) {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << operation.what;
      } else {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << operation.what;
      }
      EXPECT_EQ(OnDisk(), before) << operation.what << (killed ? ", killed" : ", failed");
    }
  }
}

TEST_F(Store, DeleteRemovesFolderAndEntriesButNeverLinkTargets) {
  WriteFile(root_ / "4" / "1.dat", Bytes(kDrxModelBytes, 4));
  WriteFile(root_ / "4" / "2.dat", Bytes(kDrxModelBytes, 4));
  WriteFile(root_ / "5" / "1.dat", Bytes(kDrxModelBytes, 5));
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
  WriteFile(base_ / "extra" / "12" / "a.dat", Bytes(kDrxModelBytes, 0x12));
  WriteFile(base_ / "extra" / "12" / "b.dat", Bytes(kDrxModelBytes, 0x13));
  WriteFile(base_ / "extra" / "12x" / "a.dat", Bytes(kDrxModelBytes, 0x99));
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
