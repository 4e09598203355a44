#include "state/callbacks.h"

namespace mdsp {

std::atomic<MdspCallback> g_mdspCallback{nullptr};
std::atomic<SmdspCallback> g_smdspCallback{nullptr};
std::atomic<void*> g_callbackContext{nullptr};

bool RaiseMdsp(int32_t event, const uint8_t mac[6]) {
  MdspCallback callback = g_mdspCallback.load();
  if (!callback) return false;
  uint8_t copy[6];
  for (int i = 0; i < 6; ++i) copy[i] = mac[i];
  callback(event, copy);
  return true;
}

bool RaiseSmdsp(int32_t event, int32_t index, const uint8_t mac[6], int32_t argument,
                void* context) {
  SmdspCallback callback = g_smdspCallback.load();
  if (!callback) return false;
  uint8_t copy[6];
  for (int i = 0; i < 6; ++i) copy[i] = mac[i];
  callback(event, index, copy, argument, context);
  return true;
}

}  // namespace mdsp
