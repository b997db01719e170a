#pragma once
// The device library loaded at run time ("Dravex.dll" through the platform loader) and called
// through its entry points; an unbound entry point is a failed call.

#include <mutex>

#include "ports/device_access.h"

namespace torvane {

class LibraryDevice final : public DeviceAccess {
 public:
  bool load() override;
  bool isOpen() override;
  bool open(int index, HWND preview) override;
  int readNumber() override;
  int fingerState() override;
  bool capture(Bytes& into) override;
  bool quality(const Bytes& blob, QualityMeasures& q) override;
  bool match(const Bytes& blob, const Bytes& model, float& score) override;
  bool buildModel(const std::array<Bytes, 3>& images, Bytes& model) override;
  void setLed(int led, int on) override;
  // fvdev_close: the program closes the device itself once its dialog is gone, so that the
  // device's worker is stopped before the process unloads the library.
  void close();

 private:
  struct EntryPoints {
    int (*isDevOpen)() = nullptr;
    int (*fvdev_open)(int, HWND) = nullptr;
    int (*fvdev_getno)(int*) = nullptr;
    int (*fvdev_get_state)(int*) = nullptr;
    int (*fvdev_grab)(unsigned char*, unsigned*) = nullptr;
    int (*fv_quality_ex)(const unsigned char*, int, int*) = nullptr;
    int (*fv_match)(const unsigned char*, int, const unsigned char*, float*) = nullptr;
    int (*fv_extract_model)(const unsigned char*, int, const unsigned char*, int,
                            const unsigned char*, int, unsigned char*, unsigned*) = nullptr;
    int (*fvdev_set_led)(int, int) = nullptr;
    int (*fvdev_close)() = nullptr;
  };
  EntryPoints entries();

  std::mutex m_lock;  // guards the binding
  bool m_bound = false;
  EntryPoints m_entries;
};

}  // namespace torvane
