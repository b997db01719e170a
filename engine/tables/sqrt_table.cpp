#include "tables/sqrt_table.h"

namespace veltrum {
namespace {

// Exact in integers: round(sqrt(2^20 i)) is n + 1 when (2n + 1)^2 <= 2^22 i (no ties can occur).
constexpr std::array<std::uint16_t, 1025> MakeSqrtTable() {
  std::array<std::uint16_t, 1025> table{};
  std::uint64_t root = 0;  // floor(sqrt(2^20 i)), rising with i
  for (std::uint64_t i = 0; i <= 1024; ++i) {
    const std::uint64_t target = i << 20;
    while ((root + 1) * (root + 1) <= target) ++root;
    const bool up = (2 * root + 1) * (2 * root + 1) <= 4 * target;
    table[i] = static_cast<std::uint16_t>(up ? root + 1 : root);
  }
  return table;
}

}  // namespace

constinit const std::array<std::uint16_t, 1025> SqrtTable1024 = MakeSqrtTable();

}  // namespace veltrum
