// TLV lists: limits, parsing faults, lookup and concatenation.
#include <gtest/gtest.h>

#include <vector>

#include "base/errors.h"
#include "state/tlv.h"

namespace mdsp_test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concatenate(const mdsp::TlvList& list, size_t capacity = 600) {
  Bytes out(capacity);
  out.resize(mdsp::TlvConcatenate(list, out.data(), out.size()));
  return out;
}

TEST(Tlv, AppendCopiesTheValueAndRefusesOver255Bytes) {
  mdsp::TlvList list;
  uint8_t value[256] = {1, 2, 3};
  EXPECT_TRUE(mdsp::TlvAppend(list, 7, 3, value));
  value[0] = 99;
  EXPECT_EQ(list.items[0]->value[0], 1);
  EXPECT_TRUE(mdsp::TlvAppend(list, 8, 255, value));
  EXPECT_TRUE(mdsp::TlvAppend(list, 9, 0, nullptr));
  mdsp::RecordError(mdsp::ERR_NONE);
  EXPECT_FALSE(mdsp::TlvAppend(list, 10, 256, value));
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_OUT_OF_RANGE);
  EXPECT_EQ(list.items.count(), 3u);
}

// Values of every edge length keep their bytes exactly, also after the list
// has moved to a bigger block many times, and when a parse adds to a list
// that already holds items.
TEST(Tlv, EdgeLengthValuesReadBackExactlyAfterGrowth) {
  const size_t lengths[] = {0, 1, 2, 254, 255};
  mdsp::TlvList list;
  Bytes wire;
  for (int round = 0; round < 40; ++round) {
    for (size_t length : lengths) {
      Bytes value(length);
      for (size_t i = 0; i < length; ++i) value[i] = static_cast<uint8_t>(round * 7 + i);
      const auto tag = static_cast<uint8_t>(round + length);
      ASSERT_TRUE(mdsp::TlvAppend(list, tag, length, value.data()));
      wire.push_back(tag);
      wire.push_back(static_cast<uint8_t>(length));
      wire.insert(wire.end(), value.begin(), value.end());
    }
  }
  ASSERT_EQ(list.items.count(), 200u);
  size_t at = 0;
  for (size_t i = 0; i < list.items.count(); ++i) {
    const mdsp::TlvItem* item = list.items[i];
    ASSERT_EQ(item->tag, wire[at]) << i;
    ASSERT_EQ(item->length, wire[at + 1]) << i;
    ASSERT_EQ(Bytes(item->value, item->value + item->length),
              Bytes(wire.begin() + at + 2, wire.begin() + at + 2 + item->length))
        << i;
    at += 2 + item->length;
  }
  EXPECT_EQ(mdsp::TlvEncodedSize(list), wire.size());
  EXPECT_EQ(Concatenate(list, wire.size()), wire);

  mdsp::TlvList parsed;
  ASSERT_TRUE(mdsp::TlvAppend(parsed, 1, 0, nullptr));
  ASSERT_TRUE(mdsp::TlvParse(wire.data(), wire.size(), parsed));
  Bytes expected = {1, 0};
  expected.insert(expected.end(), wire.begin(), wire.end());
  EXPECT_EQ(parsed.items.count(), 201u);
  EXPECT_EQ(Concatenate(parsed, expected.size()), expected);
}

TEST(Tlv, ParseRoundTripsThroughConcatenate) {
  const Bytes wire = {4, 4, 0x0A, 0x00, 0xA8, 0xC0, 9, 1, 1, 10, 0, 2, 3, 'a', 'b', 'c'};
  mdsp::TlvList list;
  ASSERT_TRUE(mdsp::TlvParse(wire.data(), wire.size(), list));
  ASSERT_EQ(list.items.count(), 4u);
  EXPECT_EQ(list.items[2]->tag, 10);
  EXPECT_EQ(list.items[2]->length, 0);
  EXPECT_EQ(mdsp::TlvEncodedSize(list), wire.size());
  EXPECT_EQ(Concatenate(list), wire);

  mdsp::TlvList empty;
  EXPECT_TRUE(mdsp::TlvParse(nullptr, 0, empty));
  EXPECT_EQ(empty.items.count(), 0u);
}

TEST(Tlv, ItemRunningPastTheEndKeepsTheItemsBeforeIt) {
  const Bytes wire = {1, 2, 'v', '1', 2, 1, 'x', 3, 5, 'a', 'b'};
  mdsp::TlvList list;
  mdsp::RecordError(mdsp::ERR_NONE);
  EXPECT_FALSE(mdsp::TlvParse(wire.data(), wire.size(), list));
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_OUT_OF_RANGE);
  ASSERT_EQ(list.items.count(), 2u);
  EXPECT_EQ(list.items[1]->tag, 2);

  // A lone tag byte at the end is as short.
  const Bytes dangling = {1, 0, 7};
  mdsp::TlvList second;
  EXPECT_FALSE(mdsp::TlvParse(dangling.data(), dangling.size(), second));
  EXPECT_EQ(second.items.count(), 1u);
}

TEST(Tlv, FindYieldsTheFirstOfDuplicateTags) {
  mdsp::TlvList list;
  const uint8_t first = 1, second = 2;
  mdsp::TlvAppend(list, 5, 1, &first);
  mdsp::TlvAppend(list, 5, 1, &second);
  const mdsp::TlvItem* found = mdsp::TlvFind(list, 5);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->value[0], 1);

  mdsp::RecordError(mdsp::ERR_NONE);
  EXPECT_EQ(mdsp::TlvFind(list, 6), nullptr);
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_NOT_FOUND);
}

TEST(Tlv, TagsAreOneByte) {
  mdsp::TlvList list;
  const uint8_t v = 1;
  mdsp::TlvAppend(list, 0x1FF, 1, &v);
  EXPECT_NE(mdsp::TlvFind(list, 0xFF), nullptr);
}

TEST(Tlv, ConcatenateStopsBeforeAnItemThatDoesNotFit) {
  mdsp::TlvList list;
  uint8_t value[255] = {};
  mdsp::TlvAppend(list, 1, 255, value);
  mdsp::TlvAppend(list, 2, 255, value);
  mdsp::TlvAppend(list, 3, 1, value);
  EXPECT_EQ(mdsp::TlvEncodedSize(list), 257u + 257u + 3u);
  // The small third item would fit, but leaving out the middle one would
  // send a list the caller never built.
  Bytes out = Concatenate(list, 300);
  EXPECT_EQ(out.size(), 257u);
}

}  // namespace
}  // namespace mdsp_test
