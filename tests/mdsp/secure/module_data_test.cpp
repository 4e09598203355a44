// Reading module values and building configure requests, through the
// exports, for both kinds of module-table entry.
#include <cstring>
#include <string>

#include "base/errors.h"
#include "lifecycle.h"
#include "module_table_fixture.h"
#include "text/text_protocol.h"

namespace mdsp_test {
namespace {

using mdsp::LastErrorCode;

TEST(ModuleDataNotStarted, EveryCallAnswersNotStarted) {
  mdsp::LibraryUnload();
  mdsp::LibraryLoad();
  uint8_t buffer[8];
  uint32_t size = sizeof buffer;
  EXPECT_EQ(SMDSP_GetPayloadData(SMDSP_TAG_IP, 0, buffer, 4), MDSP_RESULT_NOT_STARTED);
  EXPECT_EQ(SMDSP_GetPayloadDataAndSize(SMDSP_TAG_IP, 0, buffer, &size), MDSP_RESULT_NOT_STARTED);
  EXPECT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_MODULE_TYPE, 0, reinterpret_cast<char*>(buffer), 8),
            MDSP_RESULT_NOT_STARTED);
  EXPECT_EQ(SMDSP_GetModuleMac(0, buffer), MDSP_RESULT_NOT_STARTED);
  EXPECT_EQ(SMDSP_CreateConfigureRequest(0), MDSP_RESULT_NOT_STARTED);
  EXPECT_EQ(SMDSP_SetPayloadData(SMDSP_CONFIGURE_TAG_IP, buffer, 4), MDSP_RESULT_NOT_STARTED);
  EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, "x"), MDSP_RESULT_NOT_STARTED);
  EXPECT_EQ(LastErrorCode(), mdsp::ERR_NOT_STARTED);
}

using ReadTest = ModuleTableTest;

TEST_F(ReadTest, PayloadDataNeedsTheExactSize) {
  uint32_t index = AddSecureModule(1, 0xC0A8000A);
  uint8_t address[4] = {};
  EXPECT_EQ(SMDSP_GetPayloadData(SMDSP_TAG_IP, index, address, 2), MDSP_RESULT_INVALID_TAG);
  EXPECT_EQ(SMDSP_GetPayloadData(SMDSP_TAG_IP, index, address, 5), MDSP_RESULT_INVALID_TAG);
  ASSERT_EQ(SMDSP_GetPayloadData(SMDSP_TAG_IP, index, address, 4), MDSP_RESULT_OK);
  const uint8_t expected[4] = {0x0A, 0x00, 0xA8, 0xC0};
  EXPECT_EQ(0, std::memcmp(address, expected, 4));
}

TEST_F(ReadTest, MissingTagBadIndexAndNullBuffer) {
  uint32_t index = AddSecureModule(1);
  uint8_t buffer[4];
  EXPECT_EQ(SMDSP_GetPayloadData(SMDSP_TAG_SUBNET_MASK, index, buffer, 4), MDSP_RESULT_NOT_FOUND);
  EXPECT_EQ(LastErrorCode(), mdsp::ERR_NOT_FOUND);
  EXPECT_EQ(SMDSP_GetPayloadData(SMDSP_TAG_IP, index + 1, buffer, 4), MDSP_RESULT_BAD_INDEX);
  EXPECT_EQ(SMDSP_GetModuleMac(index + 1, buffer), MDSP_RESULT_BAD_INDEX);
  EXPECT_EQ(SMDSP_GetPayloadData(SMDSP_TAG_IP, index, nullptr, 4), MDSP_RESULT_FAILED);
  uint32_t size = 4;
  EXPECT_EQ(SMDSP_GetPayloadDataAndSize(SMDSP_TAG_IP, index, buffer, nullptr), MDSP_RESULT_FAILED);
  EXPECT_EQ(SMDSP_GetPayloadDataAndSize(SMDSP_TAG_IP, index, nullptr, &size), MDSP_RESULT_FAILED);
  EXPECT_EQ(SMDSP_GetModuleMac(index, nullptr), MDSP_RESULT_FAILED);
}

