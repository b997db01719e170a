#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "blob/image_blob.h"
#include "dravex.h"
#include "sim_finger/finger_generator.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> Blob(int seed, int capture) {
  return dravex::encodeImageBlob(
      simfinger::FingerImage(static_cast<std::uint64_t>(seed), capture).data());
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A forged template file in the store used to identify any finger as its owner.
TEST(StoreForgery, AForgedTemplateFileIsLeftOutAndIdentifiesNobody) {
  const fs::path root = fs::temp_directory_path() / ("fv_forgery_" + std::to_string(::getpid()));
  fs::remove_all(root);
  const auto enrolment = Blob(5, 0);
  std::vector<std::uint8_t> model(kDrxModelBytes);
  unsigned length = kDrxModelBytes;
  ASSERT_EQ(fv_extract_model(enrolment.data(), static_cast<int>(enrolment.size()), nullptr, 0,
                             nullptr, 0, model.data(), &length),
            1);
  WriteFile(root / "1" / "1.dat", model);
  WriteFile(root / "2" / "1.dat", std::vector<std::uint8_t>(kDrxModelBytes, 0xFF));
  int count = -1;
  ASSERT_EQ(fv_load_model(root.c_str(), &count), 1);
  EXPECT_EQ(count, 1);

  for (int finger : {7, 8, 9}) {
    const auto probe = Blob(finger, 1);
    int id = -1;
    float score = -1;
    EXPECT_EQ(fv_user_index(probe.data(), static_cast<int>(probe.size()), &id, 0, &score, 0), 0)
        << finger;
    EXPECT_EQ(id, -1) << finger;
  }
  const auto owner = Blob(5, 1);
  int id = -1;
  float score = -1;
  EXPECT_EQ(fv_user_index(owner.data(), static_cast<int>(owner.size()), &id, 0, &score, 0), 1);
  EXPECT_EQ(id, 1);
  fv_load_model(nullptr, &count);  // the process-wide store forgets the folder
  fs::remove_all(root);
}

}  // namespace
