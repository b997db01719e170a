#pragma once
// One opened capture device: its USB device, the mirrors of its on-board blocks, the frame its
// worker thread holds for a caller, and the two locks. Lock order: frame lock, then device lock.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "acquire/reduce_frame.h"
#include "dravex.h"
#include "fvplatform/win_types.h"
#include "params/param_block.h"
#include "protocol/fvdev_protocol.h"

namespace dravex {

struct FvDevContext {
  int index = 0;              // enumeration index, used again to reopen
  HWND preview = nullptr;     // the caller's preview window, or null
  std::atomic<int> openFlag{0};     // 1 while usable; a failed finger poll clears it
  std::atomic<int> stopFlag{0};     // ends the worker
  std::atomic<int> fingerState{0};  // 0 no finger, 3 finger present; written by the worker
  std::atomic<int> backlight{0};    // 1 while the worker has the backlight on for a finger
  std::thread worker;

  // Guards every USB transfer of the device and both block mirrors; recursive, since device
  // operations nest (an exposure step inside an acquisition step).
  std::recursive_mutex deviceLock;
  std::unique_ptr<FvDevice> device;
  FvDevInfo info{};
  alignas(4) FvParamBlock params{};
  alignas(4) FvSerialBlock serial{};
  std::vector<std::uint8_t> raw;  // one raw frame as the device sends it; the worker's

  // Guards the held frame; always taken before the device lock.
  std::mutex frameLock;
  std::array<std::uint8_t, kFrameBytes> frame{};
  std::atomic<std::uint8_t> newFrame{0};  // 1 while `frame` is accepted and untaken
  std::vector<std::uint8_t> scratch;      // calibration frame; grabs need it present
};

// Keeps a context alive while a call uses it, even if another thread closes it meanwhile.
using ContextRef = std::shared_ptr<FvDevContext>;

// Opens device `index` with an optional preview window into *handle, which may already name a
// context: a healthy one is kept (1, nothing else happens), a stale one is closed first. Makes
// the new context current, appends it to the open devices and starts its worker. Errors 7 (no
// such device) and 8 (the open or the device information failed) give 0.
int openDeviceContext(int index, HWND preview, FvDevHandle* handle);

// Stops the worker, switches the light and exposure off, closes the device and forgets the
// context. Null or unknown handle: error 2, 0.
int closeDeviceContext(FvDevHandle handle);

// Closes every open device, as unload does.
void closeAllDeviceContexts();

// The open context a handle names, or null for null, closed and unknown handles.
ContextRef lookupContext(FvDevHandle handle);
// The device opened last. Closing the current device hands the slot to the first device still
// open; closing any other device leaves no current device.
ContextRef currentContext();
FvDevHandle currentHandle();

// Number of worker threads running in the process.
int runningWorkerCount();

}  // namespace dravex
