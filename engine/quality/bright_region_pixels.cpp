// One-pass region labelling. Its merge rule is partial on purpose (kept as the verdicts were
// tuned on it): a pixel joining two labels links only the left one, and only while that one
// still links to itself, so some connected regions stay split and row 0 never merges at all.

#include "core/alloc.h"
#include "core/status.h"
#include "quality/quality_measures.h"

namespace veltrum {
namespace {

struct Region {
  std::int32_t count;
  std::int32_t link;
  bool counted;
};

constexpr std::int32_t kLargeRegion = 30;

}  // namespace

int BrightRegionPixels(const std::uint8_t* plane, int width, int height, int threshold,
                       std::int32_t& count) {
  const std::size_t n = static_cast<std::size_t>(width) * height;
  std::size_t bright = 0;
  for (std::size_t i = 0; i < n; ++i) bright += plane[i] >= threshold;
  // 32-bit labels: a band can open more regions than a 16-bit label holds.
  auto labels = AllocZeroedArray<std::int32_t>(n);
  auto regions = AllocZeroedArray<Region>(bright + 1);  // label 0 stands for "none"
  if (!labels || !regions) return kOutOfMemory;

  std::int32_t next = 1;
  const auto open = [&]() {
    regions[next] = {1, next, false};
    return next++;
  };
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      const std::size_t i = static_cast<std::size_t>(r) * width + c;
      if (plane[i] < threshold) continue;
      if (r == 0) {
        labels[i] = open();
        continue;
      }
      const std::int32_t up = labels[i - width];
      const std::int32_t left = c > 0 ? labels[i - 1] : 0;
      std::int32_t label;
      if (up == 0 && left == 0) {
        labels[i] = open();
        continue;
      } else if (up == 0 || left == 0) {
        label = up + left;
      } else {
        label = up < left ? up : left;
        if (up != left && regions[left].link == left) regions[left].link = label;
      }
      ++regions[label].count;
      labels[i] = label;
    }
  }

  // Tally from the last label down; visited records leave the list, so a chain can only
  // reach smaller labels, which are still in it.
  std::int32_t result = 0;
  for (std::int32_t label = next - 1; label >= 1; --label) {
    const Region& region = regions[label];
    if (region.link == label) {
      if (region.count > kLargeRegion && !region.counted) result += region.count;
      continue;
    }
    std::int32_t total = region.count;
    std::int32_t add = region.counted ? 0 : region.count;
    for (std::int32_t at = region.link; at >= 1 && at < label;) {
      Region& linked = regions[at];
      total += linked.count;
      if (!linked.counted) {
        add += linked.count;
        linked.counted = true;
      }
      if (linked.link == at) break;
      at = linked.link;
    }
    if (total > kLargeRegion) result += add;
  }
  count = result;
  return kOk;
}

}  // namespace veltrum
