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

// Where each bit's side falls, for the candidate cuts of a pair's ratios: the cut that best
// separates the bits of the same finger's captures (agreeing) from those of different fingers
// (agreeing by chance, p^2 + (1 - p)^2 for a bit that is 1 with weighted share p).
class Separation {
 public:
  explicit Separation(const std::vector<WeightedImage>& members) {
    for (std::size_t u = 0; u < members.size(); ++u) {
      total_ += members[u].weight;
      for (std::size_t v = u + 1; v < members.size(); ++v) {
        if (members[u].image->finger == members[v].image->finger) {
          same_.push_back({u, v});
          sameWeight_ += members[u].weight;
        }
      }
    }
  }
  bool Usable() const { return !same_.empty() && total_ > 0; }

  // ratios[j][u]: bit j of member u is 1 when its ratio lies below the cut. The cut from the
  // weighted quantiles of the pooled ratios with the most agreement of the same fingers over
  // that of different ones; `fallback` (the balancing cut) when none beats it.
  double BestCut(const std::vector<std::vector<double>>& ratios,
                 const std::vector<WeightedImage>& members, double fallback) const {
    std::vector<std::pair<double, double>> pooled;
    for (const auto& r : ratios) {
      for (std::size_t u = 0; u < r.size(); ++u) pooled.push_back({r[u], members[u].weight});
    }
    std::sort(pooled.begin(), pooled.end());
    double all = 0;
    for (const auto& [value, weight] : pooled) all += weight;
    std::vector<double> cuts = {fallback};
    double below = 0;
    std::size_t next = 1;
    constexpr int kCuts = 40;
    for (const auto& [value, weight] : pooled) {
      below += weight;
      while (next < kCuts && below >= all * (0.15 + 0.7 * next / kCuts)) {
        cuts.push_back(value);
        ++next;
      }
    }
    double best = fallback, bestGain = Gain(ratios, members, fallback);
    for (double cut : cuts) {
      const double gain = Gain(ratios, members, cut);
      if (gain > bestGain + 1e-9) best = cut, bestGain = gain;
    }
    return best;
  }

 private:
  double Gain(const std::vector<std::vector<double>>& ratios,
              const std::vector<WeightedImage>& members, double cut) const {
    double gain = 0;
    for (const auto& r : ratios) {
      double ones = 0, agree = 0;
      for (std::size_t u = 0; u < r.size(); ++u) ones += r[u] < cut ? members[u].weight : 0.0;
      for (const auto& [u, v] : same_)
        agree += ((r[u] < cut) == (r[v] < cut)) ? members[u].weight : 0.0;
      const double p = ones / total_;
      gain += agree / sameWeight_ - (p * p + (1 - p) * (1 - p));
    }
    return gain;
  }

  std::vector<std::pair<std::size_t, std::size_t>> same_;
  double total_ = 0, sameWeight_ = 0;
};

class CellBalancer {
 public:
  CellBalancer(int cell, std::vector<double>& d, std::vector<WeightedImage> members, bool separate)
      : cell_(cell),
        d_(d),
        members_(std::move(members)),
        separation_(members_),
        separate_(separate && separation_.Usable()) {}

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
    std::vector<std::vector<double>> ratios(8, std::vector<double>(members_.size()));
    for (int j = 0; j < 8; ++j) {
      std::vector<std::pair<double, double>> v;
      for (std::size_t u = 0; u < members_.size(); ++u) {
        const auto& w = members_[u];
        const double a = Work(w, p.first, 2 * j) + Work(w, p.first, 2 * j + 1);
        const double b = Work(w, p.second, 2 * j) + Work(w, p.second, 2 * j + 1);
        // Dividing the child's divisors by f balances the bit at f = the median ratio (the
        // bit is 1 on one side of f, the same side for every member).
        ratios[j][u] = p.child == p.second ? b / a : a / b;
        if (a <= 0 || b <= 0) continue;
        v.push_back({ratios[j][u], w.weight});
      }
      if (perBit) {
        if (v.empty()) continue;
        double f = WeightedMedian(v);
        if (separate_) f = separation_.BestCut({ratios[j]}, members_, f);
        D(p.child, 2 * j) *= f;
        D(p.child, 2 * j + 1) *= f;
      } else {
        pooled.insert(pooled.end(), v.begin(), v.end());
      }
    }
    if (!perBit && !pooled.empty()) {
      double f = WeightedMedian(pooled);
      if (separate_) f = separation_.BestCut(ratios, members_, f);
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
  Separation separation_;
  bool separate_;
};

}  // namespace

void BalanceCodeBits(std::vector<double>& divisors, const std::vector<WeightedImage>& images,
                     int minImages, bool separate) {
  for (int cell = 0; cell < veltrum::kGridCells; ++cell) {
    std::vector<WeightedImage> members;
    for (const auto& w : images) {
      if (w.image->coverage27[cell] >= training::kCoveredCell) members.push_back(w);
    }
    if (static_cast<int>(members.size()) < minImages) continue;
    CellBalancer(cell, divisors, std::move(members), separate).Run();
  }
}

}  // namespace cellnorm
