#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "blob/image_blob.h"
#include "blob/jpeg_header.h"
#include "common/log.h"
#include "fvplatform/debug_output.h"
#include "sim_finger/finger_generator.h"
#include "veltrum.h"

namespace {

using dravex::decodeBlobBytes;
using dravex::decodeImageBlob;
using dravex::encodeImageBlob;

std::vector<std::uint8_t> Decipher(const std::vector<std::uint8_t>& blob) {
  std::vector<std::uint8_t> plain(blob.size());
  VLT_Decrypt(plain.data(), blob.data(), static_cast<int>(blob.size()));
  return plain;
}

// A well-formed blob of any grey image.
std::vector<std::uint8_t> BlobOf(const cv::Mat& image) {
  std::vector<std::uint8_t> jpeg;
  cv::imencode(".jpg", image, jpeg, {cv::IMWRITE_JPEG_QUALITY, 85});
  jpeg.resize((jpeg.size() + 15) / 16 * 16, 0);
  std::vector<std::uint8_t> blob(jpeg.size());
  VLT_Encrypt(blob.data(), jpeg.data(), static_cast<int>(jpeg.size()));
  return blob;
}

TEST(ImageBlob, EncodesPaddedEncipheredJpeg) {
  const auto frame = simfinger::FingerImage(5, 0);
  const auto blob = encodeImageBlob(frame.data());
  ASSERT_FALSE(blob.empty());
  EXPECT_EQ(blob.size() % 16, 0u);
  EXPECT_LT(blob.size(), 30000u);
  const auto plain = Decipher(blob);
  ASSERT_GE(plain.size(), 4u);
  EXPECT_EQ(plain[0], 0xFF);
  EXPECT_EQ(plain[1], 0xD8);
  // The JPEG ends with its end marker, followed by at most 15 zero bytes.
  std::size_t end = plain.size();
  while (end > 0 && plain[end - 1] == 0) --end;
  ASSERT_GE(end, 2u);
  EXPECT_EQ(plain[end - 2], 0xFF);
  EXPECT_EQ(plain[end - 1], 0xD9);
  EXPECT_LE(plain.size() - end, 15u);
  EXPECT_EQ(encodeImageBlob(frame.data()), blob);  // deterministic
}

TEST(ImageBlob, RoundTripStaysCloseToTheFrame) {
  const auto frame = simfinger::FingerImage(6, 1);
  const auto blob = encodeImageBlob(frame.data());
  std::vector<std::uint8_t> image(dravex::kFrameBytes, 0);
  const auto result = decodeImageBlob(blob, image.data());
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.error, 0);
  double total = 0;
  int worst = 0;
  for (std::size_t i = 0; i < image.size(); ++i) {
    const int d = std::abs(image[i] - frame[i]);
    total += d;
    worst = std::max(worst, d);
  }
  EXPECT_LT(total / image.size(), 2.0);
  EXPECT_LT(worst, 24);
}

TEST(ImageBlob, RefusedInputsGiveTheirCodes) {
  std::vector<std::uint8_t> image(dravex::kFrameBytes, 0x77);
  std::vector<std::uint8_t> noise(4096);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(std::rand());
  struct Case {
    const char* what;
    std::vector<std::uint8_t> blob;
    int error;
  };
  const Case cases[] = {
      {"empty", {}, dravex::kErrEmptyImage},
      {"random bytes", noise, dravex::kErrImageSize},
      {"640 x 480", BlobOf(cv::Mat(480, 640, CV_8UC1, cv::Scalar(100))), dravex::kErrImageSize},
      {"320 x 241", BlobOf(cv::Mat(241, 320, CV_8UC1, cv::Scalar(100))), dravex::kErrImageSize},
  };
  for (const auto& c : cases) {
    const auto result = decodeImageBlob(c.blob, image.data());
    EXPECT_FALSE(result.ok) << c.what;
    EXPECT_EQ(result.error, c.error) << c.what;
  }
  EXPECT_EQ(image, std::vector<std::uint8_t>(dravex::kFrameBytes, 0x77));
}

TEST(ImageBlob, NullOrEmptyBytesFailWithoutACode) {
  std::vector<std::uint8_t> image(dravex::kFrameBytes);
  const std::uint8_t byte = 1;
  for (const auto& result : {decodeBlobBytes(nullptr, 16, image.data()),
                             decodeBlobBytes(&byte, 0, image.data()),
                             decodeBlobBytes(&byte, -4, image.data())}) {
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.has_value());
  }
}

TEST(ImageBlob, PartialLastBlockReadsAsZeros) {
  const auto frame = simfinger::FingerImage(7, 0);
  auto blob = encodeImageBlob(frame.data());
  blob.insert(blob.end(), {0x12, 0x34, 0x56});  // not a whole block: never deciphered
  std::vector<std::uint8_t> image(dravex::kFrameBytes);
  EXPECT_TRUE(decodeBlobBytes(blob.data(), static_cast<int>(blob.size()), image.data()).ok);
}

