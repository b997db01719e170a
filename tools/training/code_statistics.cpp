#include "code_statistics.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "feature/cell_codes.h"
#include "feature/code_stream.h"
#include "feature/filter_bank.h"
#include "model/sample_cells.h"

namespace training {
namespace {

using Codes = std::vector<std::uint32_t>;  // 330 expanded rows of four words

Codes CodesOf(const HeldOutImage& image, const CellNormValues& table) {
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

// Agreeing bits and compared bits over the cells both images cover.
std::pair<long, long> Agreement(const HeldOutImage& a, const Codes& ca, const HeldOutImage& b,
                                const Codes& cb) {
  long differ = 0, total = 0;
  for (int cell = 0; cell < veltrum::kGridCells; ++cell) {
    if (a.coverage27[cell] < kCoveredCell || b.coverage27[cell] < kCoveredCell) continue;
    for (int w = 0; w < 4; ++w) differ += std::popcount(ca[cell * 4 + w] ^ cb[cell * 4 + w]);
    total += veltrum::kCodeBits;
  }
  return {total - differ, total};
}

}  // namespace

CodeStatistics MeasureCodes(const std::vector<HeldOutImage>& images, const CellNormValues& table) {
  std::vector<Codes> codes;
  for (const auto& image : images) codes.push_back(CodesOf(image, table));
  std::array<long, veltrum::kCodeBits> ones{};
  long cells = 0;
  for (std::size_t n = 0; n < images.size(); ++n) {
    for (int cell = 0; cell < veltrum::kGridCells; ++cell) {
      if (images[n].coverage27[cell] < kCoveredCell) continue;
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
    s.meanImbalance += std::abs(p - 0.5) / veltrum::kCodeBits;
  }
  long agree[2] = {0, 0}, total[2] = {0, 0};
  for (std::size_t a = 0; a < images.size(); ++a) {
    for (std::size_t b = a + 1; b < images.size(); ++b) {
      const bool genuine = images[a].finger == images[b].finger;
      const auto [k, n] = Agreement(images[a], codes[a], images[b], codes[b]);
      agree[genuine] += k;
      total[genuine] += n;
      ++(genuine ? s.genuinePairs : s.impostorPairs);
    }
  }
  s.impostorAgreement = total[0] ? static_cast<double>(agree[0]) / total[0] : 0;
  s.genuineAgreement = total[1] ? static_cast<double>(agree[1]) / total[1] : 0;
  return s;
}

}  // namespace training
