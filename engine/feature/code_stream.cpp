#include "feature/code_stream.h"

#include <cstring>

#include "core/alloc.h"

namespace veltrum {

void FinishCodeStream(CodeStream& stream) {
  if (stream.bits > 0 && stream.bits < 32) *stream.word <<= (32 - stream.bits);
}

int ExpandCodeRows(std::uint32_t* codeArea, int rows) {
  const int words = (rows * kCodeBits + 31) / 32;
  auto packed = AllocArray<std::uint32_t>(static_cast<std::size_t>(words));
  if (!packed) return -1;
  std::memcpy(packed.get(), codeArea, static_cast<std::size_t>(words) * 4);
  std::memset(codeArea, 0, static_cast<std::size_t>(rows) * 16);
  int bit = 0;
  auto next = [&] {
    const bool v = (packed[bit >> 5] >> (31 - (bit & 31))) & 1u;
    ++bit;
    return v ? 1u : 0u;
  };
  for (int r = 0; r < rows; ++r) {
    std::uint32_t* row = codeArea + r * 4;
    for (int w = 0; w < 3; ++w) {
      for (int b = 0; b < 32; ++b) row[w] = (row[w] << 1) | next();
    }
    for (int b = 0; b < 8; ++b) row[3] = (row[3] << 1) | next();
  }
  return 0;
}

}  // namespace veltrum
