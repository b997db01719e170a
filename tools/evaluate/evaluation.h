#pragma once
// Enrol-and-match runs over sets of identities and their summary.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "training_corpus.h"

namespace evaluation {

using Pixels = std::vector<std::uint8_t>;

// One template and the captures matched against it. Identities of the same finger (the same
// finger on another device) are neither genuine nor impostor to each other.
struct Identity {
  std::string finger;
  std::vector<const Pixels*> enrol;   // three captures
  std::vector<const Pixels*> probes;  // each a genuine attempt on this template
};

struct Scores {
  std::vector<int> genuine, impostor;  // raw scores 0..999
  int fingers = 0, enrolFailures = 0, probeFailures = 0;
  // 1:N coarse screen: probes whose own template has the highest stage-1 value of all
  // templates, and those where it is among the 100 highest (ties counted against it).
  int probes = 0, coarseFirst = 0, coarseTop100 = 0;
};

// Every probe against every template of another finger, and against its own.
Scores Evaluate(const std::vector<Identity>& identities);

// Each finger with at least four captures: template from the first three, every later capture
// a probe. The images must outlive the identities.
std::vector<Identity> FirstThreeEnrol(const std::vector<const training::CorpusImage*>& images);

// Similarity thresholds the front-ends decide with.
inline constexpr float kThresholds[] = {0.51f, 0.6f, 0.63f};

// Accepts similarity >= threshold, as the callers of the engine do.
struct Rates {
  long falseRejects, genuine, falseAccepts, impostor;
};
Rates RatesAt(const Scores& scores, float threshold);
// Where the two rates cross, over thresholds on the raw score.
double EqualErrorRate(const Scores& scores);

void Report(const Scores& scores, std::FILE* out);

}  // namespace evaluation
