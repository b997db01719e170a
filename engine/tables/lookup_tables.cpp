#include "tables/lookup_tables.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

#include "tables/cell_norm_table.h"
#include "tables/sqrt_table.h"

namespace veltrum {
namespace {

LookupTables g_tables{};
std::once_flag g_built;

void BuildScaledRoot(LookupTables& t) {
  for (int i = 0; i < 256; ++i) {
    std::int64_t x = 100 * std::max(i - 10, 0);
    int c = 0;
    while (x > 1024) {
      x >>= 2;
      ++c;
    }
    t.ScaledRootTable[i] =
        static_cast<std::uint8_t>((static_cast<std::int64_t>(SqrtTable1024[x]) << c) >> 10);
  }
}

// 1 / (scale * t * sqrt(t)) with t = 1 + x^2 / divisor, all in single precision, left to right.
void BuildFalloff(std::array<float, 512>& table, float divisor, float scale) {
  for (int x = -256; x < 256; ++x) {
    const float t = 1.0f + static_cast<float>(x * x) / divisor;
    const float denominator = scale * t * std::sqrt(t);
    table[x + 256] = 1.0f / denominator;
  }
}

void BuildWindows(LookupTables& t) {
  for (int r = 0; r < 240; ++r) {
    t.WindowRows3[r] = {static_cast<std::uint16_t>(std::max(r - 3, 0)),
                        static_cast<std::uint16_t>(std::min(r + 3, 239))};
  }
  for (int c = 0; c < 320; ++c) {
    t.WindowCols3[c] = {static_cast<std::uint16_t>(std::max(c - 3, 0)),
                        static_cast<std::uint16_t>(std::min(c + 3, 319))};
  }
}

void BuildOrientedLines(LookupTables& t) {
  const float pi = 3.14159265358979323846f;
  int index = 0;
  for (int k = 0; k < 32; ++k) {
    const float a = static_cast<float>(k) * pi * 0.03125f;
    const double s = std::sin(static_cast<double>(a));
    const double c = std::cos(static_cast<double>(a));
    for (int r = -11; r <= 12; ++r) {
      for (int j = -4; j <= 4; j += 2) {
        const int dy = static_cast<int>(std::floor(j * s + r * c + 0.5));
        const int dx = static_cast<int>(std::floor(j * c - r * s + 0.5));
        t.OrientedLineOffsets[index++] = static_cast<std::int16_t>(288 * dy + dx);
      }
    }
  }
}

void Build() {
  // Built aside and published once, so no reader ever sees a half-written table.
  auto t = std::make_unique<LookupTables>();
  BuildScaledRoot(*t);
  BuildFalloff(t->FalloffTable256, 256.0f, 1.0f);
  BuildFalloff(t->FalloffTable320, 320.0f, 1.25f);
  BuildFalloff(t->FalloffTable512, 512.0f, 2.0f);
  for (int i = 0; i < 1024; ++i) t->RampTable[i] = static_cast<std::uint16_t>(std::max(i - 512, 0));
  BuildWindows(*t);
  t->ReciprocalTable[0] = 1.0f;
  for (int k = 1; k < 256; ++k) t->ReciprocalTable[k] = 1.0f / static_cast<float>(k);
  const float scale = 16.777216f;
  for (int i = 0; i < kCellNormEntries; ++i) {
    t->CellNormReciprocal[i] = scale / static_cast<float>(CellNormTable[i]);
  }
  BuildOrientedLines(*t);
  g_tables = *t;
}

}  // namespace

void BuildLookupTables() { std::call_once(g_built, Build); }

const LookupTables& Tables() { return g_tables; }

}  // namespace veltrum
