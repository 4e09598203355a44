// The server's answers without a socket: datagram in, reply bytes out.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dhcp_packets.h"
#include "dhcp_server.h"

namespace pelmar_test {
using namespace pelmar;
namespace {

Bytes ReplyBytes(const CDhcpServer& server) {
  const CDhcpMessage& r = server.Reply();
  return Bytes(r.datagram, r.datagram + r.datagramLength);
}

bool Answers(CDhcpServer& server, const Bytes& d, DhcpAnswer* answer = nullptr) {
  return server.HandleDatagram(d.data(), static_cast<int>(d.size()), answer);
}

// The whole reply, written out by hand from the wire layout.
Bytes ExpectedReply(const uint8_t mac[6], uint8_t type) {
  Bytes e(300, 0);
  e[0] = 2;
  e[1] = 1;
  e[2] = 6;
  std::memcpy(&e[4], pelmar_test::kXid, 4);
  e[16] = 10;
  e[17] = 200;
  e[18] = 1;
  e[19] = mac[5];
  std::memcpy(&e[28], mac, 6);
  const uint8_t options[] = {99, 130, 83, 99, 53, 1, type, 1, 4, 255, 255, 255, 0, 255};
  std::memcpy(&e[236], options, sizeof options);
  return e;
}

}  // namespace

TEST(DhcpServerAnswer, OfferIsByteExact) {
  CDhcpServer server;
  // An earlier answer to another client must leave nothing behind.
  const uint8_t other[6] = {0x02, 0xA7, 0x5E, 0xFF, 0xEE, 0xDD};
  const uint8_t otherAddress[4] = {10, 200, 1, 9};
  Bytes first = pelmar_test::RequestFor(other, otherAddress);
  first[4] = 0xAA;
  ASSERT_TRUE(Answers(server, first));

  DhcpAnswer answer;
  ASSERT_TRUE(Answers(server, pelmar_test::Discover(kRecoveryMac), &answer));
  Bytes reply = ReplyBytes(server);
  ASSERT_EQ(reply.size(), 300u);
  EXPECT_EQ(reply, ExpectedReply(kRecoveryMac, kDhcpOffer));
  // Spelled out, the parts a client relies on.
  EXPECT_EQ(reply[10], 0);  // flags
  EXPECT_EQ(reply[11], 0);
  EXPECT_EQ(Bytes(reply.begin() + 16, reply.begin() + 20), (Bytes{10, 200, 1, 44}));
  EXPECT_EQ(Bytes(reply.begin() + 34, reply.begin() + 44), Bytes(10, 0));  // chaddr padding
  EXPECT_EQ(0, std::memcmp(answer.hardwareAddress, kRecoveryMac, 6));
  EXPECT_EQ(answer.address[3], 44);
  EXPECT_EQ(answer.messageType, kDhcpOffer);
  EXPECT_STREQ(DhcpAnswerTypeName(answer.messageType), "offer");
}

TEST(DhcpServerAnswer, RequestGetsAckOrNak) {
  CDhcpServer server;
  DhcpAnswer answer;
  const uint8_t same[4] = {10, 200, 1, 44};
  const uint8_t other[4] = {10, 200, 1, 45};

  ASSERT_TRUE(Answers(server, pelmar_test::RequestFor(kRecoveryMac, same), &answer));
  EXPECT_EQ(ReplyBytes(server), ExpectedReply(kRecoveryMac, kDhcpAck));
  EXPECT_EQ(answer.messageType, kDhcpAck);

  // A NAK still carries yiaddr and option 1.
  ASSERT_TRUE(Answers(server, pelmar_test::RequestFor(kRecoveryMac, other), &answer));
  EXPECT_EQ(ReplyBytes(server), ExpectedReply(kRecoveryMac, kDhcpNak));
  EXPECT_STREQ(DhcpAnswerTypeName(answer.messageType), "nak");

  // Renewing clients ask without option 50: ACK, not the NAK of before.
  ASSERT_TRUE(Answers(server, pelmar_test::Request(kRecoveryMac, {53, 1, 3}), &answer));
  EXPECT_EQ(ReplyBytes(server), ExpectedReply(kRecoveryMac, kDhcpAck));
}

TEST(DhcpServerAnswer, AddressFollowsLastHardwareByte) {
  CDhcpServer server;
  const uint8_t low[6] = {0x02, 0xA7, 0x5E, 0x01, 0x02, 0x00};
  const uint8_t high[6] = {0x02, 0xA7, 0x5E, 0x01, 0x02, 0xFF};
  ASSERT_TRUE(Answers(server, pelmar_test::Discover(low)));
  EXPECT_EQ(ReplyBytes(server), ExpectedReply(low, kDhcpOffer));
  ASSERT_TRUE(Answers(server, pelmar_test::Discover(high)));
  EXPECT_EQ(ReplyBytes(server), ExpectedReply(high, kDhcpOffer));
  EXPECT_EQ(server.Reply().yiaddr[3], 255);
  // The request for that address is acknowledged.
  const uint8_t wanted[4] = {10, 200, 1, 255};
  DhcpAnswer answer;
  ASSERT_TRUE(Answers(server, pelmar_test::RequestFor(high, wanted), &answer));
  EXPECT_EQ(answer.messageType, kDhcpAck);
}

TEST(DhcpServerAnswer, IgnoresWhatItMustNotAnswer) {
  const uint8_t foreign[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  const uint8_t nearly[6] = {0x02, 0xA7, 0x5F, 0x0A, 0x0B, 0x2C};
  Bytes short235 = pelmar_test::FixedPart(kRecoveryMac);
  short235.pop_back();
  Bytes truncated = pelmar_test::Request(kRecoveryMac, {53, 1, 1});
  truncated.pop_back();  // drop option 255 ...
  truncated.insert(truncated.end(), {61, 7, 1, 2});  // ... and cut option 61
  Bytes bootp = pelmar_test::FixedPart(kRecoveryMac);
  bootp.insert(bootp.end(), 64, 0);

  struct Case {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"foreign hardware address", pelmar_test::Discover(foreign)},
      {"prefix differs in third byte", pelmar_test::Discover(nearly)},
      {"235 bytes", short235},
      {"option 53 of length 2", pelmar_test::Request(kRecoveryMac, {53, 2, 1, 0})},
      {"truncated option", truncated},
      {"no option 53", pelmar_test::Request(kRecoveryMac, {50, 4, 10, 200, 1, 44})},
      {"DHCPDECLINE", pelmar_test::Request(kRecoveryMac, {53, 1, 4})},
      {"DHCPRELEASE", pelmar_test::Request(kRecoveryMac, {53, 1, 7})},
      {"DHCPINFORM", pelmar_test::Request(kRecoveryMac, {53, 1, 8})},
      {"type 0", pelmar_test::Request(kRecoveryMac, {53, 1, 0})},
      {"plain BOOTP", bootp},
  };
  CDhcpServer server;
  for (const Case& c : cases) {
    // Each case follows an answered discover, so stale state would show.
    ASSERT_TRUE(Answers(server, pelmar_test::Discover(kRecoveryMac)));
    EXPECT_FALSE(Answers(server, c.bytes)) << c.what;
  }
  Bytes huge(kDhcpDatagramCapacity + 1, 0);
  EXPECT_FALSE(Answers(server, huge));
  EXPECT_FALSE(server.HandleDatagram(nullptr, -1));
  EXPECT_FALSE(server.HandleDatagram(nullptr, 0));
  EXPECT_FALSE(server.HandleDatagram(nullptr, 300));  // no bytes behind a length
}

TEST(DhcpServerAnswer, AllowListNarrowsTheFamilyAndNeverWidensIt) {
  const DhcpHardwareAddress a = {0x02, 0xA7, 0x5E, 0x00, 0x00, 0x05};
  const DhcpHardwareAddress b = {0x02, 0xA7, 0x5E, 0x00, 0x00, 0x06};
  const DhcpHardwareAddress foreign = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  struct Case {
    const char* what;
    std::vector<DhcpHardwareAddress> allowed;
    DhcpHardwareAddress client;
    bool answered;
  } cases[] = {
      {"empty list: the whole family", {}, b, true},
      {"empty list: still no stranger", {}, foreign, false},
      {"listed module", {a}, a, true},
      {"module of the family not listed", {a}, b, false},
      {"second of two listed", {a, b}, b, true},
      {"stranger listed", {foreign}, foreign, false},
  };
  for (const Case& c : cases) {
    CDhcpServer server;
    server.AllowOnly(c.allowed);
    EXPECT_EQ(Answers(server, pelmar_test::Discover(c.client.data())), c.answered) << c.what;
    const uint8_t asked[4] = {10, 200, 1, c.client[5]};
    EXPECT_EQ(Answers(server, pelmar_test::RequestFor(c.client.data(), asked)), c.answered)
        << c.what;
  }
}

TEST(DhcpServerAnswer, HardwareAddressTexts) {
  struct Case {
    const char* text;
    bool read;
    DhcpHardwareAddress address;
  } cases[] = {
      {"02-A7-5E-0A-0B-2C", true, {0x02, 0xA7, 0x5E, 0x0A, 0x0B, 0x2C}},
      {"02:a7:5e:0a:0b:2c", true, {0x02, 0xA7, 0x5E, 0x0A, 0x0B, 0x2C}},
      {"FF-FF-FF-FF-FF-00", true, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}},
      {"02-A7-5E:0A-0B-2C", false, {}},   // mixed separators
      {"02-A7-5E-0A-0B", false, {}},      // five bytes
      {"02-A7-5E-0A-0B-2C-", false, {}},  // trailing separator
      {"02-A7-5E-0A-0B-2C0", false, {}},
      {"02-A7-5E-0A-0B-2", false, {}},
      {"02-A7-5E-0A-0G-2C", false, {}},
      {"2-A7-5E-0A-0B-2C", false, {}},
      {"02A75E0A0B2C", false, {}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    DhcpHardwareAddress read = {1, 1, 1, 1, 1, 1};
    EXPECT_EQ(ParseDhcpHardwareAddress(c.text, &read), c.read) << c.text;
    if (c.read) EXPECT_EQ(read, c.address) << c.text;
    else EXPECT_EQ(read, (DhcpHardwareAddress{1, 1, 1, 1, 1, 1})) << c.text << " changed the output";
  }
  EXPECT_FALSE(ParseDhcpHardwareAddress(nullptr, nullptr));
}

TEST(DhcpServerAnswer, AnswerLines) {
  CDhcpServer server;
  DhcpAnswer offer;
  ASSERT_TRUE(Answers(server, pelmar_test::Discover(kRecoveryMac), &offer));
  std::memcpy(offer.interfaceName, "veth0", 6);
  DhcpAnswer nak = offer;
  nak.messageType = kDhcpNak;
  nak.interfaceName[0] = '\0';
  DhcpAnswer longName = offer;
  std::memset(longName.interfaceName, 'x', sizeof longName.interfaceName);  // no zero at all

  struct Case {
    const DhcpAnswer* answer;
    const char* line;
  } cases[] = {
      {&offer, "offer 02-A7-5E-0A-0B-2C 10.200.1.44 on veth0"},
      {&nak, "nak 02-A7-5E-0A-0B-2C 10.200.1.44"},
      {&longName, "offer 02-A7-5E-0A-0B-2C 10.200.1.44 on xxxxxxxxxxxxxxxx"},
  };
  for (const Case& c : cases) {
    char line[96];
    EXPECT_EQ(FormatDhcpAnswer(*c.answer, line, sizeof line), static_cast<int>(std::strlen(c.line)));
    EXPECT_STREQ(line, c.line);
  }
  char small[6];
  FormatDhcpAnswer(offer, small, sizeof small);
  EXPECT_STREQ(small, "offer");
}

TEST(DhcpServerAnswer, UnstartedServerPollsNothing) {
  CDhcpServer server;
  EXPECT_FALSE(server.IsStarted());
  DhcpAnswer answer;
  EXPECT_EQ(server.Poll(&answer), 0);
  server.Stop();
  server.Stop();
  EXPECT_EQ(server.Poll(), 0);
}

}  // namespace pelmar_test
