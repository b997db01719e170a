#pragma once
// A recording of the capture device's USB traffic as usbdevfs sees it: the device's descriptors
// and, in order, each request block (URB) with the answer the device gave. Written from the
// simulated device's request trace, replayed to the libusb backend under umockdev.
//
// Text, one item a line:
//   device <vendor> <product> <descriptors in hex>
//   urb <type> <endpoint> <status> <length> <actual> <sent in hex or -> <answer in hex or ->
//   pending <type> <endpoint> <length> <sent in hex or ->   (answered only when discarded)
//   gone                                                      (the device is unplugged)
// A control URB's sent bytes are its setup packet and, for OUT, the data; its answer is the
// data behind the setup.

#include <cstdint>
#include <string>
#include <vector>

namespace fvreplay {

inline constexpr int kUrbControl = 2;
inline constexpr int kUrbBulk = 3;

struct Urb {
  enum Kind { kAnswered, kPending, kGone } kind = kAnswered;
  int type = 0;
  int endpoint = 0;
  int status = 0;  // 0, or a negative errno as usbdevfs reports it
  int length = 0;  // the URB's buffer length
  int actual = 0;
  std::vector<std::uint8_t> sent;
  std::vector<std::uint8_t> answer;
};

struct Recording {
  std::uint16_t vendor = 0, product = 0;
  std::vector<std::uint8_t> descriptors;  // device descriptor, then the configuration
  std::vector<Urb> urbs;
};

bool WriteRecording(const Recording& recording, const std::string& path);
bool ReadRecording(const std::string& path, Recording* recording);

// One line naming a URB as the device saw it, for comparing request sequences.
std::string Describe(const Urb& urb);

}  // namespace fvreplay
