#include "fvplatform/media_devices.h"

#include <atomic>

namespace fvplat {
namespace {

class NoMediaDevices final : public MediaEnvironment {
 public:
  HRESULT OpenDeviceEnumerator() override { return S_OK; }
  int CaptureDeviceCount(CaptureCategory) override { return 0; }
  HRESULT ReadMasterVolume(float*, bool*) override { return E_NOTFOUND; }
};

NoMediaDevices& DefaultEnvironment() {
  static NoMediaDevices environment;
  return environment;
}

std::atomic<MediaEnvironment*> gEnvironment{nullptr};

}  // namespace

MediaEnvironment::~MediaEnvironment() = default;

MediaEnvironment& CurrentMediaEnvironment() {
  MediaEnvironment* environment = gEnvironment.load();
  return environment != nullptr ? *environment : DefaultEnvironment();
}

void SetMediaEnvironment(MediaEnvironment* environment) { gEnvironment.store(environment); }

}  // namespace fvplat
