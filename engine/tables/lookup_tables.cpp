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

// The 256 table rounds t and t * sqrt(t) to single precision; the root itself and the other two
// tables are worked in double, only the entry stored as float.
void BuildFalloff256(std::array<float, 512>& table) {
  for (int x = -256; x < 256; ++x) {
    const float t = static_cast<float>(1.0 + x * x * 0.00390625);
    const float cube = static_cast<float>(t * std::sqrt(static_cast<double>(t)));
    table[x + 256] = 1.0f / cube;
  }
}

void BuildFalloff(std::array<float, 512>& table, double divisor, double scale) {
  for (int x = -256; x < 256; ++x) {
    const double t = 1.0 + x * x / divisor;
    table[x + 256] = static_cast<float>(1.0 / (scale * t * std::sqrt(t)));
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
  BuildFalloff256(t->FalloffTable256);
  BuildFalloff(t->FalloffTable320, 320.0, 1.25);
  BuildFalloff(t->FalloffTable512, 512.0, 2.0);
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
