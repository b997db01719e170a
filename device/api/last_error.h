#pragma once
// The library's process-wide state shared by all exports: the last error and the engine's start.

namespace dravex {

inline constexpr int kErrNone = 255;
inline constexpr int kErrNoDevice = 2;
inline constexpr int kErrFrameSize = 4;
inline constexpr int kErrInBand = 5;
inline constexpr int kErrGrab = 6;
inline constexpr int kErrNoSuchDevice = 7;
inline constexpr int kErrOpenFailed = 8;
inline constexpr int kErrGrabNotOpen = 9;
inline constexpr int kErrModelBuffer = 13;
inline constexpr int kErrFirstImage = 14;
inline constexpr int kErrBadArgument = 16;

void setLastError(int code);
// Refuses an export's argument: the last error becomes 16 and the export answers 0.
int badArgument();
// Returns the last error and resets it to none.
int takeLastError();

// Engine mode from a device type: 1 or 2 -> 0, 3 -> 1, 16 or 18 -> 2; other types keep it.
void noteDeviceType(int deviceType);
int engineModeForDevices();
// Starts the engine once per process, under a lock, with the mode noted most recently.
void ensureEngineStarted();

}  // namespace dravex
