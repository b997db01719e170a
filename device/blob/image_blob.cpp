#include "blob/image_blob.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <cstring>

#include "blob/jpeg_decode.h"
#include "blob/jpeg_header.h"
#include "common/log.h"
#include "fvplatform/clock.h"
#include "veltrum.h"

namespace dravex {
namespace {

std::size_t RoundUp16(std::size_t n) { return (n + 15) & ~static_cast<std::size_t>(15); }

}  // namespace

std::vector<std::uint8_t> encodeImageBlob(const std::uint8_t* frame) {
  const auto start = fvplat::ClockMs();
  std::vector<std::uint8_t> jpeg;
  try {
    const cv::Mat image(kFrameHeight, kFrameWidth, CV_8UC1,
                        const_cast<std::uint8_t*>(frame));
    cv::imencode(".jpg", image, jpeg, {cv::IMWRITE_JPEG_QUALITY, 85});
  } catch (...) {
    return {};  // nothing can be encoded without memory; the caller sees an empty blob
  }
  jpeg.resize(RoundUp16(jpeg.size()), 0);
  logMessage(0, "encode_jpeg_m time = %d\n", static_cast<int>(fvplat::ClockMs() - start));
  std::vector<std::uint8_t> blob(jpeg.size());
  VLT_Encrypt(blob.data(), jpeg.data(), static_cast<int>(jpeg.size()));
  return blob;
}

BlobDecodeResult decodeImageBlob(const std::vector<std::uint8_t>& blob, std::uint8_t* image) {
  if (blob.empty()) return {false, kErrEmptyImage};
  // Whole blocks only: the bytes of a partial last block read as zeros.
  std::vector<std::uint8_t> plain(RoundUp16(blob.size()), 0);
  std::vector<std::uint8_t> cipher(plain.size(), 0);
  std::memcpy(cipher.data(), blob.data(), blob.size());
  const int status = VLT_Decrypt(plain.data(), cipher.data(), static_cast<int>(blob.size()));
  const auto size = readJpegFrameSize(plain.data(), plain.size());
  if (!size || size->width != kFrameWidth || size->height != kFrameHeight) {
    return {false, kErrImageSize};
  }
  const auto start = fvplat::ClockMs();
  const bool decoded = decodeGreyJpeg(plain.data(), plain.size(), kFrameWidth, kFrameHeight, image);
  logMessage(0, "decode_jpeg_m  time = %d\n", static_cast<int>(fvplat::ClockMs() - start));
  if (!decoded) return {false, kErrImageSize};
  return {true, status};
}

BlobDecodeResult decodeBlobBytes(const std::uint8_t* data, int length, std::uint8_t* image) {
  if (data == nullptr || length <= 0 || image == nullptr) return {};
  return decodeImageBlob(std::vector<std::uint8_t>(data, data + length), image);
}

}  // namespace dravex
