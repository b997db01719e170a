#pragma once
// What the exports do with one context. Each takes a context that may be null and answers false
// (0) for it unless it says otherwise; none writes the last error unless it says so.

#include <cstdint>

#include "context/device_context.h"

namespace dravex {

// Non-null, at least one device present, and the open flag set.
bool contextIsOpen(const FvDevContext* context);
// The finger state the worker keeps: 0 no finger, 3 finger present.
int fingerState(const FvDevContext* context);
// Open, and its finger state is 3.
bool isFingerPresent(const FvDevContext* context);

// The held frame as an ImageBlob, copied with *length set to its size when that is strictly
// below the capacity *length; the frame is then used up. False when none waits, when the
// context has no frame buffer, and when it did not fit (*length unchanged, the frame kept).
bool takeHeldFrame(FvDevContext* context, std::uint8_t* buffer, unsigned* length);
// The context can hand out frames at all (it has its frame buffers).
bool hasFrameBuffer(FvDevContext* context);

// LED levels (request 0xB6) and the block's backlight patterns (0xB5), under the device lock.
bool setLedLevels(FvDevContext* context, int level0, int level1);
bool switchBacklightOn(FvDevContext* context);
bool switchBacklightOff(FvDevContext* context);

// Re-reads the device information into *out; writes nothing unless the context is open.
void readDeviceInfo(FvDevContext* context, FvDevInfo* out);

// The block's match threshold; 0.63 for a null context (no current device).
float defaultThreshold(FvDevContext* context);

// Device number (4 bytes at on-board offset 16), serial text and production date.
bool setDeviceNumber(FvDevContext* context, int number);
bool getDeviceNumber(FvDevContext* context, int* number);
bool setSerialText(FvDevContext* context, const char* text);
bool getSerialText(FvDevContext* context, char* out);
bool setProductionDate(FvDevContext* context, int date);
bool getProductionDate(FvDevContext* context, int* date);

// Sends `exposure` with gain words 32 and stores it as the block's current exposure.
bool setExposure(FvDevContext* context, int exposure);

// One auto-exposure step from a measured level: *exposure (may be null) = the new exposure, 1.
// A level inside the band: error 5, 0, exposure unchanged. Null context: 0.
int exposureStep(FvDevContext* context, int level, int* exposure);

// Tunes the exposure steps on a finger lying on the sensor with the worker stopped, then stores
// them with the start exposure that got there fastest. Without a finger it returns at once and
// writes nothing. Returns 0, as the export does.
int calibrateExposureSteps(FvDevContext* context);
// The same on the current device, taken under the lock that opens and closes take.
int calibrateCurrentDevice();

}  // namespace dravex
