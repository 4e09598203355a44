// The text protocol and the secure send end to end: the library in a host
// namespace, mdsp-sim playing modules in a peer namespace.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "client.h"
#include "event_recorder.h"
#include "host_and_peer.h"
#include "library_on_the_wire.h"
#include "log_capture.h"
#include "mdsp.h"
#include "netns.h"
#include "secure/message.h"
#include "secure/protocol.h"

namespace mdsp_test {
namespace {


constexpr char kModules[] = R"({"modules":[
  {"mac":"02-00-00-00-10-01","protocol":"text","hostname":"press-line-1","ip":"192.168.0.10",
   "subnet":"255.255.255.0","gateway":"192.168.0.1","dns1":"10.0.0.53","dns2":"0.0.0.0",
   "dhcp":false,"password":"secret","seed":"k7Q2ZP91","type":"SIM-IO 16DI",
   "protocol_version":"1.0","module_version":"3.1.7","kernel_version":"1.2.3"},
  {"mac":"02-00-00-00-10-02","protocol":"text","hostname":"cell-2","ip":"10.1.2.3",
   "dhcp":true,"reply":"unicast","type":"SIM-AI 4","module_version":"2.0.300",
   "faults":{"repeat":2}},
  {"mac":"02-00-00-00-10-03","protocol":"text","hostname":"robot-3","ip":"172.16.9.1",
   "password":"pw3","kernel_version":"7.8.65535"}
]})";

class TextProtocolNet : public mdsp_test::LibraryOnTheWire {
 protected:
  // Starts mdsp-sim on a peer interface; returns its log path, "" on failure.
  std::string StartSim(const std::string& iface, const std::string& config) {
    return lab_.StartSimulator(MDSP_SIM_PATH, peer_, iface, config);
  }

  void StartLibrary() {
    events_.Install();
    ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
    ASSERT_EQ(MDSP_Start(), 1);
  }

  mdsp_test::EventRecorder events_;
};

std::string Tag(uint32_t index, int32_t tag) {
  char text[256] = {};
  if (SMDSP_GetPayloadString(tag, index, text, sizeof text) != 0) return "<missing>";
  return text;
}

