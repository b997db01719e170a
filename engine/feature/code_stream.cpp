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
  // The 32 stream bits from bit `pos` on, the first in bit 31.
  auto bits32 = [&](int pos) {
    const int w = pos >> 5, o = pos & 31;
    return o == 0 ? packed[w] : (packed[w] << o) | (packed[w + 1] >> (32 - o));
  };
  for (int r = 0; r < rows; ++r) {
    std::uint32_t* row = codeArea + r * 4;
    const int start = r * kCodeBits;
    row[0] = bits32(start);
    row[1] = bits32(start + 32);
    row[2] = bits32(start + 64);
    row[3] = bits32(start + 96) >> 24;
  }
  return 0;
}

}  // namespace veltrum
