// The receive step's dispatch: which side of the library a datagram reaches.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "client.h"
#include "event_recorder.h"
#include "library_reset.h"
#include "log_capture.h"
#include "receive.h"
#include "state/module_table.h"
#include "state/tlv.h"

namespace mdsp_test {
namespace {

constexpr uint8_t kSlotMac[6] = {0x02, 0, 0, 0xAA, 0, 0x01};
constexpr uint8_t kModuleMac[6] = {0x02, 0, 0, 0, 0x20, 0x01};

class DispatchTest : public FreshLibrary {
 protected:
  void SetUp() override {
    FreshLibrary::SetUp();
    ASSERT_TRUE(mdsp::EnsureClient());
    client = mdsp::TheClient();
    std::memcpy(client->sockets->interfaceMac[0], kSlotMac, 6);
    events.Install();
  }
  // As the receive step hands it over: NUL-terminated behind its last byte.
  void Dispatch(std::vector<uint8_t> datagram) {
    size_t length = datagram.size();
    datagram.push_back(0);
    std::lock_guard<mdsp::SocketLock> guard(client->socketLock);
    mdsp::DispatchDatagram(*client, datagram.data(), length, 0);
  }
  void DispatchText(const std::string& text) {
    Dispatch(std::vector<uint8_t>(text.begin(), text.end()));
  }
  // A Discover reply carrying one host-name item.
  static std::vector<uint8_t> DiscoverReply(const uint8_t destination[6]) {
    std::vector<uint8_t> d = {0xC1, 0xAB};
    d.insert(d.end(), destination, destination + 6);
    d.insert(d.end(), kModuleMac, kModuleMac + 6);
    d.insert(d.end(), {0x01, 0x00, 5, 0, SMDSP_TAG_HOST_NAME, 3, 'a', 'b', 'c'});
    return d;
  }

  mdsp::Client* client = nullptr;
  EventRecorder events;
};

TEST_F(DispatchTest, TextAnswerIsQueuedAndListed) {
  DispatchText("mac = 02-00-00-00-10-01;hostname = press;");
  EXPECT_EQ(client->responses.count(), 1u);
  ASSERT_EQ(client->modules.count(), 1u);
  EXPECT_TRUE(client->modules[0]->IsTextModule());
  EXPECT_EQ(events.Count(SMDSP_EVENT_MODULE_FOUND), 1u);
  EXPECT_EQ(events.CountMdsp(MDSP_EVENT_MODULE_ANSWERED), 1u);
}

TEST_F(DispatchTest, NoticesAndRequestsNeverBecomeAnswers) {
  for (const char* text : {"MODULE SCAN", "Configure: MAC = 02-00-00-00-10-01;",
                           "To: 02-00-00-00-10-01;WINK;"}) {
    DispatchText(text);
    EXPECT_EQ(client->responses.count(), 0u) << text;
  }
  DispatchText("Reconfigured: 02-00-00-00-10-01");
  EXPECT_EQ(client->responses.count(), 0u);
  EXPECT_EQ(events.Count(SMDSP_EVENT_CONFIGURED), 1u);
}

// Junk from a storm or a broken device: not one answer key means no answer,
// so no record, no entry and no event.
TEST_F(DispatchTest, TextsWithoutAnyAnswerKeyAreDropped) {
  auto* log = AttachCapture();
  const struct {
    std::string bytes;
    size_t records;  // 0: dropped
    size_t entries;
  } cases[] = {
      {"junk", 0, 0},
      {"\x01", 0, 0},
      {std::string("\0mac = 02-00-00-00-00-01;", 25), 0, 0},  // key hidden behind a NUL
      {"mac 02-00-00-00-00-01 ip 10.0.0.1", 0, 0},               // keys need " = "
      {"Password: x;hostname = y;", 0, 0},
      {"HN = lonely;", 1, 1},                                    // any key will do
      {"junk UNSUPPORTED", 1, 0},                                // the marker counts
      {"mac = zz;", 1, 1},                                       // malformed but keyed
  };
  for (const auto& c : cases) {
    {
      std::lock_guard<std::recursive_mutex> guard(client->queueLock);
      mdsp::ClearModuleLists(*client);
    }
    events.Clear();
    Dispatch(std::vector<uint8_t>(c.bytes.begin(), c.bytes.end()));
    EXPECT_EQ(client->responses.count(), c.records) << c.bytes;
    EXPECT_EQ(client->modules.count(), c.entries) << c.bytes;
    EXPECT_EQ(events.Mdsp().size(), c.records) << c.bytes;
    EXPECT_EQ(events.Smdsp().size(), c.entries) << c.bytes;
  }
  EXPECT_EQ(log->CountStartingWith("Not a module answer: dropped"), 5u);
}

TEST_F(DispatchTest, SecureReplyForThisSlotBecomesASecureEntry) {
  Dispatch(DiscoverReply(kSlotMac));
  EXPECT_EQ(client->responses.count(), 0u);
  ASSERT_EQ(client->modules.count(), 1u);
  const mdsp::BaseMessage& entry = *client->modules[0];
  EXPECT_FALSE(entry.IsTextModule());
  const mdsp::TlvItem* name = mdsp::TlvFind(entry.tlvs, SMDSP_TAG_HOST_NAME);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(name->value), name->length), "abc");
  EXPECT_NE(mdsp::TlvFind(entry.tlvs, SMDSP_TAG_SECURE_MODULE), nullptr);
}

TEST_F(DispatchTest, SecureDatagramsNotForUsAreDroppedNotReadAsText) {
  const uint8_t other[6] = {0x02, 0, 0, 0xAA, 0, 0x02};
  Dispatch(DiscoverReply(other));
  std::vector<uint8_t> request = DiscoverReply(kSlotMac);
  request[14] = 0x00;  // no reply flag: someone's request
  Dispatch(request);
  Dispatch({0xC1, 0xAB, 0x01});  // shorter than a header
  EXPECT_EQ(client->modules.count(), 0u);
  EXPECT_EQ(client->responses.count(), 0u);
  EXPECT_TRUE(events.Smdsp().empty());
  EXPECT_TRUE(events.Mdsp().empty());
}

}  // namespace
}  // namespace mdsp_test
