// Removes bright glare (250 and more) in 10-column strips where the strongest horizontal edge
// jumps between two candidate rows from one strip to the next.

#include <array>
#include <cstdlib>
#include <cstring>

#include "core/image_ref.h"
#include "edges/edge_profiles.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {
namespace {

constexpr int kW = kFrameWidth;
constexpr int kH = kFrameHeight;
constexpr int kStrips = kEdgeStrips;
constexpr int kStripWidth = 10;
constexpr int kGlare = 250;

using Profile = std::array<std::int32_t, kEdgeRows>;

struct Jump {
  int strip, direction;
  bool valid;
};

// Room for both tests appending at every one of the 31 strip pairs.
struct JumpList {
  std::array<Jump, 2 * (kStrips - 1)> entries{};
  int size = 0;
  void Append(int strip, int direction) { entries[size++] = {strip, direction, true}; }
};

int StrongestRow(const Profile& e, int from, int to) {
  int best = from;
  for (int y = from + 1; y <= to; ++y) {
    if (e[y] > e[best]) best = y;
  }
  return best;
}

// The strongest local peak (above 0) walking from `from` by `step` up to `to`; `fallback` when
// there is none.
int InnerPeak(const Profile& e, int from, int to, int step, int fallback) {
  int best = fallback, bestValue = 0;
  for (int y = from; step > 0 ? y <= to : y >= to; y += step) {
    if (e[y] >= e[y - 1] && e[y] >= e[y + 1] && e[y] > bestValue) {
      best = y;
      bestValue = e[y];
    }
  }
  return best;
}

JumpList FindJumps(const std::array<int, kStrips>& strongest,
                   const std::array<int, kStrips>& inner) {
  JumpList jumps;
  for (int s = 0; s + 1 < kStrips; ++s) {
    const int e = std::abs(strongest[s] - strongest[s + 1]) - 1;
    const int f = std::abs(strongest[s] - inner[s + 1]);
    const int g = std::abs(inner[s] - strongest[s + 1]);
    if (e > f && g >= f) jumps.Append(s, +1);
    if (e > g && f >= g) jumps.Append(s + 1, -1);
  }
  return jumps;
}

// Strips between a rising and a falling jump (or the frame's side) hold glare.
std::array<bool, kStrips> MarkStrips(JumpList& jumps) {
  std::array<bool, kStrips> marks{};
  auto& list = jumps.entries;
  for (int i = 0; i + 1 < jumps.size; ++i) {
    if (list[i].direction == 1 && list[i + 1].direction == 1) list[i + 1].valid = false;
    if (list[i].direction == -1 && list[i + 1].direction == -1) list[i].valid = false;
  }
  std::array<Jump, 2 * (kStrips - 1)> kept{};
  int n = 0;
  for (int i = 0; i < jumps.size; ++i) {
    if (list[i].valid) kept[n++] = list[i];
  }
  if (n == 0) return marks;
  const auto mark = [&](int from, int to) {
    for (int s = from; s <= to; ++s) marks[s] = true;
  };
  int next = 0;
  if (kept[0].direction == -1) {
    mark(0, kept[0].strip);
    next = 1;
  }
  for (; next + 1 < n; next += 2) {
    if (kept[next].strip <= kept[next + 1].strip) mark(kept[next].strip, kept[next + 1].strip);
  }
  if (kept[n - 1].direction == 1) mark(kept[n - 1].strip, kStrips - 1);
  return marks;
}

void ClearGlare(const std::array<bool, kStrips>& marks, int rowBegin, std::uint8_t* out) {
  for (int s = 0; s < kStrips; ++s) {
    if (!marks[s]) continue;
    for (int y = rowBegin; y < rowBegin + kH / 2; ++y) {
      for (int x = s * kStripWidth; x < (s + 1) * kStripWidth; ++x) {
        if (out[y * kW + x] >= kGlare) out[y * kW + x] = 0;
      }
    }
  }
}

}  // namespace

int SuppressEdgeGlare(const std::uint8_t* image, std::uint8_t* out) {
  std::memcpy(out, image, kFramePixels);
  std::array<int, kStrips> t1{}, t2{}, b1{}, b2{};
  StripProfiles profiles;
  StripDifferenceProfiles(image, profiles);
  for (int s = 0; s < kStrips; ++s) {
    const Profile& e = profiles[s];
    t1[s] = StrongestRow(e, 9, 109);
    t2[s] = InnerPeak(e, t1[s] + 1, 109, 1, t1[s]);
    b1[s] = StrongestRow(e, 129, 229);
    b2[s] = InnerPeak(e, b1[s] - 1, 129, -1, b1[s]);
  }
  for (const bool topPart : {true, false}) {
    JumpList jumps = topPart ? FindJumps(t1, t2) : FindJumps(b1, b2);
    if (jumps.size == 0) continue;
    ClearGlare(MarkStrips(jumps), topPart ? 0 : kH / 2, out);
  }
  return 0;
}

}  // namespace veltrum