TEST(ImageBlob, HeaderIsCheckedBeforeDecoding) {
  const auto jpeg = Decipher(encodeImageBlob(simfinger::FingerImage(8, 0).data()));
  auto reencipher = [](std::vector<std::uint8_t> plain) {
    plain.resize((plain.size() + 15) / 16 * 16, 0);
    std::vector<std::uint8_t> blob(plain.size());
    VLT_Encrypt(blob.data(), plain.data(), static_cast<int>(plain.size()));
    return blob;
  };
  // A frame header announcing 16000 x 16000 is refused before anything is decoded.
  auto huge = jpeg;
  const std::size_t sof = [&] {
    for (std::size_t i = 2; i + 1 < huge.size(); ++i) {
      if (huge[i] == 0xFF && huge[i + 1] == 0xC0) return i;
    }
    return std::size_t{0};
  }();
  ASSERT_GT(sof, 0u);
  huge[sof + 5] = huge[sof + 7] = 0x3E;  // height and width 0x3E80
  huge[sof + 6] = huge[sof + 8] = 0x80;
  // A stream cut before its frame header says nothing about its size.
  const std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(sof));
  std::vector<std::uint8_t> image(dravex::kFrameBytes, 0x55);
  for (const auto& plain : {huge, cut}) {
    const auto result = decodeImageBlob(reencipher(plain), image.data());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, dravex::kErrImageSize);
  }
  EXPECT_EQ(image, std::vector<std::uint8_t>(dravex::kFrameBytes, 0x55));

  struct Case {
    std::vector<std::uint8_t> bytes;
    bool found;
    int width, height;
  };
  const Case cases[] = {
      {{0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0xF0, 0x01, 0x40, 0x01, 0x01, 0x11, 0x00},
       true, 320, 240},
      {{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xC2, 0x00, 0x0B, 0x08, 0xFF, 0xFF,
        0xFF, 0xFF, 0x01, 0x01, 0x11, 0x00},
       true, 65535, 65535},
      {{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01}, false, 0, 0},               // length below 2
      {{0xFF, 0xD8, 0xFF, 0xE0, 0x7F, 0xFF, 0x00}, false, 0, 0},         // runs past the end
      {{0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x08}, false, 0, 0},               // scan before a frame
      {{0x89, 0x50, 0x4E, 0x47}, false, 0, 0},                            // not a JPEG
  };
  for (const auto& c : cases) {
    const auto size = dravex::readJpegFrameSize(c.bytes.data(), c.bytes.size());
    ASSERT_EQ(size.has_value(), c.found);
    if (size) {
      EXPECT_EQ(size->width, c.width);
      EXPECT_EQ(size->height, c.height);
    }
  }
}

// What `run` writes to standard error (the file descriptor, as libjpeg's default writes it).
std::string StandardErrorOf(const std::function<void()>& run) {
  std::fflush(stderr);
  std::FILE* file = std::tmpfile();
  const int saved = ::dup(2);
  ::dup2(::fileno(file), 2);
  run();
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  std::string text;
  std::rewind(file);
  for (int ch; (ch = std::fgetc(file)) != EOF;) text += static_cast<char>(ch);
  std::fclose(file);
  return text;
}

// The decoder's warnings are log lines of level 0: shown from debug level 0 down, never on
// standard error by themselves.
TEST(ImageBlob, DecoderWarningsGoToTheLog) {
  auto jpeg = Decipher(encodeImageBlob(simfinger::FingerImage(9, 0).data()));
  std::size_t scan = 2;
  while (scan + 1 < jpeg.size() && !(jpeg[scan] == 0xFF && jpeg[scan + 1] == 0xDA)) ++scan;
  ASSERT_LT(scan + 1, jpeg.size());
  jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(scan), 5, 0x11);  // junk before the scan
  jpeg.resize((jpeg.size() + 15) / 16 * 16, 0);
  std::vector<std::uint8_t> blob(jpeg.size());
  VLT_Encrypt(blob.data(), jpeg.data(), static_cast<int>(jpeg.size()));

  std::string lines;
  auto previous = fvplat::SetDebugOutputSink([&](std::string_view text) { lines += text; });
  const std::string warning = "Corrupt JPEG data: 5 extraneous bytes before marker 0xda\n";
  for (const int level : {2, 1, 0}) {
    lines.clear();
    dravex::setDebugLevelValue(level);
    std::vector<std::uint8_t> image(dravex::kFrameBytes);
    const std::string errors = StandardErrorOf([&] { EXPECT_TRUE(decodeImageBlob(blob, image.data()).ok); });
    EXPECT_EQ(errors, "") << level;
    EXPECT_EQ(lines.find(warning) != std::string::npos, level <= 0) << level << ": " << lines;
  }
  dravex::setDebugLevelValue(dravex::kDefaultDebugLevel);
  fvplat::SetDebugOutputSink(std::move(previous));
}

}  // namespace
