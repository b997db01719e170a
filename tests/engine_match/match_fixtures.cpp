#include "match_fixtures.h"

#include <map>
#include <random>
#include <utility>

#include "api/operations.h"
#include "core/engine_state.h"
#include "core/status.h"
#include "feature/cell_nibbles.h"
#include "feature/filter_bank.h"
#include "sim_finger/finger_generator.h"
#include "tables/lookup_tables.h"

namespace matchtest {

veltrum::FeatureBlock RandomBlock(std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  veltrum::FeatureBlock b{};
  // Nibble vectors as extraction makes them: random responses, normalised per cell.
  std::int32_t responses[veltrum::kCellResponses];
  for (auto& cell : b.cellVectors) {
    for (auto& r : responses) r = static_cast<std::int32_t>(rng() % 200000);
    veltrum::CellNibbles(responses, cell);
  }
  for (auto& row : b.codeRows) {
    for (int w = 0; w < 4; ++w) row[w] = static_cast<std::uint32_t>(rng()) & (w < 3 ? ~0u : 0xFFu);
  }
  for (int c = 0; c < veltrum::kGridCells; ++c) b.coverage15[c] = b.coverage27[c] = 255;
  return b;
}

veltrum::VeinModel ModelCutFrom(const veltrum::FeatureBlock& block, int rs, int cs) {
  veltrum::VeinModel m{};
  auto inside = [](int r, int c) {
    return r >= 0 && r < veltrum::kGridRows && c >= 0 && c < veltrum::kGridCols;
  };
  for (int k = 0; k < veltrum::kASamples; ++k) {
    const auto cell = veltrum::SampleCellA(k);
    const int r = cell.row + rs, c = cell.col + cs;
    if (!inside(r, c)) continue;
    std::memcpy(m.cellVectors[k], block.cellVectors[r * veltrum::kGridCols + c], 8);
    m.cellWeights[k] = 255;
  }
  for (int k = 0; k < veltrum::kBSamples; ++k) {
    const auto cell = veltrum::SampleCellB(k);
    const int r = cell.row + rs, c = cell.col + cs;
    if (!inside(r, c)) continue;
    std::memcpy(m.codeRows[k], block.codeRows[r * veltrum::kGridCols + c], 16);
    m.codeWeights[k] = 255;
  }
  return m;
}

namespace {
void InitOnce() {
  static const bool done = [] {
    veltrum::InitEngine(0);
    veltrum::BuildLookupTables();
    return true;
  }();
  (void)done;
}
}  // namespace

std::vector<std::uint8_t> FingerCapture(std::uint64_t seed, int capture) {
  return simfinger::FingerImage(seed, capture);
}

const veltrum::VeinFeature& FingerFeature(std::uint64_t seed, int capture) {
  InitOnce();
  static std::map<std::pair<std::uint64_t, int>, veltrum::VeinFeature> cache;
  auto [it, fresh] = cache.try_emplace({seed, capture});
  if (fresh) {
    const auto image = FingerCapture(seed, capture);
    if (veltrum::ExtractMatchFeature(image.data(), reinterpret_cast<unsigned char*>(&it->second)) !=
        veltrum::kOk) {
      std::abort();
    }
  }
  return it->second;
}

const veltrum::VeinModel& FingerModel(std::uint64_t seed) {
  InitOnce();
  static std::map<std::uint64_t, veltrum::VeinModel> cache;
  auto [it, fresh] = cache.try_emplace(seed);
  if (fresh) {
    const auto a = FingerCapture(seed, 0), b = FingerCapture(seed, 1), c = FingerCapture(seed, 2);
    unsigned char bytes[sizeof(veltrum::VeinModel)];
    if (veltrum::EnrollModel(a.data(), b.data(), c.data(), bytes) != veltrum::kOk) std::abort();
    it->second = veltrum::LoadModel(bytes);
  }
  return it->second;
}

}  // namespace matchtest
