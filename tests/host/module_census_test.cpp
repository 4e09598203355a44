// Discovers through one interface at a time against a table whose answers
// depend on the interface chosen, as the library's do.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "module_census.h"

namespace {

using pelmar::ModuleMac;

// Per interface address, the MACs of the module table after a discover.
std::map<std::string, std::vector<ModuleMac>> g_behind;
std::string g_chosen;
std::vector<ModuleMac> g_table;
void* g_context = nullptr;
bool g_discoverFails = false;

int32_t MDSP_CALL SetDevice(uint32_t slot, const char* address) {
  if (slot != 0 || !address || !g_behind.count(address)) return 0;
  g_chosen = address;
  return 1;
}
int32_t MDSP_CALL Discover(void* context) {
  if (g_discoverFails) return MDSP_RESULT_SOCKET;
  g_context = context;
  g_table = g_behind[g_chosen];
  return MDSP_RESULT_OK;
}
int32_t MDSP_CALL GetMac(uint32_t index, uint8_t* mac) {
  if (index >= g_table.size()) return MDSP_RESULT_BAD_INDEX;
  std::copy(g_table[index].begin(), g_table[index].end(), mac);
  return MDSP_RESULT_OK;
}

pelmar::LibraryApi FakeApi() {
  pelmar::LibraryApi api;
  api.MDSP_SetNetworkDevice = SetDevice;
  api.SMDSP_SendDiscover = Discover;
  api.SMDSP_GetModuleMac = GetMac;
  return api;
}

const ModuleMac kA = {0x02, 0xA7, 0x5E, 0, 0, 5}, kB = {0x02, 0xA7, 0x5E, 0, 0, 6},
                kNoMac = {};

TEST(ModuleCensus, CountsDistinctMacsPerInterface) {
  // A module of both protocols is listed twice; a MAC-less entry not at all.
  g_behind = {{"10.0.0.1", {kA, kB, kA, kNoMac}}, {"10.1.0.1", {}}};
  g_discoverFails = false;
  const pelmar::LibraryApi api = FakeApi();
  std::vector<ModuleMac> macs;
  std::string error;
  int context = 0;
  ASSERT_TRUE(pelmar::DiscoverThrough(api, "10.0.0.1", 0, &context, macs, &error)) << error;
  EXPECT_EQ(macs, (std::vector<ModuleMac>{kA, kB}));
  EXPECT_EQ(g_context, &context);
  ASSERT_TRUE(pelmar::DiscoverThrough(api, "10.1.0.1", 0, nullptr, macs, &error));
  EXPECT_TRUE(macs.empty());
  EXPECT_FALSE(pelmar::DiscoverThrough(api, "10.9.9.9", 0, nullptr, macs, &error));
  EXPECT_NE(error.find("10.9.9.9"), std::string::npos);
  g_discoverFails = true;
  EXPECT_FALSE(pelmar::DiscoverThrough(api, "10.0.0.1", 0, nullptr, macs, &error));
}

TEST(ModuleCensus, FindsTheInterfaceAModuleAnswersThrough) {
  g_behind = {{"10.0.0.1", {kB}}, {"10.1.0.1", {kA}}, {"10.2.0.1", {kA}}};
  g_discoverFails = false;
  const pelmar::LibraryApi api = FakeApi();
  const std::vector<std::string> all = {"10.9.9.9", "10.0.0.1", "10.1.0.1", "10.2.0.1"};
  EXPECT_EQ(pelmar::FindAnsweringInterface(api, kA.data(), all, 0, nullptr), "10.1.0.1");
  EXPECT_EQ(pelmar::FindAnsweringInterface(api, kB.data(), all, 0, nullptr), "10.0.0.1");
  const ModuleMac absent = {0x02, 0xA7, 0x5E, 0, 0, 9};
  EXPECT_EQ(pelmar::FindAnsweringInterface(api, absent.data(), all, 0, nullptr), "");
}

}  // namespace
