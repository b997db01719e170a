#include "feature/code_stream.h"

#include <cstring>

#include "core/alloc.h"

namespace veltrum {

void FinishCodeStream(CodeStream& stream) {
  if (stream.bits > 0 && stream.bits < 32) *stream.word <<= (32 - stream.bits);
}

int ExpandCodeRows(std::uint32_t* codeArea, int rows) {
  const int words = (rows * kCodeBits + 31) / 32;
  // One spare word: a row's last 32-bit read may reach one word past the stream.
  auto packed = AllocArray<std::uint32_t>(static_cast<std::size_t>(words) + 1);
  if (!packed) return -1;
  std::memcpy(packed.get(), codeArea, static_cast<std::size_t>(words) * 4);
  packed[words] = 0;
  std::memset(codeArea, 0, static_cast<std::size_t>(rows) * 16);
  for (int r = 0; r < rows; ++r) {
    std::uint32_t* row = codeArea + r * 4;
    const int start = r * kCodeBits;
    row[0] = StreamBits32(packed.get(), start);
    row[1] = StreamBits32(packed.get(), start + 32);
    row[2] = StreamBits32(packed.get(), start + 64);
    row[3] = StreamBits32(packed.get(), start + 96) >> 24;
  }
  return 0;
}

}  // namespace veltrum
