// Parsing of client datagrams: what is read, what is refused, and that
// nothing outside the received bytes or from an earlier message is used.
#include <gtest/gtest.h>

#include <cstring>

#include "dhcp_message.h"
#include "dhcp_packets.h"

namespace pelmar_test {
using namespace pelmar;
namespace {

DhcpParseResult ParseInto(CDhcpMessage& m, const Bytes& bytes) {
  std::memcpy(m.datagram, bytes.data(), bytes.size());
  m.datagramLength = static_cast<int>(bytes.size());
  return m.Parse();
}

}  // namespace

TEST(DhcpMessageParse, ReadsHeaderAndTheFourKnownOptions) {
  Bytes d = pelmar_test::Request(kRecoveryMac, {0, 0, 53, 1, 3, 12, 3, 'a', 'b', 'c', 50, 4, 10, 200,
                                             1, 44, 54, 4, 10, 200, 1, 1, 1, 4, 255, 255, 0, 0});
  d[12] = 10;  // ciaddr
  d[15] = 7;
  CDhcpMessage m;
  ASSERT_EQ(ParseInto(m, d), DhcpParseResult::kAccepted);
  EXPECT_EQ(m.op, 1);
  EXPECT_EQ(m.htype, 1);
  EXPECT_EQ(m.hlen, 6);
  EXPECT_EQ(0, std::memcmp(m.xid, pelmar_test::kXid, 4));
  EXPECT_EQ(m.secs[1], 7);
  EXPECT_EQ(m.ciaddr[0], 10);
  EXPECT_EQ(m.ciaddr[3], 7);
  EXPECT_EQ(0, std::memcmp(m.chaddr, kRecoveryMac, 6));
  EXPECT_EQ(m.optionLength, static_cast<int>(d.size()) - 236);
  EXPECT_EQ(m.messageTypePresent, 1);
  EXPECT_EQ(m.messageType, 3);
  EXPECT_EQ(m.requestedAddressPresent, 1);
  EXPECT_EQ(m.requestedAddress[3], 44);
  EXPECT_EQ(m.serverIdentifierPresent, 1);
  EXPECT_EQ(m.serverIdentifier[3], 1);
  EXPECT_EQ(m.subnetMaskPresent, 1);
  EXPECT_EQ(m.subnetMask[1], 255);
}

TEST(DhcpMessageParse, RefusesShortAndOversizedDatagrams) {
  CDhcpMessage m;
  Bytes d = pelmar_test::FixedPart(kRecoveryMac);
  d.pop_back();
  EXPECT_EQ(ParseInto(m, d), DhcpParseResult::kTooShort);  // 235 bytes
  m.datagramLength = -1;  // a failed receive
  EXPECT_EQ(m.Parse(), DhcpParseResult::kTooShort);
  m.datagramLength = kDhcpDatagramCapacity + 1;
  EXPECT_EQ(m.Parse(), DhcpParseResult::kTooLong);
}

TEST(DhcpMessageParse, RefusesKnownOptionsWithTheWrongLength) {
  const Bytes cases[] = {
      pelmar_test::Request(kRecoveryMac, {53, 2, 1, 1}),
      pelmar_test::Request(kRecoveryMac, {53, 1, 1, 1, 3, 255, 255, 255}),
      pelmar_test::Request(kRecoveryMac, {53, 1, 1, 50, 5, 10, 200, 1, 44, 0}),
      pelmar_test::Request(kRecoveryMac, {53, 1, 1, 54, 0}),
  };
  for (const Bytes& d : cases) {
    CDhcpMessage m;
    EXPECT_EQ(ParseInto(m, d), DhcpParseResult::kBadOptionLength);
  }
}

TEST(DhcpMessageParse, RefusesOptionsCutOffByTheDatagramEnd) {
  Bytes base = pelmar_test::FixedPart(kRecoveryMac);
  base.insert(base.end(), {99, 130, 83, 99, 53, 1, 1});
  const std::initializer_list<uint8_t> tails[] = {
      {12},              // length byte missing
      {12, 5, 'a', 'b'},  // value shorter than its length
      {50, 4, 10, 200},   // known option, value cut
      {53},               // message type without length
  };
  for (auto tail : tails) {
    Bytes d = base;
    d.insert(d.end(), tail);
    // Bytes just past the end that a careless scan would take as the value.
    Bytes buffered = d;
    buffered.insert(buffered.end(), {1, 4, 0, 0, 0, 0, 255});
    CDhcpMessage m;
    std::memcpy(m.datagram, buffered.data(), buffered.size());
    m.datagramLength = static_cast<int>(d.size());
    EXPECT_EQ(m.Parse(), DhcpParseResult::kTruncatedOption) << "tail size " << tail.size();
    EXPECT_EQ(m.subnetMaskPresent, 0);
  }
}

TEST(DhcpMessageParse, AcceptsWithoutOptionsWhenCookieOrRoomIsMissing) {
  CDhcpMessage m;
  Bytes bootp = pelmar_test::FixedPart(kRecoveryMac);
  bootp.insert(bootp.end(), {1, 2, 3, 4, 53, 1, 1, 255});
  EXPECT_EQ(ParseInto(m, bootp), DhcpParseResult::kAccepted);
  EXPECT_EQ(m.messageTypePresent, 0);

  Bytes cookieOnly = pelmar_test::FixedPart(kRecoveryMac);
  cookieOnly.insert(cookieOnly.end(), {99, 130, 83, 99});
  EXPECT_EQ(ParseInto(m, cookieOnly), DhcpParseResult::kAccepted);
  EXPECT_EQ(m.messageTypePresent, 0);

  // Two bytes of tail: the cookie test must not read the other two.
  Bytes halfCookie = pelmar_test::FixedPart(kRecoveryMac);
  halfCookie.insert(halfCookie.end(), {99, 130});
  EXPECT_EQ(ParseInto(m, halfCookie), DhcpParseResult::kAccepted);
  EXPECT_EQ(m.optionLength, 2);
}

TEST(DhcpMessageParse, SkipsPadAndUnknownOptionsAndStopsAtEnd) {
  // After option 255 comes junk that would be refused if it were scanned.
  Bytes d = pelmar_test::Request(kRecoveryMac, {0, 0, 0, 60, 3, 'x', 'y', 'z', 53, 1, 1});
  d.insert(d.end(), {53, 2, 9, 9});
  CDhcpMessage m;
  ASSERT_EQ(ParseInto(m, d), DhcpParseResult::kAccepted);
  EXPECT_EQ(m.messageTypePresent, 1);
  EXPECT_EQ(m.messageType, 1);
}

TEST(DhcpMessageParse, OptionsNeverCarryOverToTheNextMessage) {
  CDhcpMessage m;
  ASSERT_EQ(ParseInto(m, pelmar_test::Request(kRecoveryMac, {53, 1, 3, 50, 4, 10, 200, 1, 45, 54, 4,
                                                          1, 2, 3, 4, 1, 4, 255, 0, 0, 0})),
            DhcpParseResult::kAccepted);
  ASSERT_EQ(m.requestedAddressPresent, 1);
  ASSERT_EQ(ParseInto(m, pelmar_test::Request(kRecoveryMac, {})), DhcpParseResult::kAccepted);
  EXPECT_EQ(m.messageTypePresent, 0);
  EXPECT_EQ(m.requestedAddressPresent, 0);
  EXPECT_EQ(m.serverIdentifierPresent, 0);
  EXPECT_EQ(m.subnetMaskPresent, 0);

  // Also a refused message leaves no option of the one before it behind.
  ASSERT_EQ(ParseInto(m, pelmar_test::Request(kRecoveryMac, {53, 1, 1})), DhcpParseResult::kAccepted);
  ASSERT_EQ(ParseInto(m, pelmar_test::Request(kRecoveryMac, {53, 2, 1, 1})),
            DhcpParseResult::kBadOptionLength);
  EXPECT_EQ(m.messageTypePresent, 0);
}

}  // namespace pelmar_test
