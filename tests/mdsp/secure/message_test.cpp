// Secure datagrams byte for byte: building, serializing and accepting, and
// the TLVs of a text module's entry.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "base/errors.h"
#include "secure/digest.h"
#include "secure/message.h"
#include "text/text_protocol.h"

namespace mdsp_test {
namespace {

using Bytes = std::vector<uint8_t>;

const uint8_t kModule[6] = {0x02, 0x00, 0x00, 0x12, 0x34, 0xAB};
const uint8_t kHost[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};

Bytes Serialized(const mdsp::Message& m) {
  Bytes out(mdsp::kMaxDatagram);
  out.resize(mdsp::Serialize(m, out.data()));
  return out;
}

uint32_t SeedOf(const uint8_t bytes[4]) {
  uint32_t seed;
  std::memcpy(&seed, bytes, 4);
  return seed;
}

TEST(SecureMessage, DiscoverRequestIsTheBareHeader) {
  mdsp::Message m;
  ASSERT_TRUE(mdsp::Build(m, mdsp::kBroadcastMac, mdsp::kTypeDiscover, 0, nullptr, 0, nullptr));
  std::memcpy(m.sourceMac, kHost, 6);
  const Bytes expected = {0xC1, 0xAB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00,
                          0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(Serialized(m), expected);
}

TEST(SecureMessage, AuthenticatedRequestWithEmptyPayloadIs54Bytes) {
  const uint8_t seed[4] = {0x11, 0x22, 0x33, 0x44};
  mdsp::Message m;
  ASSERT_TRUE(mdsp::Build(m, kModule, mdsp::kTypePing, SeedOf(seed), nullptr, 0, "secret"));
  std::memcpy(m.sourceMac, kHost, 6);
  Bytes out = Serialized(m);
  ASSERT_EQ(out.size(), 54u);
  EXPECT_EQ(out[15], 0xFF);
  EXPECT_EQ(out[16], 36);
  EXPECT_EQ(out[17], 0);
  EXPECT_EQ(Bytes(out.begin() + 18, out.begin() + 22), Bytes(seed, seed + 4));
  uint8_t digest[32];
  ASSERT_TRUE(mdsp::ComputeAuthDigest("secret", seed, nullptr, 0, digest));
  EXPECT_EQ(Bytes(out.begin() + 22, out.end()), Bytes(digest, digest + 32));
}

TEST(SecureMessage, AuthenticatedRequestWithSeedZeroStillCarriesItsBlock) {
  mdsp::Message m;
  const uint8_t value = 5;
  ASSERT_TRUE(mdsp::Build(m, kModule, mdsp::kTypeWink, 0, &value, 1, ""));
  Bytes out = Serialized(m);
  ASSERT_EQ(out.size(), 55u);
  EXPECT_EQ(out[16], 37);  // the length field counts what is there
  EXPECT_EQ(out[18] | out[19] | out[20] | out[21], 0);
  EXPECT_EQ(out[54], 5);
}

TEST(SecureMessage, PayloadLimits) {
  std::vector<uint8_t> payload(600, 0x5A);
  mdsp::Message m;
  ASSERT_TRUE(mdsp::Build(m, kModule, mdsp::kTypeConfigure, 1, payload.data(), 494, "pw"));
  EXPECT_EQ(Serialized(m).size(), 548u);

  ASSERT_TRUE(mdsp::Build(m, kModule, mdsp::kTypeConfigure, 1, payload.data(), 495, "pw"));
  mdsp::RecordError(mdsp::ERR_NONE);
  EXPECT_EQ(Serialized(m).size(), 0u);
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_MESSAGE_TOO_LONG);

  ASSERT_TRUE(mdsp::Build(m, kModule, mdsp::kTypeWink, 0, payload.data(), 530, nullptr));
  EXPECT_EQ(Serialized(m).size(), 548u);
  ASSERT_TRUE(mdsp::Build(m, kModule, mdsp::kTypeWink, 0, payload.data(), 531, nullptr));
  EXPECT_EQ(Serialized(m).size(), 0u);

  // Beyond the payload area Build itself refuses: nothing is copied.
  EXPECT_FALSE(mdsp::Build(m, kModule, mdsp::kTypeWink, 0, payload.data(), 549, nullptr));
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_MESSAGE_TOO_LONG);
}

Bytes Reply(uint8_t flags, const uint8_t* destination, const Bytes& payload) {
  Bytes d = {0xC1, 0xAB};
  d.insert(d.end(), destination, destination + 6);
  d.insert(d.end(), kModule, kModule + 6);
  d.push_back(flags);
  d.push_back(mdsp::kTypeDiscover);
  d.push_back(static_cast<uint8_t>(payload.size()));
  d.push_back(static_cast<uint8_t>(payload.size() >> 8));
  d.insert(d.end(), payload.begin(), payload.end());
  return d;
}

std::unique_ptr<mdsp::Message> Accepted(const Bytes& d) {
  // An exact-size copy, so a read past the end is caught by the sanitizer.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[d.size() ? d.size() : 1]);
  if (!d.empty()) std::memcpy(copy.get(), d.data(), d.size());
  return std::unique_ptr<mdsp::Message>(mdsp::Accept(copy.get(), d.size(), kHost));
}

TEST(SecureMessage, AcceptFillsTheMessageFromAReply) {
  auto m = Accepted(Reply(mdsp::kFlagReply | mdsp::kFlagStatus, kHost, {4, 1, 9}));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->magic, mdsp::kSecureMagic);
  EXPECT_EQ(0, std::memcmp(m->destinationMac, kHost, 6));
  uint8_t mac[6];
  m->GetMac(mac);
  EXPECT_EQ(0, std::memcmp(mac, kModule, 6));
  EXPECT_FALSE(m->IsTextModule());
  EXPECT_EQ(m->flags, 3);
  EXPECT_EQ(m->type, mdsp::kTypeDiscover);
  EXPECT_EQ(m->length, 3);
  EXPECT_EQ(m->payload[2], 9);
  EXPECT_EQ(m->payload[3], 0);
  EXPECT_FALSE(m->authenticated);

