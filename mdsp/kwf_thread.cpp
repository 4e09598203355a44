#include "kwf_thread.h"

#include <cwchar>
#include <system_error>

#include "errors.h"
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
  errorText_[0] = L'\0';
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
  state_.store(kRunning);
  if (!OnStart()) {
    errorCode_ = LastErrorCode();
    std::wcsncpy(errorText_, LastErrorText(), 255);
    OnStop(false);
    state_.store(kFinished);
    return;
  }
  while (state_.load() == kRunning) {
    if (!Step()) {
      errorCode_ = LastErrorCode();
      std::wcsncpy(errorText_, LastErrorText(), 255);
      break;
    }
    if (stepIntervalMs_ > 0 && state_.load() == kRunning) PauseBetweenSteps();
  }
  OnStop(errorCode_ == 0);
  state_.store(kFinished);
}

void KWF_Thread::PauseBetweenSteps() { platform::SleepMs(stepIntervalMs_); }

void KWF_Thread::Stop(bool wait) {
  if (!thread_.joinable()) return;
  State running = kRunning;
  if (state_.compare_exchange_strong(running, kStopRequested)) OnStopRequested();
  if (!wait) return;
  // Without a window message queue to serve, waiting is a plain join.
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
    return;
  }
  thread_.join();
}

}  // namespace mdsp
