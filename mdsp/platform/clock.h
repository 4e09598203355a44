// Time for the library: a wrapping millisecond tick, wall-clock seconds and
// sleeping. Tests may replace the tick to step through long waits.
#pragma once

#include <cstdint>

namespace mdsp::platform {

// Milliseconds of the steady clock, wrapping in 32 bits.
uint32_t TickMs();
// Seconds since the epoch.
int64_t NowSeconds();
void SleepMs(uint32_t ms);

// Replaces TickMs() (nullptr restores the real clock). For tests only.
using TickSource = uint32_t (*)();
void SetTickSourceForTesting(TickSource source);

}  // namespace mdsp::platform
