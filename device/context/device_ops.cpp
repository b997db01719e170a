// The per-device operations behind the exports.

#include "context/device_ops.h"

#include <algorithm>
#include <cstring>

#include "acquire/exposure_step.h"
#include "api/last_error.h"
#include "blob/image_blob.h"
#include "common/dev_info.h"
#include "common/log.h"
#include "context/context_internal.h"
#include "params/param_store.h"
#include "params/serial_block.h"
#include "protocol/fvdev_protocol.h"

namespace dravex {

bool ContextMemory::read(int offset, void* data, int length) {
  std::lock_guard<std::recursive_mutex> lock(context_.deviceLock);
  return context_.device &&
         FVDEVLib_read_mem(context_.device.get(), static_cast<std::uint8_t*>(data), offset, length);
}

bool ContextMemory::write(int offset, const void* data, int length) {
  std::lock_guard<std::recursive_mutex> lock(context_.deviceLock);
  return context_.device &&
         FVDEVLib_write_mem(context_.device.get(), static_cast<const std::uint8_t*>(data), offset, length);
}

bool contextIsOpen(const FvDevContext* context) {
  return context != nullptr && FVDEVLib_get_count() >= 1 && context->openFlag;
}

int fingerState(const FvDevContext* context) { return context ? context->fingerState.load() : 0; }

bool isFingerPresent(const FvDevContext* context) {
  return contextIsOpen(context) && context->fingerState == kFingerPresent;
}

bool hasFrameBuffer(FvDevContext* context) {
  if (context == nullptr) return false;
  std::lock_guard<std::mutex> lock(context->frameLock);
  return !context->scratch.empty();
}

bool takeHeldFrame(FvDevContext* context, std::uint8_t* buffer, unsigned* length) {
  if (context == nullptr || buffer == nullptr || length == nullptr) return false;
  std::lock_guard<std::mutex> lock(context->frameLock);
  if (context->scratch.empty() || !context->newFrame) return false;
  std::vector<std::uint8_t> blob;
  try {
    blob = encodeImageBlob(context->frame.data());
  } catch (const std::exception&) {  // the codec found no memory
    blob.clear();
  }
  // A buffer without room keeps the frame for the next call instead of losing it.
  if (!blob.empty() && blob.size() >= *length) return false;
  context->newFrame = 0;
  if (blob.empty()) return false;
  std::memcpy(buffer, blob.data(), blob.size());
  *length = static_cast<unsigned>(blob.size());
  return true;
}

bool setLedLevels(FvDevContext* context, int level0, int level1) {
  if (context == nullptr) return false;
  std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
  return context->device && FVDEVLib_set_led(context->device.get(), level0, level1);
}

namespace {

bool sendBacklight(FvDevContext* context, bool on) {
  if (context == nullptr) return false;
  std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
  const std::uint8_t* pattern = on ? context->params.backlightOn : context->params.backlightOff;
  return context->device && FVDEVLib_set_backlight(context->device.get(), pattern);
}

// Runs `use` on the context's on-board memory with the device lock held throughout, so the
// mirrors change with the memory.
template <typename Use>
bool withMemory(FvDevContext* context, Use use) {
  if (context == nullptr) return false;
  std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
  ContextMemory memory(*context);
  return use(memory);
}

}  // namespace

bool switchBacklightOn(FvDevContext* context) { return sendBacklight(context, true); }

bool switchBacklightOff(FvDevContext* context) { return sendBacklight(context, false); }

void readDeviceInfo(FvDevContext* context, FvDevInfo* out) {
  if (context == nullptr || out == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
  if (!contextIsOpen(context) || !context->device) return;
  FVDEVLib_get_info(context->device.get(), out);
}

float defaultThreshold(FvDevContext* context) {
  if (context == nullptr) return 0.63f;
  std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
  return context->params.threshold;
}

bool setDeviceNumber(FvDevContext* context, int number) {
  return withMemory(context, [&](OnboardMemory& memory) {
    logMessage(0, "set no %d\n", number);
    return storeDeviceNumber(memory, context->params, number);
  });
}

bool getDeviceNumber(FvDevContext* context, int* number) {
  return withMemory(context, [&](OnboardMemory& memory) {
    bool ok = fetchDeviceNumber(memory, context->params, number);
    logMessage(0, "get no %d\n", context->params.deviceNumber);
    return ok;
  });
}

bool setSerialText(FvDevContext* context, const char* text) {
  return withMemory(context, [&](OnboardMemory& m) { return storeSerialText(m, context->serial, text); });
}

bool getSerialText(FvDevContext* context, char* out) {
  return withMemory(context, [&](OnboardMemory& m) { return fetchSerialText(m, context->serial, out); });
}

bool setProductionDate(FvDevContext* context, int date) {
  return withMemory(context, [&](OnboardMemory& m) { return storeProductionDate(m, context->serial, date); });
}

bool getProductionDate(FvDevContext* context, int* date) {
  return withMemory(context, [&](OnboardMemory& m) { return fetchProductionDate(m, context->serial, date); });
}

bool setExposure(FvDevContext* context, int exposure) {
  if (context == nullptr) return false;
  std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
  context->params.exposure = exposure;
  if (!context->device) return false;
  if (isTwoSensorType(devInfoType(context->info))) {
    return FVDEVLib_set_exposure2(context->device.get(), 0, exposure, 32, 32, 32, 32);
  }
  return FVDEVLib_set_exposure(context->device.get(), exposure, 32, 32, 32, 32);
}

int exposureStep(FvDevContext* context, int level, int* exposure) {
  if (context == nullptr) return 0;
  ExposureBand band{};
  int current = 0;
  float steps[4];
  {
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    band = ExposureBand{context->params.bandLow, context->params.bandHigh, devInfoMaxExposure(context->info)};
    current = context->params.exposure;
    std::memcpy(steps, context->params.steps, sizeof steps);  // a packed field: copied bytewise
  }
  logMessage(0, "get exp %d   avg = %d\n", current, level);
  if (levelInBand(level, band)) {
    setLastError(kErrInBand);
    return 0;
  }
  int next = nextExposure(level, current, band, steps);
  logMessage(0, "set exp %d\n", next);
  setExposure(context, next);
  if (exposure != nullptr) *exposure = next;
  return 1;
}

}  // namespace dravex
