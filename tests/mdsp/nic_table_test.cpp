// The interface table and the slot rules, over a scripted adapter list.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/errors.h"
#include "client.h"
#include "library_reset.h"
#include "mdsp.h"
#include "platform/adapters.h"

namespace mdsp_test {
namespace {

using namespace mdsp;
using platform::AdapterRecord;

std::vector<AdapterRecord> g_adapters;
bool g_enumerationFails = false;

bool ScriptedAdapters(std::vector<AdapterRecord>& out) {
  if (g_enumerationFails) return false;
  out = g_adapters;
  return !out.empty();
}

AdapterRecord Adapter(uint8_t last, const std::string& ip, const std::string& name,
                      unsigned macLength = 6) {
  AdapterRecord record;
  const uint8_t mac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, last};
  std::memcpy(record.hardwareAddress, mac, 6);
  record.hardwareAddressLength = macLength;
  record.firstIpv4 = ip;
  record.name = name;
  record.description = name;
  return record;
}

class NicTableTest : public mdsp_test::FreshLibrary {
 protected:
  void SetUp() override {
    FreshLibrary::SetUp();
    g_enumerationFails = false;
    g_adapters = {Adapter(1, "10.0.0.1", "eth0"), Adapter(2, "0.0.0.0", "eth1"),
                  Adapter(3, "10.0.1.1", "wwan0", 8), Adapter(4, "192.168.5.7", "eth2")};
    platform::SetAdapterSourceForTesting(ScriptedAdapters);
  }
  void TearDown() override {
    platform::SetAdapterSourceForTesting(nullptr);
    FreshLibrary::TearDown();
  }
};

TEST_F(NicTableTest, ListsOnlyAdaptersWithSixByteMacAndAnAddress) {
  int32_t count = -1;
  ASSERT_EQ(MDSP_GetNumberOfNics(&count), 0);
  ASSERT_EQ(count, 2);
  uint32_t address = 0;
  uint8_t mac[6];
  char description[64];
  ASSERT_EQ(MDSP_GetNicInfo(1, &address, mac, description, sizeof description), 0);
  EXPECT_EQ(address, 0xC0A80507u);
  EXPECT_EQ(mac[5], 4);
  EXPECT_STREQ(description, "eth2");
  EXPECT_EQ(MDSP_GetNicInfo(2, &address, mac, nullptr, 0), 8);
  EXPECT_EQ(LastErrorCode(), ERR_OUT_OF_RANGE);
}

TEST_F(NicTableTest, DescriptionIsCutToFitAndSizeZeroStillWritesAddress) {
  g_adapters = {Adapter(1, "10.0.0.1", std::string(100, 'd'))};
  int32_t count = 0;
  ASSERT_EQ(MDSP_GetNumberOfNics(&count), 0);
  char description[128];
  std::memset(description, 'z', sizeof description);
  ASSERT_EQ(MDSP_GetNicInfo(0, nullptr, nullptr, description, sizeof description), 0);
  EXPECT_EQ(std::string(description), std::string(63, 'd'));

  ASSERT_EQ(MDSP_GetNicInfo(0, nullptr, nullptr, description, 1), 0);
  EXPECT_STREQ(description, "");

  uint32_t address = 0;
  uint8_t mac[6] = {};
  EXPECT_EQ(MDSP_GetNicInfo(0, &address, mac, description, 0), 8);
  EXPECT_EQ(address, 0x0A000001u);
  EXPECT_EQ(mac[5], 1);
}

TEST_F(NicTableTest, OnlyTheFirstSixtyFourAreListed) {
  g_adapters.clear();
  for (int i = 0; i < 70; ++i)
    g_adapters.push_back(Adapter(static_cast<uint8_t>(i), "10.1.0." + std::to_string(i + 1),
                                 "eth" + std::to_string(i)));
  int32_t count = 0;
  ASSERT_EQ(MDSP_GetNumberOfNics(&count), 0);
  EXPECT_EQ(count, 64);
  uint32_t address = 0;
  ASSERT_EQ(MDSP_GetNicInfo(63, &address, nullptr, nullptr, 0), 0);
  EXPECT_EQ(address, 0x0A010040u);
}

TEST_F(NicTableTest, FailedEnumerationKeepsTheTableAndTheCount) {
  int32_t count = 0;
  ASSERT_EQ(MDSP_GetNumberOfNics(&count), 0);
  g_enumerationFails = true;
  count = 99;
  EXPECT_EQ(MDSP_GetNumberOfNics(&count), 8);
  EXPECT_EQ(count, 99);
  EXPECT_EQ(LastErrorCode(), ERR_SYSTEM);
  EXPECT_EQ(MDSP_GetNicInfo(1, nullptr, nullptr, nullptr, 0), 0);
  // Slot 0 needs a fresh enumeration: it fails before anything is cleared.
  g_enumerationFails = false;
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.0.0.1"), 1);
  ASSERT_EQ(MDSP_SetNetworkDevice(1, "192.168.5.7"), 1);
  g_enumerationFails = true;
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "192.168.5.7"), 0);
  SocketSet& set = *TheClient()->sockets;
  EXPECT_EQ(set.configuredCount, 2u);
  EXPECT_EQ(set.bindAddress[0], 0x0A000001u);
  EXPECT_EQ(set.interfaceMac[1][5], 4);
}

