#pragma once
// The seven face-liveness prompts of the recording road, one a tick, round and round.

#include <string>

namespace pellacor {

struct LivenessPrompt {
  const char* text;   // the JSON text posted to the page
  const char* voice;  // the voice file named for it
};

class LivenessPrompts {
 public:
  // The prompt of the current step, then the step advances: a step above 7 starts again at 1,
  // a step below 1 posts nothing (null) and only advances.
  const LivenessPrompt* next();
  int step() const { return m_step; }

 private:
  int m_step = 1;
};

}  // namespace pellacor
