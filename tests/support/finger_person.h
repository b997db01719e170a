#pragma once
// A person at simulated device 0: puts one of their fingers down and lifts it again, and counts
// how often they had to put a finger down.

#include <atomic>
#include <cstddef>
#include <vector>

#include "sim_device/sim_device.h"

namespace fvtest {

struct Person {
  std::vector<unsigned long long> fingers;  // the fingers to enrol (seeds), in the page's order
  std::size_t asked = 0;                    // fingers a page asked for and the person gave
  std::atomic<unsigned long long> seed{0};  // the finger in hand
  std::atomic<int> placements{0};

  void Place() {
    fvsim_set_finger_seed(0, seed);
    if (!down_.exchange(true)) ++placements;
    fvsim_set_finger(0, 1);
  }
  void Lift() {
    down_ = false;
    fvsim_set_finger(0, 0);
  }

 private:
  std::atomic<bool> down_{false};
};

}  // namespace fvtest
