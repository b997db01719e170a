#include "device_ids.h"

#include <cctype>
#include <sstream>

namespace fvusb {
namespace {

bool ParseWord(const std::string& text, std::uint16_t* out) {
  if (text.empty() || text.size() > 4) return false;
  unsigned value = 0;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                   ? c - '0'
                                                   : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
  }
  *out = static_cast<std::uint16_t>(value);
  return true;
}

}  // namespace

std::vector<DeviceId> ParseDeviceIds(const std::string& text) {
  std::vector<DeviceId> ids;
  std::stringstream entries(text);
  std::string entry;
  while (std::getline(entries, entry, ',')) {
    const auto colon = entry.find(':');
    DeviceId id;
    if (colon != std::string::npos && ParseWord(entry.substr(0, colon), &id.vendor) &&
        ParseWord(entry.substr(colon + 1), &id.product)) {
      ids.push_back(id);
    }
  }
  return ids;
}

}  // namespace fvusb
