// Records every event of both callbacks, from whichever thread raises it.
// The callbacks carry no pointer of their own, so one recorder at a time is
// installed process-wide; it unregisters itself when it goes away.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "mdsp.h"

namespace mdsp_test {

using Mac = std::array<uint8_t, 6>;

struct RecordedEvent {
  int32_t event = 0;
  int32_t index = 0;  // 0 for MdspCallback events
  Mac mac{};
  int32_t argument = 0;
  void* context = nullptr;
  // Copied from a restart report (see SetReportElements).
  std::vector<SmdspRestartReport> report;
};

class EventRecorder {
 public:
  EventRecorder() = default;
  ~EventRecorder() {
    if (current() == this) {
      MDSP_RegisterCallBack(nullptr);
      SMDSP_RegisterCallBack(nullptr);
      current() = nullptr;
    }
    for (void* report : reports_) std::free(report);
  }
  EventRecorder(const EventRecorder&) = delete;
  EventRecorder& operator=(const EventRecorder&) = delete;

  // Registers both callbacks (after any reset of the library).
  void Install() {
    current() = this;
    MDSP_RegisterCallBack(&OnMdsp);
    SMDSP_RegisterCallBack(&OnSmdsp);
  }

  // Restart reports carry no count: this many elements are copied from the
  // next ones. The arrays themselves are kept, and freed with the recorder.
  void SetReportElements(size_t count) {
    std::lock_guard<std::mutex> guard(lock_);
    reportElements_ = count;
  }

  // The recorded events themselves, for a test whose worker is not running.
  const std::vector<RecordedEvent>& Smdsp() const { return smdsp_; }
  const std::vector<RecordedEvent>& Mdsp() const { return mdsp_; }
  // Copies, safe while the worker still raises events.
  std::vector<RecordedEvent> SmdspSnapshot() {
    std::lock_guard<std::mutex> guard(lock_);
    return smdsp_;
  }
  std::vector<RecordedEvent> MdspSnapshot() {
    std::lock_guard<std::mutex> guard(lock_);
    return mdsp_;
  }

  size_t Count(int32_t smdspEvent) {
    std::lock_guard<std::mutex> guard(lock_);
    return CountIn(smdsp_, smdspEvent);
  }
  size_t CountMdsp(int32_t mdspEvent) {
    std::lock_guard<std::mutex> guard(lock_);
    return CountIn(mdsp_, mdspEvent);
  }
  // Waits until at least `count` SmdspCallback events `smdspEvent` arrived.
  bool WaitForCount(int32_t smdspEvent, size_t count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(lock_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return CountIn(smdsp_, smdspEvent) >= count; });
  }
  // Waits until an SmdspCallback event matching pred arrived; copies the
  // first such into *out.
  template <typename Pred>
  bool WaitForSmdsp(Pred pred, RecordedEvent* out, int timeoutMs) {
    std::unique_lock<std::mutex> lock(lock_);
    auto find = [&]() -> const RecordedEvent* {
      for (const RecordedEvent& e : smdsp_)
        if (pred(e)) return &e;
      return nullptr;
    };
    if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return find(); }))
      return false;
    if (out) *out = *find();
    return true;
  }

  void Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    mdsp_.clear();
    smdsp_.clear();
  }
  // Keeps only the SmdspCallback events matching pred.
  template <typename Pred>
  void KeepSmdsp(Pred pred) {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<RecordedEvent> kept;
    for (const RecordedEvent& e : smdsp_)
      if (pred(e)) kept.push_back(e);
    smdsp_ = kept;
  }

 private:
  static EventRecorder*& current() {
    static EventRecorder* recorder = nullptr;
    return recorder;
  }
  static size_t CountIn(const std::vector<RecordedEvent>& events, int32_t event) {
    size_t n = 0;
    for (const RecordedEvent& e : events) n += e.event == event;
    return n;
  }
  static void OnMdsp(int32_t event, uint8_t* mac) {
    EventRecorder* self = current();
    if (!self) return;
    RecordedEvent e;
    e.event = event;
    std::memcpy(e.mac.data(), mac, 6);
    std::lock_guard<std::mutex> guard(self->lock_);
    self->mdsp_.push_back(e);
    self->arrived_.notify_all();
  }
  static int32_t OnSmdsp(int32_t event, int32_t index, uint8_t* mac, int32_t argument,
                         void* context) {
    EventRecorder* self = current();
    if (!self) return 0;
    RecordedEvent e;
    e.event = event;
    e.index = index;
    std::memcpy(e.mac.data(), mac, 6);
    e.argument = argument;
    e.context = context;
    std::lock_guard<std::mutex> guard(self->lock_);
    if (event == SMDSP_EVENT_RESTART_REPORT && context) {
      auto* report = static_cast<SmdspRestartReport*>(context);
      e.report.assign(report, report + self->reportElements_);
      self->reports_.push_back(context);
    }
    self->smdsp_.push_back(e);
    self->arrived_.notify_all();
    return 0;
  }

  std::mutex lock_;
  std::condition_variable arrived_;
  std::vector<RecordedEvent> mdsp_;
  std::vector<RecordedEvent> smdsp_;
  std::vector<void*> reports_;
  size_t reportElements_ = 0;
};

}  // namespace mdsp_test
