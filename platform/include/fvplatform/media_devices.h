#pragma once
// The capture devices and the speaker's master volume of the machine, as the system device
// enumerator and the audio endpoint service report them. The default environment has neither
// (Linux offers no such services here): it lists no devices and has no speaker. Tests install
// one of their own.

#include "fvplatform/com_types.h"
#include "fvplatform/export.h"

namespace fvplat {

enum class CaptureCategory { AudioInput, VideoInput };

// HRESULT of a missing element (no default audio endpoint).
inline constexpr HRESULT E_NOTFOUND = MakeHresult(0x80070490u);

class FVPLAT_API MediaEnvironment {
 public:
  virtual ~MediaEnvironment();
  // S_OK when the device enumerator can be made, else the HRESULT of its creation.
  virtual HRESULT OpenDeviceEnumerator() = 0;
  // How many devices of the category the enumerator lists.
  virtual int CaptureDeviceCount(CaptureCategory category) = 0;
  // The default render endpoint's master volume (0.0 to 1.0) and mute, or the HRESULT of the
  // first step that failed.
  virtual HRESULT ReadMasterVolume(float* level, bool* muted) = 0;
};

FVPLAT_API MediaEnvironment& CurrentMediaEnvironment();
// Replaces the process-wide environment; nullptr restores the default. It must outlive its use.
FVPLAT_API void SetMediaEnvironment(MediaEnvironment* environment);

}  // namespace fvplat
