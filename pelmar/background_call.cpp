#include "background_call.h"

#include <QSocketNotifier>

namespace pelmar {

BackgroundCall::BackgroundCall(QObject* parent) : QObject(parent) {
  notifier_ = new QSocketNotifier(wake_.fd(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { Finish(); });
}

BackgroundCall::~BackgroundCall() { Abandon(); }

bool BackgroundCall::Start(std::function<int32_t()> work, std::function<void(int32_t)> done) {
  if (busy_) return false;
  busy_ = true;
  done_ = std::move(done);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = false;
  }
  thread_ = std::thread([this, work = std::move(work)] {
    const int32_t result = work();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      result_ = result;
      finished_ = true;
    }
    wake_.Signal();
  });
  return true;
}

void BackgroundCall::Finish() {
  wake_.Drain();
  int32_t result;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!finished_) return;
    finished_ = false;
    result = result_;
  }
  thread_.join();
  busy_ = false;
  auto done = std::move(done_);
  done_ = nullptr;
  if (done) done(result);
}

void BackgroundCall::Abandon() {
  if (thread_.joinable()) thread_.join();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = false;
  }
  wake_.Drain();
  busy_ = false;
  done_ = nullptr;
}

}  // namespace pelmar
