// Removes a band bounded by over-exposed runs along the top or bottom of the frame, with all
// beyond it, so that the band's borders are not taken for the finger's edge.

#include <algorithm>
#include <array>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {
namespace {

constexpr int kW = kFrameWidth;
constexpr int kH = kFrameHeight;
constexpr int kHalfRows = kH / 2;
constexpr int kMinComponent = 150;
constexpr int kMinSpan = 20;
constexpr int kFitPoints = 11;

struct Pixel {
  std::int16_t row, col;
};

bool MiddleSaturated(const std::uint8_t* image) {
  return std::memchr(image + 90 * kW, 255, 61 * kW) != nullptr;
}

// Per column whether any pixel of rows first..last is 255, gathered row by row; a column
// without one has no run to mark.
std::array<std::uint8_t, kW> SaturatedColumns(const std::uint8_t* image, int first, int last) {
  std::array<std::uint8_t, kW> any{};
  for (int y = first; y <= last; ++y) {
    const std::uint8_t* row = image + y * kW;
    for (int x = 0; x < kW; ++x) any[x] |= static_cast<std::uint8_t>(row[x] == 255);
  }
  return any;
}

// Marks the gaps between successive saturated runs of one column in rows first..last; true when
// the column has more than two run boundaries.
bool MarkRunGaps(const std::uint8_t* image, int x, int first, int last, std::uint8_t* runMask) {
  std::array<std::uint8_t, kH> bounds{};
  int n = 0;
  for (int y = first; y <= last; ++y) {
    if (image[y * kW + x] != 255) continue;
    if (image[(y - 1) * kW + x] < 255) bounds[n++] = static_cast<std::uint8_t>(y);
    if (image[(y + 1) * kW + x] < 255) bounds[n++] = static_cast<std::uint8_t>(y);
  }
  for (int k = 1; k + 1 < n; k += 2) {
    for (int y = bounds[k]; y <= bounds[k + 1]; ++y) runMask[y * kW + x] = 1;
  }
  return n > 2;
}

// Grows every component of the half into the queue; only the largest one's place is kept, so
// any number of components fits. Size 0 when none.
struct Component {
  int start = 0, size = 0;
};

Component LargestComponent(std::uint8_t* runMask, int rowBegin, Pixel* queue) {
  Component best;
  int end = 0;
  for (int y = rowBegin; y < rowBegin + kHalfRows; ++y) {
    for (int x = 0; x < kW; ++x) {
      if (runMask[y * kW + x] == 0) continue;
      const int start = end;
      runMask[y * kW + x] = 0;
      queue[end++] = {static_cast<std::int16_t>(y), static_cast<std::int16_t>(x)};
      for (int head = start; head < end; ++head) {
        const int py = queue[head].row, px = queue[head].col;
        const int ny[4] = {py - 1, py + 1, py, py};
        const int nx[4] = {px, px, px - 1, px + 1};
        for (int k = 0; k < 4; ++k) {
          if (ny[k] < rowBegin || ny[k] >= rowBegin + kHalfRows || nx[k] < 0 || nx[k] >= kW)
            continue;
          std::uint8_t& m = runMask[ny[k] * kW + nx[k]];
          if (m == 0) continue;
          m = 0;
          queue[end++] = {static_cast<std::int16_t>(ny[k]), static_cast<std::int16_t>(nx[k])};
        }
      }
      if (end - start > best.size) best = {start, end - start};
    }
  }
  return best;
}

struct Line {
  float a, b;
};

// Least squares over the points (x, line[x]) for x = from .. from + 10.
Line FitLine(const std::array<int, kW>& line, int from) {
  float sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (int x = from; x < from + kFitPoints; ++x) {
    const float fx = static_cast<float>(x), fy = static_cast<float>(line[x]);
    sx += fx;
    sy += fy;
    sxx += fx * fx;
    sxy += fx * fy;
  }
  const float n = kFitPoints;
  const float d = n * sxx - sx * sx;
  return {(n * sxy - sx * sy) / d, (sxx * sy - sx * sxy) / d};
}

// The band line of the component, extended to every column; false when the band is too short
// or does not start in column 0.
bool BandLine(const Pixel* pixels, int count, bool topHalf, std::array<int, kW>& line) {
  std::array<int, kW> sums{}, counts{};
  for (int i = 0; i < count; ++i) {
    sums[pixels[i].col] += pixels[i].row;
    ++counts[pixels[i].col];
  }
  for (int x = 0; x < kW; ++x) line[x] = counts[x] ? sums[x] / counts[x] : 0;
  int c0 = 0;
  while (c0 < kW && line[c0] == 0) ++c0;
  int firstZero = 0;
  while (firstZero < kW && line[firstZero] != 0) ++firstZero;
  const int c1 = firstZero - 1;  // the whole width covered: the band ends in column 319
  if (c0 >= kW || c1 - c0 <= kMinSpan) return false;

  // Each side's slope may only run towards the frame's border.
  const auto extend = [&](int from, int x0, int x1, bool keepNonNegative) {
    Line l = FitLine(line, from);
    if (keepNonNegative ? l.a < 0 : l.a > 0) l.a = 0;
    for (int x = x0; x < x1; ++x) {
      const int m = static_cast<int>(l.a * static_cast<float>(x) + l.b);
      line[x] = topHalf ? std::min(m, kH) : std::max(m, 0);
    }
  };
  extend(c0, 0, c0, topHalf);
  extend(c1 - (kFitPoints - 1), c1 + 1, kW, !topHalf);
  return true;
}

void RemoveBeyond(const std::array<int, kW>& line, bool topHalf, std::uint8_t* out) {
  for (int x = 0; x < kW; ++x) {
    const int m = line[x];
    if (topHalf) {
      for (int y = 0; y < m; ++y) out[y * kW + x] = 0;
    } else {
      for (int y = std::max(m + 1, 0); y < kH; ++y) out[y * kW + x] = 0;
    }
  }
}

}  // namespace

int SuppressSaturatedBands(const std::uint8_t* image, std::uint8_t* out) {
  std::memcpy(out, image, kFramePixels);
  if (MiddleSaturated(image)) return 1;
  auto queue = AllocArray<Pixel>(kW * kHalfRows);
  auto runMask = AllocZeroedArray<std::uint8_t>(kFramePixels);
  if (!queue || !runMask) return -1;

  bool anyGaps = false;
  const auto topRuns = SaturatedColumns(image, 1, 118);
  const auto bottomRuns = SaturatedColumns(image, 121, 238);
  for (int x = 0; x < kW; ++x) {
    if (topRuns[x]) anyGaps |= MarkRunGaps(image, x, 1, 118, runMask.get());
    if (bottomRuns[x]) anyGaps |= MarkRunGaps(image, x, 121, 238, runMask.get());
  }
  if (!anyGaps) return 1;

  for (const bool topHalf : {true, false}) {
    const Component best = LargestComponent(runMask.get(), topHalf ? 0 : kHalfRows, queue.get());
    if (best.size <= kMinComponent) continue;
    std::array<int, kW> line{};
    if (BandLine(queue.get() + best.start, best.size, topHalf, line))
      RemoveBeyond(line, topHalf, out);
  }
  return 0;
}

}  // namespace veltrum
