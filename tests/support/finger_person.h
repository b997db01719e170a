#pragma once
// A person at simulated device 0: puts one of their fingers down and lifts it again, and counts
// how often they had to put a finger down.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
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

  // What the page and the person do on a run's report; the page's answer to its question
  // (code 40: 1 goes on, -1 declines, 0 when there was none). An enrolment's page confirms the
  // fingers of `fingers` in turn and declines the rest; a recognition's goes on with the finger
  // in hand. The person lifts the finger before the one asked for and puts that down a moment
  // after the answer (PlaceIfDue), lifts it when asked to loosen it, and puts it down again
  // when asked.
  int Follow(int code, const std::string& prompt, bool recognition) {
    if (code == 40 && !recognition && asked >= fingers.size()) {
      Lift();
      return -1;
    }
    if (code == 40) {
      if (!recognition) seed = fingers[asked++];
      Lift();
      placeAt_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
      return 1;
    }
    if (code == 41 && prompt.find("Loosen") != std::string::npos) {
      Lift();
    } else if (code == 41) {
      Place();
    }
    return 0;
  }
  // Puts the finger asked for down once its moment has come; called from the run's loop.
  void PlaceIfDue() {
    if (std::chrono::steady_clock::now() < placeAt_) return;
    placeAt_ = std::chrono::steady_clock::time_point::max();
    Place();
  }

  // Fails when the finger had to go down more than three times a capture on average; starts
  // the count anew.
  void ExpectFewPlacements(const char* run, int captures) {
    const int placed = placements;
    const int refused = placed - captures;
    std::printf("%s: %d placements for %d captures, %d refused\n", run, placed, captures, refused);
    std::fflush(stdout);
    EXPECT_LE(placed, 3 * captures) << run << ": " << refused << " placements refused";
    placements = 0;
  }

 private:
  std::atomic<bool> down_{false};
  std::chrono::steady_clock::time_point placeAt_ = std::chrono::steady_clock::time_point::max();
};

}  // namespace fvtest
