#include "balance_codes.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "feature/filter_bank.h"
#include "model/sample_cells.h"

namespace cellnorm {
namespace {

using veltrum::ResponseIndex;

// The value below which half the weight lies.
double WeightedMedian(std::vector<std::pair<double, double>> v) {
  std::sort(v.begin(), v.end());
  double total = 0;
  for (const auto& [value, weight] : v) total += weight;
  double below = 0;
  for (const auto& [value, weight] : v) {
    below += weight;
    if (below >= total / 2) return value;
  }
  return v.empty() ? 0.0 : v.back().first;
}

struct Pair {
  int first, second;  // bit j = 1 when first-scale sum > second-scale sum
  int child;          // the scale whose divisors move
};

// Tree order: a parent is final before its child moves.
constexpr Pair kPairsFrom3[] = {{2, 3, 2}, {0, 2, 0}, {3, 4, 4}, {3, 5, 5}, {5, 6, 6}};
constexpr Pair kPairsFrom0[] = {{0, 2, 2}, {2, 3, 3}, {3, 4, 4}, {3, 5, 5}, {5, 6, 6}};
constexpr int kOrientationScales[] = {2, 3, 5, 6};

bool Given(int cell, int scale) { return (cell == 0 && scale == 0) || (cell == 165 && scale == 3); }

class CellBalancer {
 public:
  CellBalancer(int cell, std::vector<double>& d, std::vector<WeightedImage> members)
      : cell_(cell), d_(d), members_(std::move(members)) {}

  void Orientations(int scale) {
    double levelBefore = 0;
    std::array<double, 16> m{};
    for (int k = 0; k < 16; ++k) {
      levelBefore += std::log(D(scale, k)) / 16;
      std::vector<std::pair<double, double>> v;
      for (const auto& w : members_) {
        v.push_back({std::log(R(w, scale, (k + 1) % 16)) - std::log(R(w, scale, k)), w.weight});
      }
      m[k] = WeightedMedian(v);
    }
    const double mean = std::accumulate(m.begin(), m.end(), 0.0) / 16;
    std::array<double, 16> logD{};
    for (int k = 0; k < 15; ++k) logD[k + 1] = logD[k] + m[k] - mean;
    const double level = std::accumulate(logD.begin(), logD.end(), 0.0) / 16;
    for (int k = 0; k < 16; ++k) D(scale, k) = std::exp(logD[k] - level + levelBefore);
  }

  void Scales(const Pair& p) {
    const bool perBit = p.child == 0 || p.child == 4;
    std::vector<std::pair<double, double>> pooled;
    for (int j = 0; j < 8; ++j) {
      std::vector<std::pair<double, double>> v;
      for (const auto& w : members_) {
        const double a = Work(w, p.first, 2 * j) + Work(w, p.first, 2 * j + 1);
        const double b = Work(w, p.second, 2 * j) + Work(w, p.second, 2 * j + 1);
        if (a <= 0 || b <= 0) continue;
        // Dividing the child's divisors by f balances the bit at f = the median ratio.
        v.push_back({p.child == p.second ? b / a : a / b, w.weight});
      }
      if (perBit) {
        if (v.empty()) continue;
        const double f = WeightedMedian(v);
        D(p.child, 2 * j) *= f;
        D(p.child, 2 * j + 1) *= f;
      } else {
        pooled.insert(pooled.end(), v.begin(), v.end());
      }
    }
    if (!perBit && !pooled.empty()) {
      const double f = WeightedMedian(pooled);
      for (int k = 0; k < 16; ++k) D(p.child, k) *= f;
    }
  }

  void Run() {
    for (int s : kOrientationScales) {
      if (!Given(cell_, s)) Orientations(s);
    }
    for (const Pair& p : cell_ == 0 ? kPairsFrom0 : kPairsFrom3) Scales(p);
  }

 private:
  double& D(int scale, int k) { return d_[ResponseIndex(cell_, scale, k)]; }
  double R(const WeightedImage& w, int scale, int k) const {
    return w.image->responses[ResponseIndex(cell_, scale, k)] + 1.0;  // never log(0)
  }
  double Work(const WeightedImage& w, int scale, int k) { return R(w, scale, k) / D(scale, k); }

  int cell_;
  std::vector<double>& d_;
  std::vector<WeightedImage> members_;
};

}  // namespace

void BalanceCodeBits(std::vector<double>& divisors, const std::vector<WeightedImage>& images,
                     int minImages) {
  for (int cell = 0; cell < veltrum::kGridCells; ++cell) {
    std::vector<WeightedImage> members;
    for (const auto& w : images) {
      if (w.image->coverage27[cell] >= training::kCoveredCell) members.push_back(w);
    }
    if (static_cast<int>(members.size()) < minImages) continue;
    CellBalancer(cell, divisors, std::move(members)).Run();
  }
}

}  // namespace cellnorm
