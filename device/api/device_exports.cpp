// The device family: each plain export applies its handle form to the current device. No
// exception (no memory, no thread) leaves an export: the call fails.

#include "api/last_error.h"
#include "context/device_context.h"
#include "context/device_ops.h"
#include "dravex.h"
#include "protocol/fvdev_protocol.h"

using namespace dravex;

namespace {

constexpr int kLedOn = 5;
constexpr int kLedOff = 255;

// Calls `use` on the open context a handle names; otherwise sets `error` and answers 0.
template <class Use>
int withOpenDevice(FvDevHandle handle, int error, Use use) {
  ContextRef context = lookupContext(handle);
  if (!contextIsOpen(context.get())) {
    setLastError(error);
    return 0;
  }
  return use(*context);
}

// Calls `use` on the context a handle names (open or not); 0 without a context and no error.
template <class Use>
int withDevice(FvDevHandle handle, Use use) {
  ContextRef context = lookupContext(handle);
  return context ? use(context.get()) : 0;
}

bool isByte(int level) { return level >= 0 && level <= 255; }

}  // namespace

int fvdev_get_count(int* count) try {
  if (count == nullptr) return badArgument();
  *count = FVDEVLib_get_count();
  return 1;
} catch (...) {
  return 0;
}

int fvdev_open_ex(int index, HWND preview, FvDevHandle* handle) try {
  if (handle == nullptr) return badArgument();
  return openDeviceContext(index, preview, handle);
} catch (...) {
  return 0;
}

int fvdev_open(int index, HWND preview) try {
  FvDevHandle slot = currentHandle();
  return openDeviceContext(index, preview, &slot);
} catch (...) {
  return 0;
}

int fvdev_close_ex(FvDevHandle handle) try {
  return closeDeviceContext(handle);
} catch (...) {
  return 0;
}
int fvdev_close() try {
  return fvdev_close_ex(currentHandle());
} catch (...) {
  return 0;
}

int isDevOpen_ex(FvDevHandle handle) try {
  return contextIsOpen(lookupContext(handle).get()) ? 1 : 0;
} catch (...) {
  return 0;
}
int isDevOpen() try {
  return isDevOpen_ex(currentHandle());
} catch (...) {
  return 0;
}

int fvdev_get_state_ex(FvDevHandle handle, int* state) try {
  if (state == nullptr) return badArgument();
  return withOpenDevice(handle, kErrNoDevice, [&](FvDevContext& context) {
    *state = fingerState(&context);
    return 1;
  });
} catch (...) {
  return 0;
}
int fvdev_get_state(int* state) try {
  return fvdev_get_state_ex(currentHandle(), state);
} catch (...) {
  return 0;
}

int fvdev_set_led_ex(FvDevHandle handle, int led, int on) try {
  if (led != 0 && led != 1) return 0;  // no such LED: nothing sent, nothing to report
  const int level = on ? kLedOn : kLedOff;
  return withOpenDevice(handle, kErrNoDevice, [&](FvDevContext& context) {
    return setLedLevels(&context, led == 0 ? level : 0, led == 1 ? level : 0) ? 1 : 0;
  });
} catch (...) {
  return 0;
}
int fvdev_set_led(int led, int on) try {
  return fvdev_set_led_ex(currentHandle(), led, on);
} catch (...) {
  return 0;
}

int fvdev_set_led_bFlush_ex(FvDevHandle handle, int level0, int level1) try {
  if (!isByte(level0) || !isByte(level1)) return badArgument();
  return withOpenDevice(handle, kErrNoDevice, [&](FvDevContext& context) {
    return setLedLevels(&context, level0, level1) ? 1 : 0;
  });
} catch (...) {
  return 0;
}
int fvdev_set_led_bFlush(int level0, int level1) try {
  return fvdev_set_led_bFlush_ex(currentHandle(), level0, level1);
} catch (...) {
  return 0;
}

// The device has no buzzer.
int fvdev_set_buzzer_ex(FvDevHandle, int, int) { return 0; }
int fvdev_set_buzzer(int, int) { return 0; }

int fvdev_openBackLight_ex(FvDevHandle handle) try {
  return withDevice(handle, [](FvDevContext* c) { return switchBacklightOn(c) ? 1 : 0; });
} catch (...) {
  return 0;
}
int fvdev_openBackLight() try {
  return fvdev_openBackLight_ex(currentHandle());
} catch (...) {
  return 0;
}

int fvdev_closeBackLight_ex(FvDevHandle handle) try {
  return withDevice(handle, [](FvDevContext* c) { return switchBacklightOff(c) ? 1 : 0; });
} catch (...) {
  return 0;
}
int fvdev_closeBackLight() try {
  return fvdev_closeBackLight_ex(currentHandle());
} catch (...) {
  return 0;
}

