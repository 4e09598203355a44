// The answer queue's MAC index: it follows every way a record enters and
// leaves the queue, so the duplicate test never sees a stale MAC.
#include <gtest/gtest.h>

#include <cstring>

#include "state/response_queue.h"

namespace mdsp_test {
namespace {

using mdsp::ResponseQueue;

MdspResponse* Record(uint8_t last, bool withMac = true) {
  auto* r = new MdspResponse{};
  const uint8_t mac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, last};
  std::memcpy(r->mac, mac, 6);
  r->macValid = withMac ? 1 : 0;
  return r;
}

const uint8_t* MacOf(uint8_t last) {
  static uint8_t mac[6];
  const uint8_t value[6] = {0x02, 0x00, 0x00, 0x00, 0x00, last};
  std::memcpy(mac, value, 6);
  return mac;
}

TEST(ResponseQueue, HoldsTheMacsOfQueuedRecordsOnly) {
  ResponseQueue queue;
  ASSERT_TRUE(queue.Append(Record(1)));
  ASSERT_TRUE(queue.Append(Record(2, false)));  // no MAC: never matches
  EXPECT_TRUE(queue.HoldsMac(MacOf(1)));
  EXPECT_FALSE(queue.HoldsMac(MacOf(2)));
  EXPECT_FALSE(queue.HoldsMac(MacOf(3)));

  delete queue.TakeFirst();
  EXPECT_FALSE(queue.HoldsMac(MacOf(1)));
  EXPECT_EQ(queue.count(), 1u);
}

TEST(ResponseQueue, AMacStaysHeldWhileAnyRecordCarriesIt) {
  // Records put in directly may share a MAC; taking one leaves the other.
  ResponseQueue queue;
  ASSERT_TRUE(queue.Append(Record(7)));
  ASSERT_TRUE(queue.Append(Record(7)));
  delete queue.TakeFirst();
  EXPECT_TRUE(queue.HoldsMac(MacOf(7)));
  delete queue.TakeFirst();
  EXPECT_FALSE(queue.HoldsMac(MacOf(7)));
  EXPECT_EQ(queue.TakeFirst(), nullptr);
}

TEST(ResponseQueue, ClearForgetsEveryMacAndKeepsOrder) {
  ResponseQueue queue;
  for (uint8_t i = 1; i <= 40; ++i) ASSERT_TRUE(queue.Append(Record(i)));
  EXPECT_EQ(queue[0]->mac[5], 1);
  EXPECT_EQ(queue[39]->mac[5], 40);
  queue.Clear();
  EXPECT_EQ(queue.count(), 0u);
  for (uint8_t i = 1; i <= 40; ++i) EXPECT_FALSE(queue.HoldsMac(MacOf(i)));
  ASSERT_TRUE(queue.Append(Record(5)));
  EXPECT_TRUE(queue.HoldsMac(MacOf(5)));
}

}  // namespace
}  // namespace mdsp_test
