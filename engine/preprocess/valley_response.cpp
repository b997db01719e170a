// Valley depth of each pixel deep inside the finger.

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/preprocess_steps.h"
#include "preprocess/valley_response_simd.h"

namespace veltrum {
namespace {

constexpr int kW = kFrameWidth;
constexpr int kReach = 8;
constexpr int kSide = 2 * kReach + 1;

// Per column, the finger rows that end at the current row without a gap, and the columns whose
// last kSide rows all lie in the finger.
struct ColumnRuns {
  std::uint8_t run[kW];
  std::uint8_t whole[kW];
};

void AddRow(std::uint8_t* run, const std::uint8_t* maskRow) {
  for (int x = 0; x < kW; ++x) run[x] = maskRow[x] != 0 ? static_cast<std::uint8_t>(run[x] + 1) : 0;
}

// inner[x] = 1 where the kSide x kSide window about column x lies in the finger: the columns
// x - kReach..x + kReach are all whole. The windows double at each step, so four steps and one
// more column cover kSide columns. Returns the columns from the first inner one to past the last
// (an empty span when there is none).
std::pair<int, int> InnerColumns(ColumnRuns& c, std::uint8_t* inner) {
  std::uint8_t* w = c.whole;
  for (int x = 0; x < kW; ++x) w[x] = c.run[x] >= kSide ? 1 : 0;
  std::uint8_t a[kW], b[kW];
  // a[x] covers columns x..x + 1, then b x..x + 3, a x..x + 7, b x..x + 15.
  for (int x = 0; x + 1 < kW; ++x) a[x] = w[x] & w[x + 1];
  for (int x = 0; x + 3 < kW; ++x) b[x] = a[x] & a[x + 2];
  for (int x = 0; x + 7 < kW; ++x) a[x] = b[x] & b[x + 4];
  for (int x = 0; x + 15 < kW; ++x) b[x] = a[x] & a[x + 8];
  for (int x = kReach; x < kW - kReach; ++x) inner[x] = b[x - kReach] & w[x + kReach];
  int from = kReach, to = kW - kReach;
  while (from < to && inner[from] == 0) ++from;
  while (to > from && inner[to - 1] == 0) --to;
  return {from, to};
}

}  // namespace

int ValleyResponse(std::uint8_t* valley, const std::uint8_t* mask, std::uint8_t* innerMask, int top,
                   int bottom) {
  auto work = AllocZeroedArray<std::uint8_t>(kFramePixels);
  auto runs = AllocZeroedArray<ColumnRuns>(1);
  if (!work || !runs) return kOutOfMemory;
  std::memset(innerMask, 0, kFramePixels);
  // Only rows top..bottom count as finger; every window lies within the frame.
  const int first = std::max(top, 0), last = std::min(bottom, kFrameHeight - 1);
  ColumnRuns& c = runs[0];
  for (int r = first; r < first + 2 * kReach && r <= last; ++r) AddRow(c.run, mask + r * kW);
  float depth[kW];
  for (int y = first + kReach; y <= last - kReach; ++y) {
    AddRow(c.run, mask + (y + kReach) * kW);
    std::uint8_t* inner = innerMask + y * kW;
    const auto [from, to] = InnerColumns(c, inner);
    if (from == to) continue;
    ValleyRowSimd(valley, y, from, to, depth);
    std::uint8_t* out = work.get() + y * kW;
    for (int x = from; x < to; ++x) {
      const auto capped = static_cast<std::uint8_t>(std::min(depth[x], 255.0f));
      out[x] = inner[x] != 0 ? capped : 0;
    }
  }
  std::memcpy(valley, work.get(), kFramePixels);
  return kOk;
}

}  // namespace veltrum