int fvdev_expose_ex(FvDevHandle handle, int level, int* exposure) try {
  if (exposure == nullptr) return badArgument();
  return withDevice(handle, [&](FvDevContext* c) { return exposureStep(c, level, exposure); });
} catch (...) {
  return 0;
}
int fvdev_expose(int level, int* exposure) try {
  return fvdev_expose_ex(currentHandle(), level, exposure);
} catch (...) {
  return 0;
}

int fvdev_setno_ex(FvDevHandle handle, int number) try {
  return withDevice(handle, [&](FvDevContext* c) { return setDeviceNumber(c, number) ? 1 : 0; });
} catch (...) {
  return 0;
}
int fvdev_setno(int number) try {
  return fvdev_setno_ex(currentHandle(), number);
} catch (...) {
  return 0;
}

int fvdev_getno_ex(FvDevHandle handle, int* number) try {
  if (number == nullptr) return badArgument();
  return withDevice(handle, [&](FvDevContext* c) { return getDeviceNumber(c, number) ? 1 : 0; });
} catch (...) {
  return 0;
}
int fvdev_getno(int* number) try {
  return fvdev_getno_ex(currentHandle(), number);
} catch (...) {
  return 0;
}

int fvdev_setdevNumber_ex(FvDevHandle handle, const char* serial) try {
  if (serial == nullptr) return 0;
  return withDevice(handle, [&](FvDevContext* c) { return setSerialText(c, serial) ? 1 : 0; });
} catch (...) {
  return 0;
}
int fvdev_SetdevNumber(const char* serial) try {
  return fvdev_setdevNumber_ex(currentHandle(), serial);
} catch (...) {
  return 0;
}

int fvdev_GetdevNumber_ex(FvDevHandle handle, char* out) try {
  if (out == nullptr) return badArgument();
  return withDevice(handle, [&](FvDevContext* c) { return getSerialText(c, out) ? 1 : 0; });
} catch (...) {
  return 0;
}
int fvdev_GetdevNumber(char* out) try {
  return fvdev_GetdevNumber_ex(currentHandle(), out);
} catch (...) {
  return 0;
}

int fvdev_setPD_ex(FvDevHandle handle, int date) try {
  return withDevice(handle, [&](FvDevContext* c) { return setProductionDate(c, date) ? 1 : 0; });
} catch (...) {
  return 0;
}
int fvdev_setPD(int date) try {
  return fvdev_setPD_ex(currentHandle(), date);
} catch (...) {
  return 0;
}

int fvdev_getPDdate_ex(FvDevHandle handle, int* date) try {
  if (date == nullptr) return badArgument();
  return withDevice(handle, [&](FvDevContext* c) { return getProductionDate(c, date) ? 1 : 0; });
} catch (...) {
  return 0;
}
int fvdev_getPD(int* date) try {
  return fvdev_getPDdate_ex(currentHandle(), date);
} catch (...) {
  return 0;
}

int fvdev_setpara() try {
  ContextRef context = currentContext();
  return context ? calibrateExposureSteps(context.get()) : 0;
} catch (...) {
  return 0;
}

int fvdev_grab_ex(FvDevHandle handle, unsigned char* buffer, unsigned* length) try {
  ContextRef context = lookupContext(handle);
  if (!contextIsOpen(context.get()) || !hasFrameBuffer(context.get())) {
    setLastError(kErrGrabNotOpen);
    return 0;
  }
  if (buffer == nullptr || length == nullptr) return badArgument();
  return takeHeldFrame(context.get(), buffer, length) ? 1 : 0;
} catch (...) {
  return 0;
}
int fvdev_grab(unsigned char* buffer, unsigned* length) try {
  return fvdev_grab_ex(currentHandle(), buffer, length);
} catch (...) {
  return 0;
}

int fv_get_default_threshold(float* threshold) try {
  if (threshold == nullptr) return badArgument();
  *threshold = defaultThreshold(currentContext().get());
  return 1;
} catch (...) {
  return 0;
}

int fv_Get_Dev_Info_ex(FvDevHandle handle, FvDevInfo* out) try {
  if (out == nullptr) return badArgument();
  ContextRef context = lookupContext(handle);
  if (context) readDeviceInfo(context.get(), out);
  return 1;
} catch (...) {
  return 0;
}
int fv_Get_Dev_Info(FvDevInfo* out) try {
  return fv_Get_Dev_Info_ex(currentHandle(), out);
} catch (...) {
  return 0;
}
