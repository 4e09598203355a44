// The library's clocks held where a test puts them, for as long as the
// object lives: long waits are stepped through instead of slept, and a check
// reads the very second the test set up.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock.h"

namespace mdsp_test {

class ManualClock {
 public:
  // Starts from the real clocks' current values.
  ManualClock() {
    tick_.store(mdsp::platform::TickMs());
    seconds_.store(mdsp::platform::NowSeconds());
    mdsp::platform::SetTickSourceForTesting([] { return tick_.load(); });
    mdsp::platform::SetSecondsSourceForTesting([] { return seconds_.load(); });
  }
  ~ManualClock() {
    mdsp::platform::SetTickSourceForTesting(nullptr);
    mdsp::platform::SetSecondsSourceForTesting(nullptr);
  }
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;

  void AdvanceMs(uint32_t ms) { tick_.fetch_add(ms); }
  int64_t seconds() const { return seconds_.load(); }

 private:
  static inline std::atomic<uint32_t> tick_{0};
  static inline std::atomic<int64_t> seconds_{0};
};

}  // namespace mdsp_test
