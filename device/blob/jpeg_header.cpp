#include "blob/jpeg_header.h"

namespace dravex {
namespace {

bool IsStartOfFrame(std::uint8_t marker) {
  // SOF0..SOF15 but DHT (C4), JPG (C8) and DAC (CC).
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool IsStandalone(std::uint8_t marker) {
  return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

}  // namespace

std::optional<JpegFrameSize> readJpegFrameSize(const std::uint8_t* data, std::size_t length) {
  if (data == nullptr || length < 4 || data[0] != 0xFF || data[1] != 0xD8) return std::nullopt;
  std::size_t pos = 2;
  while (pos + 1 < length) {
    if (data[pos] != 0xFF) return std::nullopt;
    while (pos < length && data[pos] == 0xFF) ++pos;  // fill bytes
    if (pos >= length) return std::nullopt;
    const std::uint8_t marker = data[pos++];
    if (IsStandalone(marker)) continue;
    if (marker == 0xD9 || marker == 0xDA || pos + 2 > length) return std::nullopt;
    const std::size_t segment = (static_cast<std::size_t>(data[pos]) << 8) | data[pos + 1];
    if (segment < 2 || pos + segment > length) return std::nullopt;
    if (IsStartOfFrame(marker)) {
      if (segment < 8) return std::nullopt;
      const int height = (data[pos + 3] << 8) | data[pos + 4];
      const int width = (data[pos + 5] << 8) | data[pos + 6];
      return JpegFrameSize{width, height, data[pos + 7]};
    }
    pos += segment;
  }
  return std::nullopt;
}

}  // namespace dravex
