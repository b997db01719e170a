#include <algorithm>
#include <string>

#include "sim_state.h"

namespace simdev {
namespace {

void Append16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void AppendEndpoint(std::vector<std::uint8_t>& out, std::uint8_t address, std::uint8_t attributes,
                    unsigned maxPacket, std::uint8_t interval) {
  out.insert(out.end(), {7, 5, address, attributes});
  Append16(out, maxPacket);
  out.push_back(interval);
}

}  // namespace

std::vector<std::uint8_t> DefaultDeviceDescriptor(const FvSimDeviceConfig& config) {
  std::vector<std::uint8_t> d = {18, 1};
  Append16(d, 0x0200);         // USB 2.0
  d.insert(d.end(), {0xFF, 0, 0, 64});  // vendor class, control packets of 64 bytes
  Append16(d, 0xF0F0);         // vendor id of the simulator
  Append16(d, config.productId);
  Append16(d, 0x0100);
  d.insert(d.end(), {1, 2, 3, 1});  // string indices, one configuration
  return d;
}

std::vector<std::uint8_t> DefaultConfigDescriptor() {
  std::vector<std::uint8_t> c = {9, 2, 0, 0, 1, 1, 0, 0x80, 50};
  c.insert(c.end(), {9, 4, 0, 0, 3, 0xFF, 0, 0, 0});
  AppendEndpoint(c, 0x01, 2, 512, 0);  // bulk OUT
  AppendEndpoint(c, 0x83, 3, 64, 1);   // interrupt IN
  AppendEndpoint(c, 0x82, 2, 512, 0);  // bulk IN: the frames
  c[2] = static_cast<std::uint8_t>(c.size());
  c[3] = static_cast<std::uint8_t>(c.size() >> 8);
  return c;
}

std::vector<std::uint8_t> StringDescriptor(const SimDevice& device, int index, int deviceIndex,
                                           std::uint16_t language) {
  std::vector<std::uint8_t> d = {0, 3};
  if (index == 0) {
    for (std::uint16_t id : device.languages) Append16(d, id);
  } else {
    if (std::find(device.languages.begin(), device.languages.end(), language) ==
        device.languages.end()) {
      return {};
    }
    std::string text = index == 1   ? "Simulated Devices"
                       : index == 2 ? "Vein capture device (simulated)"
                       : index == 3 ? "SIM" + std::to_string(1000 + deviceIndex)
                                    : "";
    if (text.empty()) return {};
    // The language shows in the text, so a reader sees which one it asked for.
    if (language != 0x0409) text += " " + std::to_string(language);
    for (char ch : text) Append16(d, static_cast<unsigned char>(ch));
  }
  d[0] = static_cast<std::uint8_t>(d.size());
  return d;
}

}  // namespace simdev
