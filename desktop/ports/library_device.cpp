#include "ports/library_device.h"

#include <cstring>

#include "fvplatform/module.h"

namespace torvane {
namespace {

template <class F>
bool bindOne(HMODULE module, const char* name, F& entry) {
  entry = reinterpret_cast<F>(GetProcAddress(module, name));
  return entry != nullptr;
}

constexpr unsigned kGrabCapacity = 30000;
constexpr unsigned kModelBytes = 3352;

}  // namespace

bool LibraryDevice::load() {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_bound) return true;
  HMODULE module = LoadLibraryA("Dravex.dll");
  if (module == nullptr) return false;
  EntryPoints e;
  // All or nothing: a library that lacks one name is not used at all.
  if (!bindOne(module, "isDevOpen", e.isDevOpen) || !bindOne(module, "fvdev_open", e.fvdev_open) ||
      !bindOne(module, "fvdev_getno", e.fvdev_getno) ||
      !bindOne(module, "fvdev_get_state", e.fvdev_get_state) ||
      !bindOne(module, "fvdev_grab", e.fvdev_grab) ||
      !bindOne(module, "fv_quality_ex", e.fv_quality_ex) || !bindOne(module, "fv_match", e.fv_match) ||
      !bindOne(module, "fv_extract_model", e.fv_extract_model) ||
      !bindOne(module, "fvdev_set_led", e.fvdev_set_led) || !bindOne(module, "fvdev_close", e.fvdev_close))
    return false;
  m_entries = e;
  m_bound = true;
  return true;
}

LibraryDevice::EntryPoints LibraryDevice::entries() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_entries;
}

bool LibraryDevice::isOpen() {
  EntryPoints e = entries();
  return e.isDevOpen != nullptr && e.isDevOpen() != 0;
}

bool LibraryDevice::open(int index, HWND preview) {
  EntryPoints e = entries();
  return e.fvdev_open != nullptr && e.fvdev_open(index, preview) != 0;
}

int LibraryDevice::readNumber() {
  EntryPoints e = entries();
  int number = -1;
  if (e.fvdev_getno != nullptr) e.fvdev_getno(&number);
  return number;
}

int LibraryDevice::fingerState() {
  EntryPoints e = entries();
  int state = -1;
  if (e.fvdev_get_state != nullptr && e.fvdev_get_state(&state) != 0) return state;
  return 0;
}

bool LibraryDevice::capture(Bytes& into) {
  EntryPoints e = entries();
  if (e.fvdev_grab == nullptr) return false;
  Bytes buffer(kGrabCapacity);
  unsigned length = kGrabCapacity;
  if (e.fvdev_grab(buffer.data(), &length) == 0 || length > kGrabCapacity) return false;
  buffer.resize(length);
  into = std::move(buffer);
  return true;
}

bool LibraryDevice::quality(const Bytes& blob, QualityMeasures& q) {
  EntryPoints e = entries();
  if (e.fv_quality_ex == nullptr) return false;
  int out[4] = {0, 0, 0, 0};
  if (e.fv_quality_ex(blob.data(), static_cast<int>(blob.size()), out) == 0) return false;
  q.status = out[0];
  std::memcpy(&q.saturated, &out[1], sizeof(float));
  std::memcpy(&q.clarity, &out[2], sizeof(float));
  std::memcpy(&q.band, &out[3], sizeof(float));
  return true;
}

bool LibraryDevice::match(const Bytes& blob, const Bytes& model, float& score) {
  EntryPoints e = entries();
  if (e.fv_match == nullptr || model.size() < kModelBytes) return false;
  return e.fv_match(blob.data(), static_cast<int>(blob.size()), model.data(), &score) != 0;
}

bool LibraryDevice::buildModel(const std::array<Bytes, 3>& images, Bytes& model) {
  EntryPoints e = entries();
  if (e.fv_extract_model == nullptr) return false;
  model.assign(kModelBytes, 0);
  unsigned length = kModelBytes;
  auto data = [](const Bytes& b) { return b.empty() ? nullptr : b.data(); };
  return e.fv_extract_model(data(images[0]), static_cast<int>(images[0].size()), data(images[1]),
                            static_cast<int>(images[1].size()), data(images[2]),
                            static_cast<int>(images[2].size()), model.data(), &length) != 0;
}

void LibraryDevice::setLed(int led, int on) {
  EntryPoints e = entries();
  if (e.fvdev_set_led != nullptr) e.fvdev_set_led(led, on);
}

void LibraryDevice::close() {
  EntryPoints e = entries();
  if (e.fvdev_close != nullptr) e.fvdev_close();
}

}  // namespace torvane
