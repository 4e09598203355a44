#include "base/worker_thread.h"

#include <system_error>

#include "base/errors.h"
#include "base/log.h"
#include "platform/clock.h"

namespace mdsp {

KWF_Thread::~KWF_Thread() { Stop(true); }

bool KWF_Thread::Step() {
  State running = kRunning;
  state_.compare_exchange_strong(running, kStopRequested);
  return true;
}

bool KWF_Thread::Start() {
  errorCode_ = 0;
  if (thread_.joinable()) {
    if (state_.load() != kFinished) {
      ReportError(ERR_SYSTEM);
      return false;
    }
    thread_.join();  // already ended: this only releases the handle
  }
  state_.store(kIdle);
  std::atomic<int> acknowledged{0};
  try {
    thread_ = std::thread([this, &acknowledged] {
      // Running before the acknowledgement: a Stop right after Start must
      // find the running state to ask it to end.
      state_.store(kRunning);
      workerId_.store(std::this_thread::get_id());
      acknowledged.fetch_add(1);
      Body();
    });
  } catch (const std::system_error&) {
    ReportError(ERR_NO_MEMORY);
    return false;
  }
  // The start block lives on this stack: wait until the thread has read it.
  while (acknowledged.load() == 0) std::this_thread::yield();
  return true;
}

void KWF_Thread::Body() {
  if (!OnStart()) {
    errorCode_ = LastErrorCode();
    OnStop(false);
    workerId_.store(std::thread::id());
    state_.store(kFinished);
    return;
  }
  while (state_.load() == kRunning) {
    if (!Step()) {
      errorCode_ = LastErrorCode();
      break;
    }
    if (stepIntervalMs_ > 0 && state_.load() == kRunning) PauseBetweenSteps();
  }
  OnStop(errorCode_ == 0);
  workerId_.store(std::thread::id());  // ids of ended threads are reused
  state_.store(kFinished);
}

void KWF_Thread::PauseBetweenSteps() { platform::SleepMs(stepIntervalMs_); }

void KWF_Thread::Stop(bool wait) {
  State running = kRunning;
  // Asked from the worker itself (a callback): it ends after this step; the
  // handle stays, so the next Start or the unload joins it. The worker never
  // touches the handle, which its starter may still be writing.
  if (workerId_.load() == std::this_thread::get_id()) {
    if (state_.compare_exchange_strong(running, kStopRequested)) OnStopRequested();
    return;
  }
  if (!thread_.joinable()) return;
  if (state_.compare_exchange_strong(running, kStopRequested)) OnStopRequested();
  if (!wait) return;
  // The worker needs nothing from this thread to finish its step.
  thread_.join();
}

}  // namespace mdsp
