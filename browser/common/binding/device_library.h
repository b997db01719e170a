#pragma once
// The browser modules' binding of the capture-device library: loaded by name at run time, 37
// entry points bound by name, and thin wrappers that answer 0 for an entry point left unbound.

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "fvplatform/win_types.h"

namespace fvbrowser {

// The names bound, in binding order.
enum class Entry : int {
  fvdev_open,
  fvdev_close,
  fvdev_get_count,
  isDevOpen,
  fvdev_grab,
  fvdev_get_state,
  fvdev_set_led,
  fv_extract_model,
  fv_match,
  fv_index,
  setDebugLevel,
  drawFingerVein,
  fv_quality,
  fvdev_openBackLight,
  fvdev_closeBackLight,
  fvdev_expose,
  fvdev_getno,
  fvdev_setno,
  fvdev_open_ex,
  isDevOpen_ex,
  fvdev_openBackLight_ex,
  fvdev_closeBackLight_ex,
  fvdev_grab_ex,
  fvdev_close_ex,
  fvdev_expose_ex,
  fvdev_get_state_ex,
  fvdev_set_led_ex,
  fvdev_setno_ex,
  fvdev_getno_ex,
  fv_Get_Edition,
  fv_Get_Dev_Info,
  fv_get_default_threshold,
  fv_load_model,
  fv_user_index,
  fv_user_add,
  fv_user_del,
  fv_index_addUser,
};
inline constexpr int kEntryCount = 37;
const char* entryName(Entry entry);

inline constexpr const char* kDeviceLibraryFile = "Dravex.dll";

class DeviceLibrary {
 public:
  DeviceLibrary() = default;
  DeviceLibrary(const DeviceLibrary&) = delete;
  DeviceLibrary& operator=(const DeviceLibrary&) = delete;

  // Loads `fileName` and binds every name in order; at the first missing name writes
  // "fun #name  not find.\n" to the debugger output and fails (0), leaving later names unbound.
  int bindEntryPoints(const char* fileName);

  int open(int index, HWND preview);
  int isOpen();
  // Backlight off, then close; 1 (0 when unbound).
  int close();
  // Sizes `frame` to the grab buffer (78000 bytes, 780000 in the plug-in); on success (1) it is
  // cut to the length the library gave, else (0) it keeps the full size.
  int grab(std::vector<std::uint8_t>& frame);
  int quality(std::span<const std::uint8_t> blob, int& quality);
  // The finger state (3: a finger on the sensor), 0 when the call fails.
  int getState();
  int setLed(int led, int on);
  // A template of 3352 bytes from one to three images; an empty image passes no data.
  int extractModel(std::span<const std::uint8_t> image1, std::span<const std::uint8_t> image2,
                   std::span<const std::uint8_t> image3, std::vector<std::uint8_t>& model);
  // 0 without calling when `model` holds fewer than 3352 bytes.
  int match(std::span<const std::uint8_t> blob, std::span<const std::uint8_t> model, float& score);
  // `models` holds `count` templates end to end; 0 without calling when it holds fewer.
  int index(std::span<const std::uint8_t> models, int count, std::span<const std::uint8_t> blob,
            int& position, float& score);
  // The number of devices present (0 when the call fails).
  int getCount();

  // Any bound entry point as its function type, null when unbound.
  template <typename Fn>
  Fn entry(Entry which) const {
    return reinterpret_cast<Fn>(entries_[static_cast<std::size_t>(which)]);
  }

 private:
  HMODULE module_ = nullptr;
  std::array<FARPROC, kEntryCount> entries_{};
};

// The bound library, made on first use from "Dravex.dll"; null when it cannot be bound (the
// plug-in then shows "Dravex.dll加载失败!"), and the next call tries again from the start.
DeviceLibrary* getDeviceLibrary();
// The bound library without trying to bind, or a stand-in whose every wrapper answers 0:
// for callers that act only after a successful open.
DeviceLibrary& boundDeviceLibrary();

}  // namespace fvbrowser