TEST_F(NicTableTest, SlotsFillInRisingOrder) {
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.0.0.1"), 1);
  SocketSet& set = *TheClient()->sockets;
  EXPECT_EQ(set.configuredCount, 1u);
  EXPECT_EQ(set.bindAddress[0], 0x0A000001u);
  EXPECT_STREQ(set.device[0], "eth0");
  // Slot 2 right after slot 0 is out of order.
  EXPECT_EQ(MDSP_SetNetworkDevice(2, "192.168.5.7"), 0);
  EXPECT_EQ(LastErrorCode(), ERR_OUT_OF_RANGE);
  EXPECT_EQ(set.configuredCount, 1u);
  ASSERT_EQ(MDSP_SetNetworkDevice(1, "192.168.5.7"), 1);
  EXPECT_EQ(set.configuredCount, 2u);
  EXPECT_EQ(set.interfaceMac[1][5], 4);
  EXPECT_EQ(MDSP_SetNetworkDevice(64, "10.0.0.1"), 0);
  EXPECT_EQ(LastErrorCode(), ERR_OUT_OF_RANGE);
  // Setting slot 0 again forgets every slot.
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "192.168.5.7"), 1);
  EXPECT_EQ(set.configuredCount, 1u);
  EXPECT_EQ(set.interfaceMac[1][0], 0xFF);
}

TEST_F(NicTableTest, NullAddressBindsAnyWithTheFirstMac) {
  ASSERT_EQ(MDSP_SetNetworkDevice(0, nullptr), 1);
  SocketSet& set = *TheClient()->sockets;
  EXPECT_EQ(set.bindAddress[0], 0u);
  EXPECT_EQ(set.interfaceMac[0][5], 1);
  EXPECT_STREQ(set.device[0], "");
}

TEST_F(NicTableTest, UnknownOrMalformedAddressLeavesNoSlotChosen) {
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.0.0.1"), 1);
  EXPECT_EQ(MDSP_SetNetworkDevice(0, "10.0.0.5"), 0);
  EXPECT_EQ(LastErrorCode(), ERR_BAD_VALUE);
  EXPECT_EQ(TheClient()->sockets->configuredCount, 0u);
  EXPECT_EQ(MDSP_SetNetworkDevice(0, "10.0.0"), 0);
  EXPECT_EQ(LastErrorCode(), ERR_BAD_VALUE);
  EXPECT_EQ(MDSP_SetNetworkDevice(0, "eth0"), 0);
}

}  // namespace
}  // namespace mdsp_test
