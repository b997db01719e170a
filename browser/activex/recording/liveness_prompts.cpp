#include "recording/liveness_prompts.h"

namespace pellacor {
namespace {

constexpr LivenessPrompt kPrompts[] = {
    {"{\"RETURNID\":70,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please face the camera\"}", "normal.wav"},
    {"{\"RETURNID\":71,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please turn left\"}", "left.wav"},
    {"{\"RETURNID\":72,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please turn right\"}", "right.wav"},
    {"{\"RETURNID\":73,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please look up\"}", "up.wav"},
    {"{\"RETURNID\":74,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please bow down\"}", "down.wav"},
    {"{\"RETURNID\":75,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please open your mouth\"}", "mouth.wav"},
    {"{\"RETURNID\":76,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Please blink\"}", "eye.wav"},
};

}  // namespace

const LivenessPrompt* LivenessPrompts::next() {
  if (m_step > 7) m_step = 1;
  const LivenessPrompt* prompt = m_step >= 1 ? &kPrompts[m_step - 1] : nullptr;
  ++m_step;
  return prompt;
}

}  // namespace pellacor
