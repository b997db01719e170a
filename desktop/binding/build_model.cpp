#include "binding/device_calls.h"
#include "binding/device_library.h"
#include "binding/entry_points.h"

namespace torvane {

int buildModelFromImages(const std::array<Bytes, 3>& images, Bytes& model) {
  if (getDeviceLibrary() == nullptr) return 0;
  const auto extract = entry::fv_extract_model.get();
  if (extract == nullptr) return 0;
  model.resize(kModelBytes);
  unsigned length = kModelBytes;
  auto data = [](const Bytes& image) { return image.empty() ? nullptr : image.data(); };
  auto size = [](const Bytes& image) { return static_cast<int>(image.size()); };
  return extract(data(images[0]), size(images[0]), data(images[1]), size(images[1]),
                 data(images[2]), size(images[2]), model.data(), &length);
}

int buildModelFromImages() { return buildModelFromImages(enrolImages, modelBuffer); }

}  // namespace torvane
