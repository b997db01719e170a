#include <array>

#include "binding/device_calls.h"
#include "binding/device_library.h"
#include "binding/entry_points.h"

namespace torvane {

int captureImage(Bytes& image) {
  if (getDeviceLibrary() == nullptr) return 0;
  const auto grab = entry::fvdev_grab.get();
  if (grab == nullptr) return 0;
  std::array<std::uint8_t, kGrabCapacity> buffer;
  unsigned length = kGrabCapacity;
  if (grab(buffer.data(), &length) == 0) return 0;
  // A library that claims more than it was given room for is not believed.
  if (length > kGrabCapacity) return 0;
  image.assign(buffer.begin(), buffer.begin() + length);
  return 1;
}

}  // namespace torvane