TEST_F(ReadTest, PayloadDataAndSizeReportsTheLength) {
  uint32_t index = AddSecureModule(1);
  char buffer[16] = {};
  uint32_t size = 6;
  EXPECT_EQ(SMDSP_GetPayloadDataAndSize(SMDSP_TAG_HOST_NAME, index, buffer, &size), MDSP_RESULT_OK);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(std::string(buffer, 6), "node-a");
  size = 5;
  EXPECT_EQ(SMDSP_GetPayloadDataAndSize(SMDSP_TAG_HOST_NAME, index, buffer, &size), MDSP_RESULT_INVALID_TAG);
  EXPECT_EQ(size, 5u);
  size = sizeof buffer;
  EXPECT_EQ(SMDSP_GetPayloadDataAndSize(SMDSP_TAG_MODULE_TYPE, index, buffer, &size), MDSP_RESULT_OK);
  EXPECT_EQ(size, 7u);
}

TEST_F(ReadTest, PayloadStringCutsToTheBuffer) {
  uint32_t index = AddSecureModule(1);
  char text[8];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_HOST_NAME, index, text, 1), MDSP_RESULT_OK);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_HOST_NAME, index, text, 4), MDSP_RESULT_OK);
  EXPECT_STREQ(text, "nod");
  EXPECT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_HOST_NAME, index, text, sizeof text), MDSP_RESULT_OK);
  EXPECT_STREQ(text, "node-a");
  // Nowhere to put even the NUL: refused, nothing written.
  text[0] = 'q';
  EXPECT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_HOST_NAME, index, text, 0), MDSP_RESULT_FAILED);
  EXPECT_EQ(text[0], 'q');
  EXPECT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_HOST_NAME, index, nullptr, 8), MDSP_RESULT_FAILED);
}

TEST_F(ReadTest, PayloadStringAllowsOnlyTextTags) {
  uint32_t index = AddSecureModule(1);
  uint32_t text = AddTextModule(2, "ab12");
  char buffer[64];
  for (int tag : {0, 3, 4, 5, 6, 7, 8, 9, 11, 12, -1})
    EXPECT_EQ(SMDSP_GetPayloadString(tag, index, buffer, sizeof buffer), MDSP_RESULT_INVALID_TAG)
        << "tag " << tag;
  // The tag test comes before the index test.
  EXPECT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_IP, 99, buffer, sizeof buffer), MDSP_RESULT_INVALID_TAG);
  EXPECT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_MODULE_TYPE, 99, buffer, sizeof buffer), MDSP_RESULT_BAD_INDEX);
  EXPECT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_SEED, text, buffer, sizeof buffer), MDSP_RESULT_OK);
  EXPECT_STREQ(buffer, "ab12");
  EXPECT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_SECURE_MODULE, index, buffer, sizeof buffer), MDSP_RESULT_OK);
  EXPECT_STREQ(buffer, "\x01");
  EXPECT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_FIELD_BUS_TYPE, text, buffer, sizeof buffer), MDSP_RESULT_OK);
  EXPECT_STREQ(buffer, "TXT-IO");
}

TEST_F(ReadTest, MarkerTellsSecureFromTextModules) {
  uint32_t secure = AddSecureModule(1);
  uint32_t text = AddTextModule(2);
  uint8_t marker = 0;
  EXPECT_EQ(SMDSP_GetPayloadData(SMDSP_TAG_SECURE_MODULE, secure, &marker, 1), MDSP_RESULT_OK);
  EXPECT_EQ(marker, 1);
  EXPECT_EQ(SMDSP_GetPayloadData(SMDSP_TAG_SECURE_MODULE, text, &marker, 1), MDSP_RESULT_NOT_FOUND);
  uint8_t mac[6];
  ASSERT_EQ(SMDSP_GetModuleMac(text, mac), MDSP_RESULT_OK);
  const uint8_t expected[6] = {0x02, 0, 0, 0, 1, 2};
  EXPECT_EQ(0, std::memcmp(mac, expected, 6));
}

