#pragma once
// What the open, close, worker, acquisition and calibration steps share inside the library.

#include <cstdint>
#include <mutex>
#include <vector>

#include "context/device_context.h"
#include "params/param_block.h"

namespace dravex {

// The backlight pattern of a device nobody uses: every segment dark.
inline constexpr std::uint8_t kBacklightDark[8] = {};

// Serialises opens, closes and calibrations: each stops or starts workers and edits the list.
std::mutex& lifecycleLock();

// The open list: a new context becomes current and is appended; a closed one leaves the list,
// and the current device follows the close rule.
FvDevHandle publishOpened(const ContextRef& context);
void withdrawClosed(const FvDevContext* context);
// The open contexts in the order of opening.
std::vector<ContextRef> openContexts();
bool isListed(const FvDevContext* context);
// Gives back the list's memory once it is empty.
void releaseOpenList();

// The close sequence, with the lifecycle lock already held.
void closeDeviceContextLocked(FvDevContext& context);

void startWorker(FvDevContext& context);
void stopWorker(FvDevContext& context);

// One worker turn's finger poll; calibration uses it while the worker is stopped.
void pollFingerStep(FvDevContext& context);

// The open flag is set and the USB device is open and answering.
bool contextHealthy(FvDevContext& context);

// USB device `index` opened (null when it will not open), with its log line either way.
std::unique_ptr<FvDevice> openUsbDevice(int index);

// The steps an open and every reopen share: the device's information (a device without it is
// closed again: false), the engine mode, the frame buffers, the parameter block, the open flag.
// An open also darkens the backlight before the block; a reopen starts the finger, backlight
// and frame state over instead.
enum class BringUp { kOpen, kReopen };
bool bringUpDevice(FvDevContext& context, std::unique_ptr<FvDevice> device, BringUp kind);

// The on-board memory of the context's device, each transfer under its device lock.
class ContextMemory final : public OnboardMemory {
 public:
  explicit ContextMemory(FvDevContext& context) : context_(context) {}
  bool read(int offset, void* data, int length) override;
  bool write(int offset, const void* data, int length) override;

 private:
  FvDevContext& context_;
};

}  // namespace dravex