uint32_t AddressTag(uint32_t index, int32_t tag) {
  uint8_t bytes[4] = {};
  if (SMDSP_GetPayloadData(tag, index, bytes, 4) != 0) return 0xDEADBEEF;
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

int ByteTag(uint32_t index, int32_t tag) {
  uint8_t value = 0;
  if (SMDSP_GetPayloadData(tag, index, &value, 1) != 0) return -1;
  return value;
}

TEST_F(TextProtocolNet, ScanListsEachTextModuleOnceWithItsValues) {
  REQUIRE_LAB();
  std::string simLog = StartSim("p0", kModules);
  ASSERT_FALSE(simLog.empty()) << net_test::ReadFile(lab_.tempDir() + "/p0.log");
  StartLibrary();

  auto* log = mdsp_test::AttachCapture();
  ASSERT_EQ(MDSP_SendModuleScan(), 1);
  ASSERT_TRUE(events_.WaitForCount(SMDSP_EVENT_MODULE_FOUND, 3, 10000));
  // Module 2 answers twice: wait until the library has read the repeat too;
  // the stop below lets the worker finish handling it.
  ASSERT_TRUE(net_test::WaitFor(
      [&] {
        size_t reads = 0;
        for (const std::string& line : log->lines())
          reads += line.find("Data received: '") != std::string::npos &&
                   line.find("mac = 02-00-00-00-10-02") != std::string::npos;
        return reads >= 2;
      },
      10000));
  // The simulator logs a datagram after sending it: the library may have
  // read the answer before the line is written.
  net_test::WaitFor(
      [&] { return net_test::SimDatagramsHex(net_test::ReadFile(simLog), "tx").size() >= 4u; },
      10000);
  EXPECT_GE(net_test::SimDatagramsHex(net_test::ReadFile(simLog), "tx").size(), 4u);
  MDSP_Stop();

  mdsp::Client& client = *mdsp::TheClient();
  EXPECT_EQ(client.modules.count(), 3u);
  EXPECT_EQ(client.responses.count(), 3u);
  EXPECT_EQ(events_.Count(SMDSP_EVENT_MODULE_FOUND), 3u);
  EXPECT_EQ(events_.CountMdsp(MDSP_EVENT_MODULE_ANSWERED), 3u);

  // The scan left the host as exactly "MODULE SCAN" and its NUL.
  std::vector<std::string> rx = net_test::SimDatagramsHex(net_test::ReadFile(simLog), "rx");
  ASSERT_FALSE(rx.empty());
  EXPECT_EQ(rx[0], net_test::SimHex(std::string("MODULE SCAN\0", 12)));

  // Arrival order is the network's; find each module by its MAC.
  std::map<uint8_t, uint32_t> indexOf;
  for (const RecordedEvent& e : events_.SmdspSnapshot()) {
    uint8_t mac[6];
    ASSERT_EQ(SMDSP_GetModuleMac(static_cast<uint32_t>(e.index), mac), 0);
    EXPECT_EQ(std::memcmp(mac, e.mac.data(), 6), 0);
    indexOf[mac[5]] = static_cast<uint32_t>(e.index);
  }
  ASSERT_EQ(indexOf.size(), 3u);

  uint32_t m1 = indexOf[0x01], m2 = indexOf[0x02], m3 = indexOf[0x03];
  EXPECT_EQ(Tag(m1, 10), "press-line-1");
  EXPECT_EQ(Tag(m1, 252), "SIM-IO 16DI");
  EXPECT_EQ(Tag(m1, 244), "k7Q2ZP91");
  EXPECT_EQ(AddressTag(m1, 4), 0xC0A8000Au);
  EXPECT_EQ(AddressTag(m1, 5), 0xFFFFFF00u);
  EXPECT_EQ(AddressTag(m1, 6), 0xC0A80001u);
  EXPECT_EQ(AddressTag(m1, 7), 0x0A000035u);
  EXPECT_EQ(AddressTag(m1, 8), 0u);
  EXPECT_EQ(ByteTag(m1, 9), 0);
  EXPECT_EQ(ByteTag(m1, 248), 1);
  EXPECT_EQ(ByteTag(m1, 254), 1);
  EXPECT_EQ(ByteTag(m1, 253), 0);
  EXPECT_EQ(ByteTag(m1, 251), 3);
  EXPECT_EQ(ByteTag(m1, 250), 1);
  EXPECT_EQ(ByteTag(m1, 247), 1);
  EXPECT_EQ(ByteTag(m1, 246), 2);

  EXPECT_EQ(Tag(m2, 10), "cell-2");
  EXPECT_EQ(Tag(m2, 252), "SIM-AI 4");
  EXPECT_EQ(AddressTag(m2, 4), 0x0A010203u);
  EXPECT_EQ(ByteTag(m2, 9), 1);
  EXPECT_EQ(ByteTag(m2, 248), 0);
  uint8_t build[2] = {};
  ASSERT_EQ(SMDSP_GetPayloadData(249, m2, build, 2), 0);
  EXPECT_EQ(build[0] | build[1] << 8, 300);
  EXPECT_EQ(Tag(m2, 244), "<missing>");  // no seed reported

  EXPECT_EQ(Tag(m3, 10), "robot-3");
  EXPECT_EQ(AddressTag(m3, 4), 0xAC100901u);
  ASSERT_EQ(SMDSP_GetPayloadData(245, m3, build, 2), 0);
  EXPECT_EQ(build[0] | build[1] << 8, 65535);

  // The queued records agree, in arrival order.
  for (int i = 0; i < 3; ++i) {
    MdspResponse r{};
    ASSERT_EQ(MDSP_GetResponse(&r), 1);
    EXPECT_EQ(r.macValid, 1);
    EXPECT_EQ(r.ipValid, 1);
    EXPECT_EQ(r.hostNameValid, 1);
    if (r.mac[5] == 0x03) {
      EXPECT_STREQ(r.hostName, "robot-3");
    }
  }
  MdspResponse none{};
  EXPECT_EQ(MDSP_GetResponse(&none), 0);
}

TEST_F(TextProtocolNet, WinkAndConfigureArriveByteExactAndOwnWinkIsNoModule) {
  REQUIRE_LAB();
  std::string simLog = StartSim("p0", kModules);
  ASSERT_FALSE(simLog.empty());
  auto* log = mdsp_test::AttachCapture();
  StartLibrary();

  const uint8_t mac[6] = {0x02, 0x00, 0x00, 0x12, 0x34, 0xAB};
  ASSERT_EQ(MDSP_SendWink(mac), 1);
  MdspConfigureRequest r{};
  std::memcpy(r.mac, mac, 6);
  r.ip = 0xC0A8000A;
  r.subnetMask = 0xFFFFFF00;
  r.gateway = 0;
  r.dhcp = 0;
  r.dns1 = r.dns2 = MDSP_ADDRESS_UNCHANGED;
  ASSERT_EQ(MDSP_SendConfigure(&r), 1);

  // Each literal's size counts its NUL, which goes on the wire.
  static const char kWink[] = "To: 02-00-00-12-34-AB;WINK;";
  static const char kConfigure[] =
      "Configure: 02-00-00-12-34-AB;IP = 192.168.0.10;SN = 255.255.255.0;GW = 0.0.0.0;"
      "DHCP = OFF;HN =;";
  const std::string wink(kWink, sizeof kWink), configure(kConfigure, sizeof kConfigure);
  ASSERT_TRUE(net_test::WaitFor(
      [&] { return net_test::SimDatagramsHex(net_test::ReadFile(simLog), "rx").size() >= 2; }, 10000));
  std::vector<std::string> rx = net_test::SimDatagramsHex(net_test::ReadFile(simLog), "rx");
  EXPECT_EQ(rx[0], net_test::SimHex(wink));
  EXPECT_EQ(rx[1], net_test::SimHex(configure));

  // Both came back to our own socket; neither is taken for an answer.
  ASSERT_TRUE(net_test::WaitFor(
      [&] { return log->CountStartingWith("Data received: 'Configure: ") == 1; }, 10000));
  EXPECT_EQ(log->CountStartingWith("Data received: 'To: 02-00-00-12-34-AB;WINK;'"), 1u);
  MDSP_Stop();
  EXPECT_EQ(mdsp::TheClient()->responses.count(), 0u);
  EXPECT_EQ(mdsp::TheClient()->modules.count(), 0u);
  EXPECT_EQ(events_.CountMdsp(MDSP_EVENT_MODULE_ANSWERED), 0u);
  EXPECT_TRUE(events_.SmdspSnapshot().empty());
}

TEST_F(TextProtocolNet, ConfigureNoticesRaiseTheirEvents) {
  REQUIRE_LAB();
  std::string simLog = StartSim("p0", kModules);
  ASSERT_FALSE(simLog.empty());
  StartLibrary();

  MdspConfigureRequest r{};
  const uint8_t mac[6] = {0x02, 0x00, 0x00, 0x00, 0x10, 0x03};
  std::memcpy(r.mac, mac, 6);
  r.ip = r.subnetMask = r.gateway = r.dns1 = r.dns2 = MDSP_ADDRESS_UNCHANGED;
  r.dhcp = 2;
  std::strcpy(r.hostName, "renamed");

  const struct {
    const char* password;
    size_t hostLength;  // 0: keep "renamed"
    int32_t mdspEvent;
    int32_t smdspEvent;
  } cases[] = {
      {"wrong", 0, MDSP_EVENT_INVALID_PASSWORD, SMDSP_EVENT_INVALID_PASSWORD},
      {"pw3", 100, MDSP_EVENT_INVALID_CONFIGURATION, SMDSP_EVENT_INVALID_CONFIGURATION},
      {"pw3", 0, MDSP_EVENT_RECONFIGURED, SMDSP_EVENT_CONFIGURED},
  };
  for (const auto& c : cases) {
    std::strcpy(r.password, c.password);
    std::memset(r.hostName, 0, sizeof r.hostName);
    if (c.hostLength) {
      std::memset(r.hostName, 'x', c.hostLength);
    } else {
      std::strcpy(r.hostName, "renamed");
    }
    events_.Clear();
    size_t sentBefore = SimulatorSent(simLog);
    ASSERT_EQ(MDSP_SendConfigure(&r), 1);
    // The module's one answer and everything before it has been read: a
    // second event would have been raised by now.
    ASSERT_TRUE(SimulatorAnswersRead(simLog, sentBefore, 1, [&] {
      return !events_.MdspSnapshot().empty() && !events_.SmdspSnapshot().empty();
    })) << c.password;
    std::vector<RecordedEvent> mdspEvents = events_.MdspSnapshot(),
                               smdspEvents = events_.SmdspSnapshot();
    ASSERT_EQ(mdspEvents.size(), 1u);
    ASSERT_EQ(smdspEvents.size(), 1u);
    EXPECT_EQ(mdspEvents[0].event, c.mdspEvent);
    EXPECT_EQ(smdspEvents[0].event, c.smdspEvent);
    EXPECT_EQ(smdspEvents[0].index, 0);
    EXPECT_EQ(std::memcmp(mdspEvents[0].mac.data(), mac, 6), 0);
    EXPECT_EQ(std::memcmp(smdspEvents[0].mac.data(), mac, 6), 0);
  }
  EXPECT_NE(net_test::ReadFile(simLog).find("text-configure reconfigured"), std::string::npos);
}

TEST_F(TextProtocolNet, SecureSendOnTwoSlotsDiffersOnlyInTheSourceMac) {
  REQUIRE_LAB();
  ASSERT_TRUE(lab_.Link(host_, "h1", "10.78.0.1/24", "02:00:00:aa:00:02", peer_, "p1",
                        "10.78.0.2/24", "02:00:00:bb:00:02"));
  const char* none = R"({"modules":[{"mac":"02-00-00-00-30-01","protocol":"text",
                        "faults":{"silent":true}}]})";
  std::string log0 = StartSim("p0", none);
  std::string log1 = StartSim("p1", none);
  ASSERT_FALSE(log0.empty());
  ASSERT_FALSE(log1.empty());
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
  ASSERT_EQ(MDSP_SetNetworkDevice(1, "10.78.0.1"), 1);

  const uint8_t module[6] = {0x02, 0x00, 0x00, 0x00, 0x30, 0x01};
  const uint8_t value = 1;
  mdsp::TheClient()->seed = 0x44332211;
  ASSERT_TRUE(mdsp::SecureSend(*mdsp::TheClient(), module, mdsp::kTypeWink, &value, 1, "pw"));

  auto first = [](const std::string& path) {
    std::vector<std::string> rx = net_test::SimDatagramsHex(net_test::ReadFile(path), "rx");
    return rx.empty() ? std::string() : rx[0];
  };
  ASSERT_TRUE(net_test::WaitFor([&] { return !first(log0).empty() && !first(log1).empty(); },
                               10000));
  std::string a = first(log0), b = first(log1);
  ASSERT_EQ(a.size(), 55u * 2);
  ASSERT_EQ(b.size(), a.size());
  // Bytes 8..13 are the source MAC: each slot's own interface.
  EXPECT_EQ(a.substr(16, 12), "020000aa0001");
  EXPECT_EQ(b.substr(16, 12), "020000aa0002");
  EXPECT_EQ(a.substr(0, 16), b.substr(0, 16));
  EXPECT_EQ(a.substr(28), b.substr(28));
  EXPECT_EQ(a.substr(0, 16), "c1ab020000003001");
  EXPECT_EQ(a.substr(28, 8), "00032500");          // flags, type 3, length 37
  EXPECT_EQ(a.substr(36, 8), "11223344");          // the seed as held
  EXPECT_EQ(a.substr(108), "01");                  // the payload behind the block
}

}  // namespace
}  // namespace mdsp_test
