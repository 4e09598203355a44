// The text requests byte for byte, and the limits of the configure text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/errors.h"
#include "client.h"
#include "library_reset.h"
#include "text/text_protocol.h"

namespace mdsp_test {
namespace {

MdspConfigureRequest ExampleRequest() {
  MdspConfigureRequest r{};
  const uint8_t mac[6] = {0x02, 0x00, 0x00, 0x12, 0x34, 0xAB};
  std::memcpy(r.mac, mac, 6);
  r.ip = 0xC0A8000A;
  r.subnetMask = 0xFFFFFF00;
  r.gateway = 0;
  r.dhcp = 0;
  r.dns1 = MDSP_ADDRESS_UNCHANGED;
  r.dns2 = MDSP_ADDRESS_UNCHANGED;
  return r;
}

std::string Format(const MdspConfigureRequest& r) {
  char text[mdsp::kConfigureTextCapacity];
  EXPECT_TRUE(mdsp::FormatConfigureText(r, text));
  return text;
}

TEST(TextRequests, WinkTextForTheExampleMac) {
  const uint8_t mac[6] = {0x02, 0x00, 0x00, 0x12, 0x34, 0xAB};
  char text[mdsp::kWinkTextCapacity];
  mdsp::FormatWinkText(mac, text);
  EXPECT_STREQ(text, "To: 02-00-00-12-34-AB;WINK;");
}

TEST(TextRequests, ConfigureTextOfTheExample) {
  EXPECT_EQ(Format(ExampleRequest()),
            "Configure: 02-00-00-12-34-AB;IP = 192.168.0.10;SN = 255.255.255.0;"
            "GW = 0.0.0.0;DHCP = OFF;HN =;");
}

TEST(TextRequests, ConfigureTextWithEveryPiece) {
  MdspConfigureRequest r = ExampleRequest();
  std::strcpy(r.password, "old");
  r.changePassword = 1;
  std::strcpy(r.newPassword, "new");
  r.dhcp = 1;
  std::strcpy(r.hostName, "press-3");
  r.dns1 = 0x08080808;
  r.dns2 = 0x01000001;
  EXPECT_EQ(Format(r),
            "Configure: 02-00-00-12-34-AB;Password: old;New Password = new;"
            "IP = 192.168.0.10;SN = 255.255.255.0;GW = 0.0.0.0;DHCP = ON;HN = press-3;"
            "DNS1 = 8.8.8.8;DNS2 = 1.0.0.1;");
}

TEST(TextRequests, OmittedFieldsSendNothing) {
  MdspConfigureRequest r = ExampleRequest();
  r.ip = r.subnetMask = r.gateway = MDSP_ADDRESS_UNCHANGED;
  r.dhcp = 2;
  std::strcpy(r.newPassword, "ignored without the flag");
  EXPECT_EQ(Format(r), "Configure: 02-00-00-12-34-AB;HN =;");
}

TEST(TextRequests, UnterminatedTextFieldsAreReadTo128Bytes) {
  MdspConfigureRequest r = ExampleRequest();
  r.ip = r.subnetMask = r.gateway = MDSP_ADDRESS_UNCHANGED;
  std::memset(r.hostName, 'h', sizeof r.hostName);  // no NUL
  EXPECT_EQ(Format(r), "Configure: 02-00-00-12-34-AB;DHCP = OFF;HN = " + std::string(128, 'h') +
                           ";");
}

TEST(TextRequests, ConfigureTextThatDoesNotFitIsRefusedWithinItsBuffer) {
  MdspConfigureRequest r = ExampleRequest();
  std::memset(r.password, 'p', 127);
  r.changePassword = 1;
  std::memset(r.newPassword, 'n', 127);
  std::memset(r.hostName, 'h', 127);
  r.dns1 = r.dns2 = 0xFFFFFFFE;

  constexpr size_t kGuard = 64;
  char buffer[mdsp::kConfigureTextCapacity + kGuard];
  std::memset(buffer, '#', sizeof buffer);
  mdsp::RecordError(mdsp::ERR_NONE);
  EXPECT_FALSE(mdsp::FormatConfigureText(r, buffer));
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_OUT_OF_RANGE);
  for (size_t i = mdsp::kConfigureTextCapacity; i < sizeof buffer; ++i)
    ASSERT_EQ(buffer[i], '#') << "written past the buffer at " << i;

}

TEST(TextRequests, ConfigureTextLimitIs511CharactersAndTheNul) {
  // 29 + 138 + 143 + 3 * 21 + 11 + 23 = 407 characters besides the host name
  // piece "HN = ...;" of 6 + length.
  MdspConfigureRequest r = ExampleRequest();
  std::memset(r.password, 'p', 127);
  r.changePassword = 1;
  std::memset(r.newPassword, 'n', 127);
  r.ip = r.subnetMask = r.gateway = 0xFFFFFFFE;
  r.dns1 = 0xFFFFFFFE;
  std::memset(r.hostName, 'h', 98);
  char text[mdsp::kConfigureTextCapacity];
  ASSERT_TRUE(mdsp::FormatConfigureText(r, text));
  EXPECT_EQ(std::strlen(text), 511u);
  r.hostName[98] = 'h';
  EXPECT_FALSE(mdsp::FormatConfigureText(r, text));
}

// A ';' inside a value would end its piece early and start one the caller
// never wrote.
TEST(TextRequests, SeparatorInAnyWrittenValueIsRefused) {
  char text[mdsp::kConfigureTextCapacity];
  auto with = [](const char* password, const char* newPassword, int change, const char* host) {
    MdspConfigureRequest r = ExampleRequest();
    std::strcpy(r.password, password);
    std::strcpy(r.newPassword, newPassword);
    r.changePassword = static_cast<uint8_t>(change);
    std::strcpy(r.hostName, host);
    return r;
  };
  const MdspConfigureRequest refused[] = {
      with("abc;LEAKTAIL1", "", 0, ""),
      with(";", "", 0, "name"),
      with("abc", "new;IP = 1.2.3.4", 1, ""),
      with("abc", "", 1, "host;DHCP = ON"),
      with("", "", 0, "host;"),
  };
  for (const auto& r : refused) {
    mdsp::RecordError(mdsp::ERR_NONE);
    std::memset(text, '#', sizeof text);
    EXPECT_FALSE(mdsp::FormatConfigureText(r, text)) << r.password << r.newPassword << r.hostName;
    EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_BAD_VALUE);
    EXPECT_STREQ(text, "");
  }
  // A new password that is not sent is not looked at.
  EXPECT_EQ(Format(with("abc", "x;y", 0, "h")),
            "Configure: 02-00-00-12-34-AB;Password: abc;IP = 192.168.0.10;SN = 255.255.255.0;"
            "GW = 0.0.0.0;DHCP = OFF;HN = h;");
}

