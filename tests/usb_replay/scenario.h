#pragma once
// One session with the capture device through the device library's protocol layer: count,
// open, device information, parameter block, exposure, two frames, close. Each step leaves one
// line of what it saw (frames as a digest), so two runs compare line by line.

#include <functional>
#include <string>
#include <vector>

namespace fvreplay {

// `betweenFrames` runs after the first frame (a test may unplug the device there).
std::vector<std::string> RunScenario(const std::function<void()>& betweenFrames);

}  // namespace fvreplay
