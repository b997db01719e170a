#pragma once
// Pictures of one evaluated set: the DET curve (false rejects against false accepts, both on
// log axes) and the genuine and impostor raw-score histograms, with the front-ends' thresholds
// marked on both.

#include <string>

#include "evaluation.h"

namespace evaluation {

// False when a PNG cannot be written.
bool DrawDetCurve(const Scores& scores, const std::string& title, const std::string& path);
bool DrawHistograms(const Scores& scores, const std::string& title, const std::string& path);

}  // namespace evaluation
