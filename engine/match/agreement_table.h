#pragma once
// Agreeing bits of two code rows, counted eleven bits at a time.

#include <array>
#include <bit>
#include <cstdint>

namespace veltrum {

inline constexpr std::array<std::uint8_t, 2048> AgreementTable = [] {
  std::array<std::uint8_t, 2048> t{};
  for (unsigned i = 0; i < t.size(); ++i) t[i] = static_cast<std::uint8_t>(11 - std::popcount(i));
  return t;
}();

// The twelve-term count over four code words (three 11-bit fields each). With word 3 using only
// bits 0-7 it lies in 28..132.
inline int CodeRowAgreement(const std::uint32_t* a, const std::uint32_t* b) {
  int g = 0;
  for (int w = 0; w < 4; ++w) {
    const std::uint32_t x = a[w] ^ b[w];
    g += AgreementTable[x & 0x7FF] + AgreementTable[(x >> 11) & 0x7FF] + AgreementTable[x >> 22];
  }
  return g;
}

}  // namespace veltrum