using ConfigureRequestTest = ModuleTableTest;

TEST_F(ConfigureRequestTest, NothingPendingBeforeCreate) {
  AddSecureModule(1);
  uint32_t ip = 0x0A000001;
  EXPECT_EQ(SMDSP_SetPayloadData(SMDSP_CONFIGURE_TAG_IP, &ip, 4), MDSP_RESULT_FAILED);
  EXPECT_EQ(LastErrorCode(), mdsp::ERR_OUT_OF_RANGE);
  EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, "h"), MDSP_RESULT_FAILED);
  EXPECT_EQ(SMDSP_CreateConfigureRequest(5), MDSP_RESULT_BAD_INDEX);
  EXPECT_EQ(client->pending.list, nullptr);
}

TEST_F(ConfigureRequestTest, TagMustMatchTheSize) {
  uint32_t index = AddSecureModule(1);
  ASSERT_EQ(SMDSP_CreateConfigureRequest(index), MDSP_RESULT_OK);
  uint8_t data[8] = {};
  EXPECT_EQ(SMDSP_SetPayloadData(6, data, 4), MDSP_RESULT_INVALID_TAG);
  EXPECT_EQ(SMDSP_SetPayloadData(5, data, 4), MDSP_RESULT_INVALID_TAG);
  EXPECT_EQ(SMDSP_SetPayloadData(SMDSP_CONFIGURE_TAG_IP, data, 1), MDSP_RESULT_INVALID_TAG);
  EXPECT_EQ(SMDSP_SetPayloadData(3, data, 2), MDSP_RESULT_INVALID_TAG);
  EXPECT_EQ(SMDSP_SetPayloadData(256, data, 4), MDSP_RESULT_INVALID_TAG);
  EXPECT_EQ(SMDSP_SetPayloadData(SMDSP_CONFIGURE_TAG_IP, nullptr, 4), MDSP_RESULT_FAILED);
  EXPECT_EQ(SMDSP_SetPayloadString(5, "x"), MDSP_RESULT_INVALID_TAG);
  EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, nullptr), MDSP_RESULT_FAILED);
  EXPECT_EQ(client->pending.list->items.count(), 0u);
}

TEST_F(ConfigureRequestTest, SecureModuleCollectsTlvsInCallOrder) {
  uint32_t index = AddSecureModule(1);
  ASSERT_EQ(SMDSP_CreateConfigureRequest(index), MDSP_RESULT_OK);
  uint32_t ip = 0xC0A8000A;
  uint8_t dhcp = 1;
  uint16_t odd = 0x0102;
  EXPECT_EQ(SMDSP_SetPayloadData(SMDSP_CONFIGURE_TAG_IP, &ip, 4), MDSP_RESULT_OK);
  EXPECT_EQ(SMDSP_SetPayloadData(SMDSP_CONFIGURE_TAG_DHCP, &dhcp, 1), MDSP_RESULT_OK);
  EXPECT_EQ(SMDSP_SetPayloadData(9, &odd, 2), MDSP_RESULT_OK);
  EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, "host"), MDSP_RESULT_OK);
  EXPECT_EQ(SMDSP_SetPayloadData(SMDSP_CONFIGURE_TAG_IP, &ip, 4), MDSP_RESULT_OK);  // sent twice
  uint8_t wire[64];
  size_t n = mdsp::TlvConcatenate(*client->pending.list, wire, sizeof wire);
  const uint8_t expected[] = {0, 4, 0x0A, 0x00, 0xA8, 0xC0, 5, 1, 1, 9, 2, 0x02, 0x01,
                              6, 4, 'h', 'o', 's', 't', 0, 4, 0x0A, 0x00, 0xA8, 0xC0};
  ASSERT_EQ(n, sizeof expected);
  EXPECT_EQ(0, std::memcmp(wire, expected, n));
}

