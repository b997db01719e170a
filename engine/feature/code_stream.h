#pragma once
// Packed code streams: consecutive 104-bit cell codes in 32-bit words, most significant bit
// first; and their expansion into four-word code rows.

#include <cstdint>

namespace veltrum {

inline constexpr int kCodeBits = 104;

// Write position of a packed stream; `bits` (0..32) counts the bits in the current word.
struct CodeStream {
  std::uint32_t* word;
  int bits = 0;
};

inline void PushCodeBit(CodeStream& s, bool bit) {
  if (s.bits == 32) {
    ++s.word;
    s.bits = 0;
  }
  if (s.bits == 0) *s.word = 0;
  *s.word = (*s.word << 1) | (bit ? 1u : 0u);
  ++s.bits;
}

// The low `n` (1..32) bits of `value`, highest first: the same words as n calls of PushCodeBit,
// a word's worth at a time.
inline void PushCodeBits(CodeStream& s, std::uint32_t value, int n) {
  while (n > 0) {
    if (s.bits == 32) {
      ++s.word;
      s.bits = 0;
    }
    const int k = n < 32 - s.bits ? n : 32 - s.bits;
    const std::uint32_t chunk = k == 32 ? value : (value >> (n - k)) & ((1u << k) - 1u);
    *s.word = s.bits == 0 ? chunk : (*s.word << k) | chunk;
    s.bits += k;
    n -= k;
  }
}

// The 32 stream bits from bit `pos` on, the first in bit 31. Reads the word after the one that
// holds bit `pos` unless `pos` starts a word.
inline std::uint32_t StreamBits32(const std::uint32_t* stream, int pos) {
  const int w = pos >> 5, o = pos & 31;
  return o == 0 ? stream[w] : (stream[w] << o) | (stream[w + 1] >> (32 - o));
}

// Moves the last partial word's bits up to bit 31.
void FinishCodeStream(CodeStream& stream);

// Expands `rows` packed rows in place into rows of four words (bits 0-95 in words 0-2 from
// bit 31 down, bits 96-103 in word 3's low byte). The area must hold rows x 16 bytes. 0 or -1.
int ExpandCodeRows(std::uint32_t* codeArea, int rows);

}  // namespace veltrum
