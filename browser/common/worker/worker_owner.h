#pragma once
// The owner contract: what a front-end (the control or the plug-in) gives its capture workers,
// and how it drives them.
//
// Driving a worker (all on the front-end's user-interface thread):
//  - construct `FingerModel` or `FingerRecog` with the owner; the owner outlives the worker;
//  - start a run with `startBusiness(request)`: 0 started, -1 the request is not JSON, 4
//    (enrolment) or 3 (recognition) when no thread can run, also while a run is still alive;
//  - answer a prompt with `setStatus(positive)` to go on or `setStatus(-1)` to decline; the
//    answer reaches the worker that asked (each worker has one status word);
//  - stop: `stopThread()` sets the stop flag and joins (the control); `requestStop()` sets the
//    status to -1 and the stop flag and returns at once (the plug-in), the thread is joined by
//    the next start, by `stopThread()` or by destruction;
//  - tear down: `beginTeardown()` first (reports are dropped from then on, so a worker never
//    waits on a page that is going away), then destroy; destruction stops and joins.
//
// Receiving reports: `deliverReport` runs on the worker's thread, never with a lock of the
// worker held. The control posts the text to its window (the stage goes in wParam); the plug-in
// hands code and text to the page synchronously and may call `setStatus` or `requestStop` from
// inside it. A synchronous sink must not wait for a thread that is tearing the worker down.

#include <cstdint>
#include <string>
#include <vector>

namespace fvbrowser {

class FingerBusiness;
using Bytes = std::vector<std::uint8_t>;

enum class WorkerKind { kModel, kRecog };
// The stage of a report: wParam of the control's messages.
enum class ReportStage : int { kStart = 0, kStateChange = 1, kStep = 2, kStop = 3 };

struct Report {
  WorkerKind kind;
  ReportStage stage;
  int code;          // the report's "RETURNID"
  std::string text;  // a ResultJson text; empty for a failed step without a prompt
};

class WorkerOwner {
 public:
  virtual ~WorkerOwner() = default;

  // One frame for `worker` into `frame`, within `limitMs` of the platform clock. Sets `code`
  // and returns it:
  //  - control: empty `frame`, then 206 (or -1) when the device is not open or lost; else it loops:
  //  211
  //    once more than `limitMs` passed, 209 when the worker's stop flag is set, 0 when
  //    `DeviceLibrary::grab` gave a frame, else it sleeps 35 ms and tries again;
  //  - plug-in: one grab attempt: 206 when the device is not open or none is present, 207 for no
  //    frame or a poor one, 1 for a frame; `quality` gets the frame's verdict (-1 without one).
  virtual int fetchFrame(FingerBusiness& worker, int& code, int limitMs, Bytes& frame,
                         int& quality) = 0;
  // The finger state (3: a finger lies on the sensor), for enrolment.
  virtual int getFingerState() = 0;
  virtual void deliverReport(const Report& report) = 0;
};

}  // namespace fvbrowser
