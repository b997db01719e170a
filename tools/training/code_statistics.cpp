#include "code_statistics.h"

#include <algorithm>

#include "feature/cell_codes.h"
#include "feature/code_stream.h"
#include "feature/filter_bank.h"
#include "model/sample_cells.h"

namespace training {
namespace {

using Codes = std::vector<std::uint32_t>;  // 330 expanded rows

Codes CodesOf(const HeldOutImage& image,
              const std::array<std::int32_t, veltrum::kCellNormEntries>& table) {
  std::vector<std::int32_t> work(veltrum::kResponseEntries);
  for (int i = 0; i < veltrum::kResponseEntries; ++i) {
    const float reciprocal = 16.777216f / static_cast<float>(table[i]);
    work[i] = static_cast<std::int32_t>(static_cast<float>(image.responses[i]) * reciprocal);
  }
  Codes codes(veltrum::kGridCells * 4, 0);
  veltrum::CodeStream stream{codes.data()};
  for (int c = 0; c < veltrum::kGridCells; ++c) veltrum::AppendCellCode(stream, c, work.data());
  veltrum::FinishCodeStream(stream);
  veltrum::ExpandCodeRows(codes.data(), veltrum::kGridCells);
  return codes;
}

bool Bit(const Codes& codes, int cell, int i) {
  const std::uint32_t word = codes[cell * 4 + (i < 96 ? i / 32 : 3)];
  return (word >> (i < 96 ? 31 - i % 32 : 103 - i)) & 1u;
}

double Agreement(const HeldOutImage& a, const Codes& ca, const HeldOutImage& b, const Codes& cb) {
  long agree = 0, total = 0;
  for (int cell = 0; cell < veltrum::kGridCells; ++cell) {
    if (a.coverage27[cell] < 128 || b.coverage27[cell] < 128) continue;
    for (int i = 0; i < veltrum::kCodeBits; ++i) agree += Bit(ca, cell, i) == Bit(cb, cell, i);
    total += veltrum::kCodeBits;
  }
  return total ? static_cast<double>(agree) / total : 0.5;
}

}  // namespace

CodeStatistics MeasureCodes(const std::vector<HeldOutImage>& images,
                            const std::array<std::int32_t, veltrum::kCellNormEntries>& table) {
  std::vector<Codes> codes;
  for (const auto& image : images) codes.push_back(CodesOf(image, table));
  std::array<long, veltrum::kCodeBits> ones{};
  long cells = 0;
  for (std::size_t n = 0; n < images.size(); ++n) {
    for (int cell = 0; cell < veltrum::kGridCells; ++cell) {
      if (images[n].coverage27[cell] < 128) continue;
      ++cells;
      for (int i = 0; i < veltrum::kCodeBits; ++i) ones[i] += Bit(codes[n], cell, i);
    }
  }
  CodeStatistics s;
  for (long v : ones) {
    const double p = cells ? static_cast<double>(v) / cells : 0;
    s.minOnes = std::min(s.minOnes, p);
    s.maxOnes = std::max(s.maxOnes, p);
    s.meanOnes += p / veltrum::kCodeBits;
  }
  int impostors = 0, genuines = 0;
  for (std::size_t a = 0; a < images.size(); ++a) {
    for (std::size_t b = a + 1; b < images.size() && b < a + 8; ++b) {
      const double g = Agreement(images[a], codes[a], images[b], codes[b]);
      if (images[a].finger == images[b].finger) {
        s.genuineAgreement += g;
        ++genuines;
      } else {
        s.impostorAgreement += g;
        ++impostors;
      }
    }
  }
  if (impostors) s.impostorAgreement /= impostors;
  if (genuines) s.genuineAgreement /= genuines;
  return s;
}

}  // namespace training