  // Bytes behind the length field are ignored.
  Bytes longer = Reply(mdsp::kFlagReply, kHost, {1, 2});
  longer.push_back(0xEE);
  longer[16] = 1;
  auto shorter = Accepted(longer);
  ASSERT_NE(shorter, nullptr);
  EXPECT_EQ(shorter->length, 1);
  EXPECT_EQ(shorter->payload[1], 0);
}

TEST(SecureMessage, AcceptRejections) {
  const Bytes good = Reply(mdsp::kFlagReply, kHost, {1, 0});
  ASSERT_NE(Accepted(good), nullptr);

  EXPECT_EQ(Accepted(Reply(0, kHost, {1, 0})), nullptr) << "reply bit clear";
  EXPECT_EQ(Accepted(Reply(mdsp::kFlagStatus, kHost, {1, 0})), nullptr) << "status only";
  EXPECT_EQ(Accepted(Reply(mdsp::kFlagReply, kModule, {1, 0})), nullptr) << "other MAC";
  EXPECT_EQ(Accepted(Reply(mdsp::kFlagReply, mdsp::kBroadcastMac, {})), nullptr)
      << "broadcast destination";

  Bytes magic = good;
  magic[1] = 0xAC;
  EXPECT_EQ(Accepted(magic), nullptr) << "wrong magic";

  for (size_t cut = 0; cut < mdsp::kHeaderSize; ++cut)
    EXPECT_EQ(Accepted(Bytes(good.begin(), good.begin() + cut)), nullptr) << cut;

  Bytes overlong = good;
  overlong[16] = 3;  // one byte more than received
  EXPECT_EQ(Accepted(overlong), nullptr) << "length beyond the received bytes";

  Bytes huge = Reply(mdsp::kFlagReply, kHost, Bytes(600, 0));
  EXPECT_EQ(Accepted(huge), nullptr) << "length beyond the payload area";
  huge[16] = static_cast<uint8_t>(548);
  huge[17] = static_cast<uint8_t>(548 >> 8);
  EXPECT_NE(Accepted(huge), nullptr) << "the whole payload area is fine";
}

TEST(SecureMessage, TextModuleEntryReencodesTheAnswerInOrder) {
  MdspResponse r{};
  const char* text =
      "protocol version = 2.1;fb type = IO;module version = 3.4.258;mac = 02-00-00-12-34-AB;"
      "ip = 192.168.0.10;sn = 255.255.255.0;gw = 192.168.0.1;dhcp = on;pswd = off;hn = h1;"
      "dns1 = 8.8.4.4;dns2 = 1.2.3.4;seed = S;kernel version = 5.6.513;";
  bool unsupported;
  mdsp::ParseAnswerHead(text, r);
  mdsp::ParseAnswerTail(text, r, &unsupported);
  mdsp::MDSP_Message entry(&r);
  EXPECT_TRUE(entry.IsTextModule());
  char mac[18];
  entry.FormatMac(mac);
  EXPECT_STREQ(mac, "02-00-00-12-34-AB");

  Bytes out(600);
  out.resize(mdsp::TlvConcatenate(entry.tlvs, out.data(), out.size()));
  const Bytes expected = {
      254, 1, 2, 253, 1, 1,                      // protocol version
      252, 2, 'I', 'O',                          // field-bus type
      251, 1, 3, 250, 1, 4, 249, 2, 0x02, 0x01,  // module version
      4, 4, 0x0A, 0x00, 0xA8, 0xC0,              // 192.168.0.10
      5, 4, 0x00, 0xFF, 0xFF, 0xFF,              // 255.255.255.0
      6, 4, 0x01, 0x00, 0xA8, 0xC0,              // 192.168.0.1
      9, 1, 1, 248, 1, 0,                        // DHCP, password set
      10, 2, 'h', '1',                           // host name
      7, 4, 0x04, 0x04, 0x08, 0x08,              // DNS 1
      8, 4, 0x04, 0x03, 0x02, 0x01,              // DNS 2
      244, 1, 'S',                               // seed
      247, 1, 5, 246, 1, 6, 245, 2, 0x01, 0x02,  // kernel version
  };
  EXPECT_EQ(out, expected);
}

TEST(SecureMessage, TextModuleEntryLeavesOutInvalidGroups) {
  MdspResponse r{};
  r.ip = 0xC0A8000A;  // not valid: left out
  r.gatewayValid = 1;
  r.gateway = 0x0A000001;
  r.protocolVersionMajor = 9;  // not valid either
  mdsp::MDSP_Message entry(&r);
  ASSERT_EQ(entry.tlvs.items.count(), 1u);
  EXPECT_EQ(entry.tlvs.items[0]->tag, 6);
}

}  // namespace
}  // namespace mdsp_test
