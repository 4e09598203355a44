#include "state/response_queue.h"

#include <new>

namespace mdsp {

uint64_t ResponseQueue::Key(const uint8_t mac[6]) {
  uint64_t key = 0;
  for (int i = 0; i < 6; ++i) key = key << 8 | mac[i];
  return key;
}

bool ResponseQueue::Append(MdspResponse* response) {
  if (response->macValid) {
    try {
      ++macs_[Key(response->mac)];
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  if (items_.Append(response)) return true;
  if (response->macValid) {
    auto found = macs_.find(Key(response->mac));
    if (--found->second == 0) macs_.erase(found);
  }
  return false;
}

MdspResponse* ResponseQueue::TakeFirst() {
  MdspResponse* first = items_.TakeFirst();
  if (first && first->macValid) {
    auto found = macs_.find(Key(first->mac));
    if (found != macs_.end() && --found->second == 0) macs_.erase(found);
  }
  return first;
}

void ResponseQueue::Clear() {
  items_.Clear();
  macs_.clear();
}

bool ResponseQueue::HoldsMac(const uint8_t mac[6]) const {
  return macs_.find(Key(mac)) != macs_.end();
}

}  // namespace mdsp
