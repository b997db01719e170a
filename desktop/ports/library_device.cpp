#include "ports/library_device.h"

#include <cstring>

#include "binding/device_calls.h"
#include "binding/device_library.h"
#include "binding/entry_points.h"

namespace torvane {

bool LibraryDevice::load() { return getDeviceLibrary() != nullptr; }

bool LibraryDevice::isOpen() {
  getDeviceLibrary();
  auto call = entry::isDevOpen.get();
  return call != nullptr && call() != 0;
}

bool LibraryDevice::open(int index, HWND preview) {
  auto call = entry::fvdev_open.get();
  return call != nullptr && call(index, preview) != 0;
}

int LibraryDevice::readNumber() { return readDeviceNumber(); }

bool LibraryDevice::setNumber(int number) {
  getDeviceLibrary();
  auto call = entry::fvdev_setno.get();
  return call != nullptr && call(number) != 0;
}

int LibraryDevice::fingerState() {
  getDeviceLibrary();
  auto call = entry::fvdev_get_state.get();
  int state = -1;
  if (call != nullptr && call(&state) != 0) return state;
  return 0;
}

bool LibraryDevice::capture(Bytes& into) { return captureImage(into) != 0; }

bool LibraryDevice::quality(const Bytes& blob, QualityMeasures& q) {
  getDeviceLibrary();
  auto call = entry::fv_quality_ex.get();
  if (call == nullptr) return false;
  int out[4] = {0, 0, 0, 0};
  if (call(blob.data(), static_cast<int>(blob.size()), out) == 0) return false;
  q.status = out[0];
  std::memcpy(&q.saturated, &out[1], sizeof(float));
  std::memcpy(&q.clarity, &out[2], sizeof(float));
  std::memcpy(&q.band, &out[3], sizeof(float));
  return true;
}

bool LibraryDevice::match(const Bytes& blob, const Bytes& model, float& score) {
  getDeviceLibrary();
  auto call = entry::fv_match.get();
  if (call == nullptr || model.size() < kModelBytes) return false;
  return call(blob.data(), static_cast<int>(blob.size()), model.data(), &score) != 0;
}

bool LibraryDevice::buildModel(const std::array<Bytes, 3>& images, Bytes& model) {
  return buildModelFromImages(images, model) != 0;
}

void LibraryDevice::setLed(int led, int on) {
  getDeviceLibrary();
  if (auto call = entry::fvdev_set_led.get()) call(led, on);
}

void LibraryDevice::close() {
  if (auto call = entry::fvdev_close.get()) call();
}

}  // namespace torvane
