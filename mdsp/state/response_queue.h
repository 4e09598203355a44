// The queue of text answers waiting for MDSP_GetResponse, oldest first, with
// an index of the MACs it holds: the duplicate test of every received answer
// looks the MAC up instead of walking the queue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "base/owned_array.h"
#include "mdsp.h"

namespace mdsp {

class ResponseQueue {
 public:
  ResponseQueue() = default;
  ResponseQueue(const ResponseQueue&) = delete;
  ResponseQueue& operator=(const ResponseQueue&) = delete;

  size_t count() const { return items_.count(); }
  size_t capacity() const { return items_.capacity(); }
  MdspResponse* operator[](size_t i) const { return items_[i]; }

  // Takes ownership on success only. The record's MAC must not change while
  // it is queued.
  bool Append(MdspResponse* response);
  // Removes the oldest record and hands it to the caller.
  MdspResponse* TakeFirst();
  void Clear();

  // True when a queued record with a valid MAC carries this one.
  bool HoldsMac(const uint8_t mac[6]) const;

 private:
  static uint64_t Key(const uint8_t mac[6]);

  OwnedArray<MdspResponse> items_;
  std::unordered_map<uint64_t, uint32_t> macs_;  // MAC -> records holding it
};

}  // namespace mdsp
