// Time for the library: a wrapping millisecond tick, wall-clock seconds and
// sleeping. Tests may replace the tick to step through long waits, and the
// seconds so that a check reads the very second the test set up.
#pragma once

#include <cstdint>

namespace mdsp::platform {

// Milliseconds of the steady clock, wrapping in 32 bits.
uint32_t TickMs();
// Seconds since the epoch.
int64_t NowSeconds();
void SleepMs(uint32_t ms);

// Replace TickMs() and NowSeconds() (nullptr restores the real clock).
// For tests only.
using TickSource = uint32_t (*)();
void SetTickSourceForTesting(TickSource source);
using SecondsSource = int64_t (*)();
void SetSecondsSourceForTesting(SecondsSource source);

}  // namespace mdsp::platform
