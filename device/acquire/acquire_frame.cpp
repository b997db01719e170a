#include "acquire/acquire_frame.h"

#include "acquire/exposure_step.h"
#include "acquire/finger_level.h"
#include "api/last_error.h"
#include "common/dev_info.h"
#include "common/log.h"
#include "context/device_ops.h"
#include "fvplatform/window.h"
#include "preview/draw_preview.h"
#include "protocol/fvdev_protocol.h"

namespace dravex {

bool grabRawFrame(FvDevContext& context, std::vector<std::uint8_t>& raw, int* bytes) {
  std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
  if (!context.device || raw.empty()) return false;
  const int width = devInfoWidth(context.info), height = devInfoHeight(context.info);
  unsigned length = static_cast<unsigned>(raw.size());  // the frame size, or more for 16-bit grabs
  bool ok;
  if (isTwoSensorType(devInfoType(context.info))) {
    ok = FVDEVLib_grab16(context.device.get(), 0, raw.data(), &length);
    if (!ok) logMessage(0, "取图失败 w = %d  h = %d\n", width, height);
  } else {
    ok = FVDEVLib_grab(context.device.get(), raw.data(), &length);
  }
  *bytes = static_cast<int>(length);
  return ok;
}

int acquireFrame(FvDevContext* context, std::uint8_t* frame) {
  if (context == nullptr || context->fingerState != kFingerPresent) return 0;
  int bytes = 0;
  if (!grabRawFrame(*context, context->raw, &bytes)) {
    setLastError(kErrGrab);
    return 0;
  }
  // A size we cannot reduce gives no frame: the buffer's old content is not a new capture.
  if (bytes < 0 || static_cast<std::size_t>(bytes) > context->raw.size() ||
      !reduceRawFrame(context->raw.data(), bytes, frame)) {
    logMessage(0, "不支持该分辨率\n");
    setLastError(kErrFrameSize);
    return 0;
  }
  bool mirror;
  ExposureBand band{};
  {
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    mirror = context->params.mirror != 0;
    band = ExposureBand{context->params.bandLow, context->params.bandHigh, 0};
  }
  if (mirror) mirrorFrame(frame);
  if (context->preview != nullptr && IsWindow(context->preview)) drawIntoWindow(context->preview, frame);
  const int level = fingerRegionLevel(frame);
  {
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    context->params.lastLevel = level;
  }
  if (levelInBand(level, band)) return 1;
  exposureStep(context, level, nullptr);
  return 0;
}

}  // namespace dravex
