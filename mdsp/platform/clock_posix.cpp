#include <atomic>
#include <chrono>
#include <thread>

#include "clock.h"

namespace mdsp::platform {
namespace {
std::atomic<TickSource> g_tickSource{nullptr};
std::atomic<SecondsSource> g_secondsSource{nullptr};
}

uint32_t TickMs() {
  if (TickSource source = g_tickSource.load()) return source();
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

int64_t NowSeconds() {
  if (SecondsSource source = g_secondsSource.load()) return source();
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void SetTickSourceForTesting(TickSource source) { g_tickSource.store(source); }

void SetSecondsSourceForTesting(SecondsSource source) { g_secondsSource.store(source); }

}  // namespace mdsp::platform
