#pragma once
// The capture device played back from a recording inside a umockdev test bed: its sysfs entry
// and device node, and a usbdevfs handler that answers each URB the program submits with the
// recorded answer, in order. The program must run under umockdev's preload (umockdev-run).

#include <memory>
#include <string>
#include <vector>

#include "recording.h"

namespace fvreplay {

class ReplayDevice {
 public:
  explicit ReplayDevice(Recording recording);
  ~ReplayDevice();
  ReplayDevice(const ReplayDevice&) = delete;
  ReplayDevice& operator=(const ReplayDevice&) = delete;

  bool Start(std::string* error);
  void Stop();

  // The URBs submitted so far, each as `Describe` names it, and the ones that did not match
  // the recording at their place.
  std::vector<std::string> Submitted() const;
  std::vector<std::string> Mismatches() const;
  // Recorded URBs not yet asked for.
  std::size_t Left() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace fvreplay
