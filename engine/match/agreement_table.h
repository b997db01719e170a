#pragma once
// Agreeing bits of two code rows, counted eleven bits at a time.

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace veltrum {

inline constexpr std::array<std::uint8_t, 2048> AgreementTable = [] {
  std::array<std::uint8_t, 2048> t{};
  for (unsigned i = 0; i < t.size(); ++i) t[i] = static_cast<std::uint8_t>(11 - std::popcount(i));
  return t;
}();

// Bits set in each byte of x, summed into the top byte; no table and no processor instruction.
inline std::uint64_t ByteBitCounts(std::uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555u);
  x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
  return (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
}

// The twelve-term count over four code words (three 11-bit fields each). With word 3 using only
// bits 0-7 it lies in 28..132. A word's three fields cover its 32 bits, so the table's twelve
// terms add up to 132 less the bits in which the rows differ, counted here 64 at a time.
inline int CodeRowAgreement(const std::uint32_t* a, const std::uint32_t* b) {
  std::uint64_t a01, a23, b01, b23;
  std::memcpy(&a01, a, 8);
  std::memcpy(&a23, a + 2, 8);
  std::memcpy(&b01, b, 8);
  std::memcpy(&b23, b + 2, 8);
  const std::uint64_t bytes = ByteBitCounts(a01 ^ b01) + ByteBitCounts(a23 ^ b23);  // <= 16 each
  return 132 - static_cast<int>((bytes * 0x0101010101010101u) >> 56);
}

}  // namespace veltrum
