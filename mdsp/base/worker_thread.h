// A worker thread that runs Step() in a loop with a fixed pause between
// steps, until asked to stop or until a step fails.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace mdsp {

class KWF_Thread {
 public:
  enum State : int { kIdle = 0, kRunning = 1, kStopRequested = 2, kFinished = 3 };

  KWF_Thread() = default;
  // Derived destructors must call Stop(true) first: the thread may be inside
  // one of their overrides.
  virtual ~KWF_Thread();
  KWF_Thread(const KWF_Thread&) = delete;
  KWF_Thread& operator=(const KWF_Thread&) = delete;

  virtual bool OnStart() { return true; }
  // One pass of the work; false ends the thread with LastError recorded. The
  // default runs a single pass.
  virtual bool Step();
  virtual void OnStop(bool /*success*/) {}

  // Starts the thread and returns once it runs. Fails with ERR_SYSTEM while
  // a thread is still running or stopping.
  bool Start();
  // Asks the thread to stop; with wait, joins it and releases the handle.
  void Stop(bool wait);

  State state() const { return state_.load(); }
  int32_t errorCode() const { return errorCode_; }
  uint32_t stepIntervalMs() const { return stepIntervalMs_; }
  void setStepIntervalMs(uint32_t ms) { stepIntervalMs_ = ms; }

 protected:
  // Pause between two steps. The default sleeps the step interval; an
  // override may wait differently (e.g. longer while nothing can arrive) and
  // must return early once a stop is requested.
  virtual void PauseBetweenSteps();
  // Called on the stopping thread right after a stop was requested, so an
  // override of PauseBetweenSteps can end its wait.
  virtual void OnStopRequested() {}

 private:
  void Body();

  int32_t errorCode_ = 0;
  uint32_t stepIntervalMs_ = 0;
  std::thread thread_;
  std::atomic<State> state_{kIdle};
  std::atomic<std::thread::id> workerId_{};
};

}  // namespace mdsp