class TextRequestsWithClient : public mdsp_test::FreshLibrary {};

// The text branch of SMDSP_SendConfigure copies the password into the
// pending request; it must not stay there once sent, nor after a refusal.
TEST_F(TextRequestsWithClient, PendingTextPasswordIsWipedAfterEachSend) {
  ASSERT_TRUE(mdsp::EnsureClient());
  mdsp::Client& client = *mdsp::TheClient();
  mdsp::HandleTextAnswer(client, "mac = 02-00-00-00-00-01;");
  ASSERT_EQ(SMDSP_CreateConfigureRequest(0), MDSP_RESULT_OK);
  ASSERT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, "renamed"), MDSP_RESULT_OK);
  const char zero[sizeof client.pending.request.password] = {};

  // No slot is configured: the send reaches nobody and succeeds.
  SmdspCredentials good{"s3cret", nullptr, nullptr};
  EXPECT_EQ(SMDSP_SendConfigure(&good), MDSP_RESULT_OK);
  EXPECT_EQ(std::memcmp(client.pending.request.password, zero, sizeof zero), 0);
  EXPECT_STREQ(client.pending.request.hostName, "renamed");  // the rest stays pending

  SmdspCredentials cut{"abc;LEAKTAIL1", nullptr, nullptr};
  EXPECT_EQ(SMDSP_SendConfigure(&cut), MDSP_RESULT_FAILED);
  EXPECT_EQ(std::memcmp(client.pending.request.password, zero, sizeof zero), 0);
  EXPECT_EQ(SMDSP_SendConfigure(&good), MDSP_RESULT_OK);
}

TEST_F(TextRequestsWithClient, OversizeConfigureIsRefusedAndScanEmptiesTheLists) {
  ASSERT_TRUE(mdsp::EnsureClient());
  mdsp::Client& client = *mdsp::TheClient();

  MdspConfigureRequest r = ExampleRequest();
  std::memset(r.password, 'p', 127);
  r.changePassword = 1;
  std::memset(r.newPassword, 'n', 127);
  std::memset(r.hostName, 'h', 127);
  r.dns1 = r.dns2 = 0xFFFFFFFE;
  EXPECT_FALSE(mdsp::SendTextConfigure(client, r));
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_OUT_OF_RANGE);

  mdsp::HandleTextAnswer(client, "mac = 02-00-00-00-00-01;");
  mdsp::HandleTextAnswer(client, "mac = 02-00-00-00-00-02;");
  ASSERT_EQ(client.responses.count(), 2u);
  ASSERT_EQ(client.modules.count(), 2u);
  // No slot is configured: the scan sends nothing and succeeds.
  EXPECT_TRUE(mdsp::SendModuleScan(client));
  EXPECT_EQ(client.responses.count(), 0u);
  EXPECT_EQ(client.modules.count(), 0u);
}

}  // namespace
}  // namespace mdsp_test