TEST_F(ConfigureRequestTest, SecureValueAboveOneTlvIsRefused) {
  uint32_t index = AddSecureModule(1);
  ASSERT_EQ(SMDSP_CreateConfigureRequest(index), MDSP_RESULT_OK);
  std::string longText(256, 'h');
  uint8_t bytes[300] = {};
  EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, longText.c_str()), MDSP_RESULT_FAILED);
  EXPECT_EQ(SMDSP_SetPayloadData(20, bytes, 256), MDSP_RESULT_FAILED);
  EXPECT_EQ(SMDSP_SetPayloadData(20, bytes, -1), MDSP_RESULT_FAILED);
  EXPECT_EQ(LastErrorCode(), mdsp::ERR_OUT_OF_RANGE);
  EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, longText.substr(1).c_str()), MDSP_RESULT_OK);
  EXPECT_EQ(client->pending.list->items.count(), 1u);
}

TEST_F(ConfigureRequestTest, TextModuleRequestStartsZeroedWithTheMac) {
  uint32_t index = AddTextModule(7);
  std::memset(&client->pending.request, 0xAB, sizeof client->pending.request);
  ASSERT_EQ(SMDSP_CreateConfigureRequest(index), MDSP_RESULT_OK);
  const MdspConfigureRequest& r = client->pending.request;
  const uint8_t mac[6] = {0x02, 0, 0, 0, 1, 7};
  EXPECT_EQ(0, std::memcmp(r.mac, mac, 6));
  // Not "unchanged": unset addresses go out as 0.0.0.0, DHCP off, no host name.
  EXPECT_EQ(r.ip, 0u);
  EXPECT_EQ(r.subnetMask, 0u);
  EXPECT_EQ(r.gateway, 0u);
  EXPECT_EQ(r.dns1, 0u);
  EXPECT_EQ(r.dns2, 0u);
  EXPECT_EQ(r.dhcp, 0);
  EXPECT_STREQ(r.hostName, "");
  EXPECT_EQ(r.changePassword, 0);
  // What goes on the wire for it: every address piece, DHCP off, host name
  // cleared.
  char text[mdsp::kConfigureTextCapacity];
  ASSERT_TRUE(mdsp::FormatConfigureText(r, text));
  EXPECT_STREQ(text,
               "Configure: 02-00-00-00-01-07;IP = 0.0.0.0;SN = 0.0.0.0;GW = 0.0.0.0;"
               "DHCP = OFF;HN =;DNS1 = 0.0.0.0;DNS2 = 0.0.0.0;");
}

TEST_F(ConfigureRequestTest, TextModuleValuesLandInTheRequestFields) {
  uint32_t index = AddTextModule(7);
  ASSERT_EQ(SMDSP_CreateConfigureRequest(index), MDSP_RESULT_OK);
  const uint32_t values[5] = {0xC0A80164, 0xFFFFFF00, 0xC0A80101, 0x08080808, 0x01010101};
  for (int tag = 0; tag < 5; ++tag)
    EXPECT_EQ(SMDSP_SetPayloadData(tag, &values[tag], 4), MDSP_RESULT_OK);
  uint8_t dhcp = 1;
  EXPECT_EQ(SMDSP_SetPayloadData(SMDSP_CONFIGURE_TAG_DHCP, &dhcp, 1), MDSP_RESULT_OK);
  EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, "plant-7"), MDSP_RESULT_OK);
  EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_PASSWORD, "ab0123456789abcdef0123456789abcdef"), MDSP_RESULT_OK);
  const MdspConfigureRequest& r = client->pending.request;
  EXPECT_EQ(r.ip, values[0]);
  EXPECT_EQ(r.subnetMask, values[1]);
  EXPECT_EQ(r.gateway, values[2]);
  EXPECT_EQ(r.dns1, values[3]);
  EXPECT_EQ(r.dns2, values[4]);
  EXPECT_EQ(r.dhcp, 1);
  EXPECT_STREQ(r.hostName, "plant-7");
  EXPECT_STREQ(r.newPassword, "ab0123456789abcdef0123456789abcdef");
  EXPECT_EQ(r.changePassword, 1);
  // Nothing goes into the TLV list for a text-protocol module.
  EXPECT_EQ(client->pending.list->items.count(), 0u);
}

