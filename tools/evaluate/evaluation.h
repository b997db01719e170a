#pragma once
// Enrol-and-match runs over a corpus and their summary.

#include <string>
#include <vector>

#include "training_corpus.h"

namespace evaluation {

struct Scores {
  std::vector<int> genuine, impostor;  // raw scores 0..999
  int fingers = 0, enrolFailures = 0, probeFailures = 0;
  // 1:N coarse screen: probes whose own template has the highest stage-1 value of all
  // templates, and those where it is among the 100 highest (ties counted against it).
  int probes = 0, coarseFirst = 0, coarseTop100 = 0;
};

// Each finger with at least four usable captures (and a label starting with `labelPrefix`):
// template from the first three, every later capture a probe against every template. With
// `perNote` the captures of one finger under different notes (devices) count as different
// identities.
Scores Evaluate(const training::CorpusPlan& plan, const std::string& labelPrefix = "",
                bool perNote = false);

// Share of genuine scores the threshold refuses and of impostor scores it accepts.
struct Rates {
  double frr, far;
};
// Accepts similarity >= threshold, as the callers of the engine do.
Rates RatesAt(const Scores& scores, float threshold);
// Where the two rates cross, over thresholds on the raw score.
double EqualErrorRate(const Scores& scores);

void Report(const Scores& scores);

}  // namespace evaluation
