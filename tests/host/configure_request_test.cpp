// The one configure request: its rules, how passwords travel, and staging
// that stops at the first value the library refuses and names it.
#include "configure_request.h"

#include <gtest/gtest.h>

#include "fake_library.h"

namespace pelmar_test {
using namespace pelmar;
namespace {

TEST(ConfigureRules, HostNamesAndSemicolons) {
  for (const char* good : {"", "press-1", "A_z-09"}) EXPECT_TRUE(IsLegalHostName(good)) << good;
  for (const char* bad : {"a b", "a;b", "a.b", "S\xc3\xbc" "d", "x\n"})
    EXPECT_FALSE(IsLegalHostName(bad)) << bad;
  const struct {
    bool secure, seeded;
    const char* password;
    bool breaks;
  } cases[] = {
      {false, false, "pw;IP = 1.2.3.4", true},
      {false, false, "pw", false},
      {false, true, "pw;", false},  // gets an MD5 answer, never the text
      {true, false, "pw;", false},  // gets a TLV, not a "...;" piece
  };
  for (const auto& c : cases)
    EXPECT_EQ(SemicolonBreaksPassword(c.secure, c.seeded, c.password), c.breaks) << c.password;
}

TEST(ConfigureRequest, PasswordsTravelByTheModulesRule) {
  char answer[kMd5HexLength + 1];
  ASSERT_TRUE(AuthAnswer("k7", "secret", answer));
  const struct {
    const char* what;
    PasswordRule rule;
    bool answered, salted;
  } cases[] = {
      {"plain text module", PasswordRuleFor(false, false, ""), false, false},
      {"seeded text module", PasswordRuleFor(false, true, "k7"), true, true},
      {"secure module, even with a seed", PasswordRuleFor(true, true, "k7"), false, false},
      // The dialog salts for a secure module that reported a seed.
      {"salt only", PasswordRule{false, true, "k7"}, false, true},
  };
  ConfigurePlan plan;
  plan.newPassword = true;
  plan.hostName = "n";
  for (const auto& c : cases) {
    ConfigureRequest request;
    ASSERT_TRUE(BuildConfigureRequest(plan, true, "", c.rule, "secret", "next",
                                      [] { return 0; }, &request))
        << c.what;
    EXPECT_EQ(request.authentication, c.answered ? std::string(answer) : "secret") << c.what;
    ASSERT_EQ(request.values.size(), 2u) << c.what;
    EXPECT_EQ(request.values[0].tag, SMDSP_CONFIGURE_TAG_PASSWORD) << c.what;
    EXPECT_EQ(request.values[0].text.size(), c.salted ? kNewPasswordValueLength : 4u) << c.what;
    EXPECT_EQ(request.values[1].text, "n") << c.what;
  }
}

TEST(ConfigureRequest, StagingStopsAtTheFirstRefusalAndNamesIt) {
  FakeLibrary fake;
  ConfigurePlan plan;
  plan.ip = 0x0A000001;
  plan.dhcp = true;
  plan.newPassword = true;
  plan.hostName = "n";
  const std::vector<PayloadValue> values = PayloadValues(plan, true, "", "next");
  ASSERT_EQ(values.size(), 4u);  // ip, DHCP, new password, host name

  StageResult staged = StageConfigureRequest(fake.api(), 3, values);
  EXPECT_TRUE(staged.ok());
  EXPECT_EQ(fake.writes().size(), 5u);
  EXPECT_EQ(fake.writes().front(), Create(3));

  const struct {
    const char* what;
    int32_t FakeLibrary::*result;
    int32_t refusal;
    int refusedTag;  // -1: the request could not be started
    size_t writes;
  } cases[] = {
      {"create", &FakeLibrary::createResult, MDSP_RESULT_BAD_INDEX, -1, 1},
      {"data", &FakeLibrary::setDataResult, MDSP_RESULT_FAILED, SMDSP_CONFIGURE_TAG_IP, 2},
      {"text", &FakeLibrary::setStringResult, MDSP_RESULT_TEXT_TOO_LONG,
       SMDSP_CONFIGURE_TAG_PASSWORD, 4},
  };
  for (const auto& c : cases) {
    fake.calls.clear();
    fake.createResult = fake.setDataResult = fake.setStringResult = MDSP_RESULT_OK;
    fake.*c.result = c.refusal;
    staged = StageConfigureRequest(fake.api(), 3, values);
    EXPECT_EQ(staged.result, c.refusal) << c.what;
    EXPECT_EQ(staged.refused ? staged.refused->tag : -1, c.refusedTag) << c.what;
    EXPECT_EQ(fake.writes().size(), c.writes) << c.what;
  }
}

}  // namespace
}  // namespace pelmar_test
