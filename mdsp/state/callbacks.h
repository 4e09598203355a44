// The two registered callbacks and the callback context: plain process-wide
// cells, registered before the worker starts.
#pragma once

#include <atomic>

#include "mdsp.h"

namespace mdsp {

extern std::atomic<MdspCallback> g_mdspCallback;
extern std::atomic<SmdspCallback> g_smdspCallback;
extern std::atomic<void*> g_callbackContext;

// Raise the callbacks when registered; true when one was called.
bool RaiseMdsp(int32_t event, const uint8_t mac[6]);
bool RaiseSmdsp(int32_t event, int32_t index, const uint8_t mac[6], int32_t argument,
                void* context);

}  // namespace mdsp