TEST_F(ConfigureRequestTest, TextModuleRefusesWhatItCannotTake) {
  uint32_t index = AddTextModule(7);
  ASSERT_EQ(SMDSP_CreateConfigureRequest(index), MDSP_RESULT_OK);
  uint16_t odd = 1;
  EXPECT_EQ(SMDSP_SetPayloadData(9, &odd, 2), MDSP_RESULT_FAILED);
  EXPECT_EQ(LastErrorCode(), mdsp::ERR_FAILED);
  uint32_t four = 1;
  EXPECT_EQ(SMDSP_SetPayloadData(8, &four, 4), MDSP_RESULT_FAILED);
  EXPECT_EQ(SMDSP_SetPayloadString(8, "x"), MDSP_RESULT_FAILED);
  EXPECT_EQ(LastErrorCode(), mdsp::ERR_FAILED);

  std::string host127(127, 'h');
  EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, host127.c_str()), MDSP_RESULT_OK);
  EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, (host127 + "h").c_str()), MDSP_RESULT_TEXT_TOO_LONG);
  EXPECT_EQ(std::string(client->pending.request.hostName), host127);
  EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_PASSWORD, std::string(128, 'p').c_str()), MDSP_RESULT_TEXT_TOO_LONG);
  EXPECT_EQ(client->pending.request.changePassword, 0);
  EXPECT_STREQ(client->pending.request.newPassword, "");
}

TEST_F(ConfigureRequestTest, CreateReplacesAndFailedCreateKeeps) {
  uint32_t first = AddSecureModule(1);
  uint32_t second = AddTextModule(2);
  ASSERT_EQ(SMDSP_CreateConfigureRequest(first), MDSP_RESULT_OK);
  uint32_t ip = 1;
  ASSERT_EQ(SMDSP_SetPayloadData(SMDSP_CONFIGURE_TAG_IP, &ip, 4), MDSP_RESULT_OK);
  mdsp::TlvList* before = client->pending.list;
  EXPECT_EQ(SMDSP_CreateConfigureRequest(9), MDSP_RESULT_BAD_INDEX);
  EXPECT_EQ(client->pending.list, before);
  EXPECT_EQ(client->pending.moduleIndex, static_cast<int32_t>(first));
  ASSERT_EQ(SMDSP_CreateConfigureRequest(second), MDSP_RESULT_OK);
  EXPECT_EQ(client->pending.list->items.count(), 0u);
  EXPECT_EQ(client->pending.moduleIndex, static_cast<int32_t>(second));
}

TEST_F(ConfigureRequestTest, PendingIndexBeyondAnEmptiedTable) {
  uint32_t index = AddSecureModule(1);
  ASSERT_EQ(SMDSP_CreateConfigureRequest(index), MDSP_RESULT_OK);
  {
    std::lock_guard<std::recursive_mutex> guard(client->queueLock);
    mdsp::ClearModuleLists(*client);
  }
  uint32_t ip = 1;
  EXPECT_EQ(SMDSP_SetPayloadData(SMDSP_CONFIGURE_TAG_IP, &ip, 4), MDSP_RESULT_BAD_INDEX);
  EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, "x"), MDSP_RESULT_BAD_INDEX);
  SmdspCredentials credentials{"", nullptr, nullptr};
  EXPECT_EQ(SMDSP_SendConfigure(&credentials), MDSP_RESULT_BAD_INDEX);
}

}  // namespace
}  // namespace mdsp_test
