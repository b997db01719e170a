#pragma once
// The base of the two capture workers: the worker thread, its stop flag and the status word
// through which the page answers (both under one lock), the frame just taken and the run's
// capture data, and the steps both workers share: one capture with its quality gate, voice
// prompts and the state report of a failed step. See worker_owner.h for the owner contract.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "data/finger_data.h"
#include "worker/worker_owner.h"

namespace fvbrowser {

// How a capture step ends inside the workers; the page never sees these numbers.
namespace capture {
inline constexpr int kOk = 0;
inline constexpr int kPoorImage2001 = 202;
inline constexpr int kPoorImage2003 = 203;
inline constexpr int kPoorImage = 204;
inline constexpr int kNoTemplate = 205;
inline constexpr int kDeviceLost = 206;
inline constexpr int kEmptyImage = 207;
inline constexpr int kNotSameFinger = 208;
inline constexpr int kWaitedTooLong = 209;
inline constexpr int kDeclined = 210;
inline constexpr int kNoFrame = 211;
inline constexpr int kStopped = -1;
}  // namespace capture

// Time limits, in milliseconds of the platform clock.
inline constexpr int kFrameLimitMs = 2000;
inline constexpr int kStepLimitMs = 60000;
inline constexpr int kFingerLeftLimitMs = 5000;

class FingerBusiness {
 public:
  FingerBusiness(WorkerOwner& owner, WorkerKind kind, int timeoutSeconds);
  virtual ~FingerBusiness();
  FingerBusiness(const FingerBusiness&) = delete;
  FingerBusiness& operator=(const FingerBusiness&) = delete;

  // 0 started; -1 the request is not JSON; the worker's own code when no thread can run.
  virtual int startBusiness(const std::string& request) = 0;

  bool isStopped() const;
  void setStopFlag(bool stop);
  int getStatus() const;
  void setStatus(int status);
  // Sets the stop flag and waits for the thread; returns at once when none runs. From the
  // worker's own thread (a report sink) it only sets the flag.
  void stopThread();
  // Status -1 and the stop flag, without waiting.
  void requestStop();
  // From now on reports are dropped; then stop or destroy the worker.
  void beginTeardown();
  // A thread that has not yet left its run.
  bool isRunning() const { return running_.load(); }

  // One capture into the frame buffer with its quality gate.
  int getOneFeather(int limitMs = kFrameLimitMs);
  void playSound(const std::string& fileName);
  // The state report of a failed step (prompt 20 to 24 or an empty text).
  void reportState(int code);

  const Bytes& frame() const { return frame_; }
  FingerData& fingerData() { return data_; }

 protected:
  // Runs `run` on a new thread, after joining a finished one; false when a run is still alive
  // or no thread can be made.
  bool startThread(std::function<void()> run);
  // The thread's run leaves through here.
  void finishRun();
  // Hands a report to the owner, unless teardown began.
  void deliver(ReportStage stage, int code, const std::string& text);

  virtual void onStart(int code, const std::string& text) = 0;
  virtual void onStateChange(int code, const std::string& text) = 0;
  virtual void onStop(int code, const std::string& text) = 0;
  virtual void onStop() = 0;
  virtual void onStep() = 0;

  WorkerOwner& owner_;
  Bytes frame_;
  // The template of the accepted frame (plug-in build).
  Bytes frameModel_;
  FingerData data_;

 private:
  void joinThread();

  const WorkerKind kind_;
  mutable std::mutex lock_;  // the stop flag and the status word
  bool stop_ = true;
  int status_ = 0;
  std::mutex threadLock_;  // the thread object, between front-end calls
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> teardown_{false};
};

// The platform clock, in milliseconds.
std::uint64_t nowMs();
// Whether strictly more than `limitMs` passed since `since`; a negative limit has passed at once.
bool overLimit(std::uint64_t since, std::int64_t limitMs);
// A run's time limit in milliseconds, without overflow.
inline std::int64_t secondsToMs(int seconds) { return std::int64_t{seconds} * 1000; }

}  // namespace fvbrowser
