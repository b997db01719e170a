#include "enrol/enrol_order.h"

namespace veltrum {

std::array<int, kMaxEnrolImages> EnrolOrder(const PairScores& score, int images) {
  std::array<int, kMaxEnrolImages> order{0, 1, 2};
  bool placed[kMaxEnrolImages] = {};
  int first = 0, bestTotal = -1;
  for (int i = 0; i < images; ++i) {
    int total = 0;
    for (int j = 0; j < images; ++j) total += j != i ? score[i][j] : 0;
    if (total > bestTotal) {
      bestTotal = total;
      first = i;
    }
  }
  order[0] = first;
  placed[first] = true;
  for (int k = 1; k < images; ++k) {
    int next = -1, best = 0;
    for (int c = 0; c < images; ++c) {
      if (placed[c]) continue;
      int sum = 0;
      for (int p = 0; p < k; ++p) sum += score[order[p]][c];
      if (sum > best) {
        best = sum;
        next = c;
      }
    }
    if (next < 0) {  // nothing scores above 0: the lowest unplaced index
      for (next = 0; placed[next]; ++next) {
      }
    }
    order[k] = next;
    placed[next] = true;
  }
  return order;
}

}  // namespace veltrum
