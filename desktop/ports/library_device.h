#pragma once
// The device library as the program binds it (getDeviceLibrary and its entry points); an
// unbound entry point is a failed call.

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
  bool setNumber(int number) override;
  // fvdev_close: the program closes the device itself once its dialog is gone, so that the
  // device's worker is stopped before the process unloads the library.
  void close();
};

}  // namespace torvane
