#pragma once
// The device library as the main dialog and the capture worker use it. The program's own
// implementation goes through the bound entry points; tests give a fake.

#include <array>
#include <cstdint>
#include <vector>

#include "fvplatform/win_types.h"

namespace torvane {

using Bytes = std::vector<std::uint8_t>;

// The four 32-bit values of a quality call: the engine status, then three float measures.
struct QualityMeasures {
  std::int32_t status = 0;
  float saturated = 0;  // q[1]: share of saturated pixels
  float clarity = 0;    // q[2]
  float band = 0;       // q[3]: band measure
};

class DeviceAccess {
 public:
  virtual ~DeviceAccess() = default;
  // getDeviceLibrary: loads and binds the library when it is not yet; true when bound.
  virtual bool load() = 0;
  // isDevOpen: false when the library or the entry point is missing.
  virtual bool isOpen() = 0;
  // fvdev_open with the preview window.
  virtual bool open(int index, HWND preview) = 0;
  // fvdev_getno with the number preset to -1; whatever the export left there.
  virtual int readNumber() = 0;
  // fvdev_get_state: the state when the call succeeds, else 0.
  virtual int fingerState() = 0;
  // captureImage: the held frame as an image blob; false (and `into` unchanged) without one.
  virtual bool capture(Bytes& into) = 0;
  // fv_quality_ex; false when the call fails (the measures are then not to be trusted).
  virtual bool quality(const Bytes& blob, QualityMeasures& q) = 0;
  // fv_match against a model; false when the call fails.
  virtual bool match(const Bytes& blob, const Bytes& model, float& score) = 0;
  // buildModelFromImages: fv_extract_model of up to three captures into `model` (3352 bytes).
  virtual bool buildModel(const std::array<Bytes, 3>& images, Bytes& model) = 0;
  virtual void setLed(int led, int on) = 0;
  // fvdev_setno; false when the call fails or is not bound.
  virtual bool setNumber(int) { return false; }
};

}  // namespace torvane
