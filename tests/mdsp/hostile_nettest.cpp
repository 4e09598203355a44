// The library on a hostile wire, in namespaces of its own: junk among the
// answers to a scan, and configure values that would cut a text request.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "client.h"
#include "event_recorder.h"
#include "host_and_peer.h"
#include "library_on_the_wire.h"
#include "lifecycle.h"
#include "log_capture.h"
#include "mdsp.h"
#include "netns.h"
#include "receive.h"
#include "state/socket_set.h"
#include "udp_probe.h"

namespace mdsp_test {
namespace {

class HostileWire : public mdsp_test::LibraryOnTheWire {
 protected:
  void StartLibrary() {
    events_.Install();
    ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
    ASSERT_EQ(MDSP_Start(), 1);
  }
  mdsp_test::EventRecorder events_;
};

TEST_F(HostileWire, JunkDuringAScanListsNothing) {
  REQUIRE_LAB();
  auto* log = mdsp_test::AttachCapture();
  net_test::UdpProbe peer(lab_, peer_, "p0", host_);
  ASSERT_TRUE(peer.ok());
  StartLibrary();
  ASSERT_EQ(MDSP_SendModuleScan(), 1);

  ASSERT_TRUE(peer.Broadcast("junk"));
  ASSERT_TRUE(peer.Broadcast("\x01"));
  ASSERT_TRUE(peer.Broadcast(std::string(1400, '\xff')));
  ASSERT_TRUE(peer.Broadcast(std::string("\0mac = 02-00-00-00-10-09;", 25)));
  // The positive marker: a real answer sent after the junk.
  ASSERT_TRUE(peer.Broadcast(std::string("fb type = IO;mac = 02-00-00-00-10-01;ip = 10.0.0.1;\0", 52)));
  ASSERT_TRUE(events_.WaitForCount(SMDSP_EVENT_MODULE_FOUND, 1, 10000));
  MDSP_Stop();

  EXPECT_EQ(log->CountStartingWith("Not a module answer: dropped"), 4u);
  EXPECT_EQ(mdsp::TheClient()->modules.count(), 1u);
  EXPECT_EQ(events_.Count(SMDSP_EVENT_MODULE_FOUND), 1u);
  EXPECT_EQ(events_.CountMdsp(MDSP_EVENT_MODULE_ANSWERED), 1u);
  uint8_t mac[6];
  ASSERT_EQ(SMDSP_GetModuleMac(0, mac), MDSP_RESULT_OK);
  EXPECT_EQ(mac[5], 0x01);
  EXPECT_EQ(SMDSP_GetModuleMac(1, mac), MDSP_RESULT_BAD_INDEX);
  MdspResponse response{};
  ASSERT_EQ(MDSP_GetResponse(&response), 1);
  EXPECT_EQ(response.macValid, 1);
  EXPECT_EQ(MDSP_GetResponse(&response), 0);
}

TEST_F(HostileWire, SeparatorInAValueIsRefusedWithNothingSentAndNoPasswordKept) {
  REQUIRE_LAB();
  std::string simLog = net_.StartSimulator(MDSP_SIM_PATH, R"({"modules":[
      {"mac":"02-00-00-00-10-03","protocol":"text","password":"pw3","hostname":"robot-3"}]})");
  ASSERT_FALSE(simLog.empty());
  auto* log = mdsp_test::AttachCapture();
  StartLibrary();
  ASSERT_EQ(MDSP_SendModuleScan(), 1);
  ASSERT_TRUE(events_.WaitForCount(SMDSP_EVENT_MODULE_FOUND, 1, 10000));

  MdspConfigureRequest request{};
  const uint8_t mac[6] = {0x02, 0x00, 0x00, 0x00, 0x10, 0x03};
  std::memcpy(request.mac, mac, 6);
  request.ip = request.subnetMask = request.gateway = request.dns1 = request.dns2 =
      MDSP_ADDRESS_UNCHANGED;
  request.dhcp = 2;
  std::strcpy(request.password, "abc;LEAKTAIL1");
  EXPECT_EQ(MDSP_SendConfigure(&request), 0);
  std::strcpy(request.password, "pw3");
  std::strcpy(request.hostName, "x;LEAKTAIL2");
  EXPECT_EQ(MDSP_SendConfigure(&request), 0);

  ASSERT_EQ(SMDSP_CreateConfigureRequest(0), MDSP_RESULT_OK);
  SmdspCredentials cut{"pw3;LEAKTAIL3", nullptr, nullptr};
  EXPECT_EQ(SMDSP_SendConfigure(&cut), MDSP_RESULT_FAILED);
  ASSERT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, "y;LEAKTAIL4"), MDSP_RESULT_OK);
  SmdspCredentials good{"pw3", nullptr, nullptr};
  EXPECT_EQ(SMDSP_SendConfigure(&good), MDSP_RESULT_FAILED);

  // The marker: a sound request, which the module takes.
  ASSERT_EQ(SMDSP_CreateConfigureRequest(0), MDSP_RESULT_OK);
  ASSERT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, "renamed"), MDSP_RESULT_OK);
  ASSERT_EQ(SMDSP_SendConfigure(&good), MDSP_RESULT_OK);
  ASSERT_TRUE(events_.WaitForCount(SMDSP_EVENT_CONFIGURED, 1, 10000));
  // Our own request came back to our socket as well.
  ASSERT_TRUE(net_test::WaitFor(
      [&] { return log->CountStartingWith("Data received: 'Configure: ") == 1; }, 10000));
  MDSP_Stop();

  // A pending request starts zeroed: every address goes out as 0.0.0.0.
  static const char kSent[] =
      "Configure: 02-00-00-00-10-03;Password: pw3;IP = 0.0.0.0;SN = 0.0.0.0;GW = 0.0.0.0;"
      "DHCP = OFF;HN = renamed;DNS1 = 0.0.0.0;DNS2 = 0.0.0.0;";
  std::vector<std::string> rx = net_test::SimDatagramsHex(net_test::ReadFile(simLog), "rx");
  ASSERT_EQ(rx.size(), 2u);  // the scan and the sound request, nothing between
  EXPECT_EQ(rx[1], net_test::SimHex(std::string(kSent, sizeof kSent)));

  // What a terminal gets of the log: no tail of a refused value, and no
  // password at all.
  for (const std::string& captured : log->lines()) {
    std::string shown = mdsp::TerminalLine(captured.substr(captured.find(':') + 1).c_str());
    EXPECT_EQ(shown.find("LEAKTAIL"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("pw3"), std::string::npos) << shown;
  }
  EXPECT_EQ(log->CountStartingWith("Data received: '" + std::string(kSent) + "'"), 1u);

  // Nor does the library keep it: not in the pending request, not in the
  // receive area the echo passed through.
  mdsp::Client& client = *mdsp::TheClient();
  const char zero[sizeof client.pending.request.password] = {};
  EXPECT_EQ(std::memcmp(client.pending.request.password, zero, sizeof zero), 0);
  ASSERT_TRUE(client.receiveArea);
  const uint8_t* area = client.receiveArea.get();
  const size_t areaSize = mdsp::kReceiveBatch * (mdsp::kReceiveCapacity + 1);
  // Later datagrams reuse the area from its start; the password's tail
  // lies beyond what the module's short notice covers.
  const std::string secret = "pw3;IP = ";
  EXPECT_EQ(std::search(area, area + areaSize, secret.begin(), secret.end()), area + areaSize);
}

}  // namespace
}  // namespace mdsp_test
