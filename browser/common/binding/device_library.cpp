#include "binding/device_library.h"

#include <atomic>
#include <memory>

#include "base/flavour.h"
#include "dravex.h"
#include "fvplatform/debug_output.h"
#include "fvplatform/message_box.h"
#include "fvplatform/module.h"

namespace fvbrowser {
namespace {

constexpr std::array<const char*, kEntryCount> kNames = {
    "fvdev_open",
    "fvdev_close",
    "fvdev_get_count",
    "isDevOpen",
    "fvdev_grab",
    "fvdev_get_state",
    "fvdev_set_led",
    "fv_extract_model",
    "fv_match",
    "fv_index",
    "setDebugLevel",
    "drawFingerVein",
    "fv_quality",
    "fvdev_openBackLight",
    "fvdev_closeBackLight",
    "fvdev_expose",
    "fvdev_getno",
    "fvdev_setno",
    "fvdev_open_ex",
    "isDevOpen_ex",
    "fvdev_openBackLight_ex",
    "fvdev_closeBackLight_ex",
    "fvdev_grab_ex",
    "fvdev_close_ex",
    "fvdev_expose_ex",
    "fvdev_get_state_ex",
    "fvdev_set_led_ex",
    "fvdev_setno_ex",
    "fvdev_getno_ex",
    "fv_Get_Edition",
    "fv_Get_Dev_Info",
    "fv_get_default_threshold",
    "fv_load_model",
    "fv_user_index",
    "fv_user_add",
    "fv_user_del",
    "fv_index_addUser",
};

constexpr unsigned kGrabBytes = 78000;
constexpr unsigned kPluginGrabBytes = 780000;

const std::uint8_t* DataOrNull(std::span<const std::uint8_t> bytes) {
  return bytes.empty() ? nullptr : bytes.data();
}

struct Instance {
  std::mutex lock;
  std::unique_ptr<DeviceLibrary> library;
  std::atomic<DeviceLibrary*> bound{nullptr};
};

Instance& instance() {
  static Instance holder;
  return holder;
}

}  // namespace

const char* entryName(Entry entry) {
  return kNames[static_cast<std::size_t>(entry)];
}

int DeviceLibrary::bindEntryPoints(const char* fileName) {
  module_ = LoadLibraryA(fileName);
  if (module_ == nullptr) return 0;
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    entries_[i] = GetProcAddress(module_, kNames[i]);
    if (entries_[i] == nullptr) {
      OutputDebugStringA("fun #name  not find.\n");
      return 0;
    }
  }
  return 1;
}

int DeviceLibrary::open(int index, HWND preview) {
  const auto call = entry<decltype(&fvdev_open)>(Entry::fvdev_open);
  return call != nullptr && call(index, preview) != 0 ? 1 : 0;
}

int DeviceLibrary::isOpen() {
  const auto call = entry<decltype(&isDevOpen)>(Entry::isDevOpen);
  return call != nullptr ? call() : 0;
}

int DeviceLibrary::close() {
  const auto backlight = entry<decltype(&fvdev_closeBackLight)>(Entry::fvdev_closeBackLight);
  const auto call = entry<decltype(&fvdev_close)>(Entry::fvdev_close);
  if (backlight == nullptr || call == nullptr) return 0;
  backlight();
  call();
  return 1;
}

int DeviceLibrary::grab(std::vector<std::uint8_t>& frame) {
  const unsigned size = isPlugin() ? kPluginGrabBytes : kGrabBytes;
  frame.resize(size);
  const auto call = entry<decltype(&fvdev_grab)>(Entry::fvdev_grab);
  if (call == nullptr) return 0;
  unsigned length = size;
  if (call(frame.data(), &length) == 0) return 0;
  frame.resize(std::min(length, size));
  return 1;
}

int DeviceLibrary::quality(std::span<const std::uint8_t> blob, int& quality) {
  const auto call = entry<decltype(&fv_quality)>(Entry::fv_quality);
  if (call == nullptr) return 0;
  int level = 0;  // not needed by the workflow
  return call(DataOrNull(blob), static_cast<int>(blob.size()), &level, &quality);
}

int DeviceLibrary::getState() {
  const auto call = entry<decltype(&fvdev_get_state)>(Entry::fvdev_get_state);
  int state = 0;
  return call != nullptr && call(&state) != 0 ? state : 0;
}

int DeviceLibrary::setLed(int led, int on) {
  const auto call = entry<decltype(&fvdev_set_led)>(Entry::fvdev_set_led);
  return call != nullptr ? call(led, on) : 0;
}

int DeviceLibrary::extractModel(std::span<const std::uint8_t> image1,
                                std::span<const std::uint8_t> image2,
                                std::span<const std::uint8_t> image3,
                                std::vector<std::uint8_t>& model) {
  model.resize(kDrxModelBytes);
  const auto call = entry<decltype(&fv_extract_model)>(Entry::fv_extract_model);
  if (call == nullptr) return 0;
  unsigned length = kDrxModelBytes;
  const int result = call(DataOrNull(image1), static_cast<int>(image1.size()), DataOrNull(image2),
                          static_cast<int>(image2.size()), DataOrNull(image3),
                          static_cast<int>(image3.size()), model.data(), &length);
  model.resize(kDrxModelBytes);
  return result;
}

int DeviceLibrary::match(std::span<const std::uint8_t> blob, std::span<const std::uint8_t> model,
                         float& score) {
  const auto call = entry<decltype(&fv_match)>(Entry::fv_match);
  if (call == nullptr || model.size() < static_cast<std::size_t>(kDrxModelBytes)) return 0;
  return call(DataOrNull(blob), static_cast<int>(blob.size()), model.data(), &score);
}

int DeviceLibrary::index(std::span<const std::uint8_t> models, int count,
                         std::span<const std::uint8_t> blob, int& position, float& score) {
  const auto call = entry<decltype(&fv_index)>(Entry::fv_index);
  if (call == nullptr || count < 0 ||
      models.size() < static_cast<std::size_t>(count) * kDrxModelBytes) {
    return 0;
  }
  return call(DataOrNull(models), count, DataOrNull(blob), static_cast<int>(blob.size()), &position,
              &score);
}

int DeviceLibrary::getCount() {
  const auto call = entry<decltype(&fvdev_get_count)>(Entry::fvdev_get_count);
  int count = 0;
  return call != nullptr && call(&count) != 0 ? count : 0;
}

DeviceLibrary* getDeviceLibrary() {
  Instance& holder = instance();
  if (DeviceLibrary* bound = holder.bound.load(std::memory_order_acquire)) return bound;
  std::lock_guard<std::mutex> lock(holder.lock);
  if (DeviceLibrary* bound = holder.bound.load(std::memory_order_acquire)) return bound;
  auto library = std::make_unique<DeviceLibrary>();
  if (library->bindEntryPoints(kDeviceLibraryFile) == 0) {
    if (isPlugin()) MessageBoxA(nullptr, "Dravex.dll加载失败!", nullptr, MB_OK);
    return nullptr;
  }
  holder.library = std::move(library);
  holder.bound.store(holder.library.get(), std::memory_order_release);
  return holder.library.get();
}

DeviceLibrary& boundDeviceLibrary() {
  static DeviceLibrary none;
  DeviceLibrary* bound = instance().bound.load(std::memory_order_acquire);
  return bound != nullptr ? *bound : none;
}

}  // namespace fvbrowser
