// The Settings command's order of steps, with a fake DHCP server.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings_command.h"

namespace pelmar_test {
using namespace pelmar;
namespace {

using Log = std::vector<std::string>;

class FakeDhcp : public DhcpControl {
 public:
  FakeDhcp(Log& log, bool on, bool startWorks) : log_(log), on_(on), startWorks_(startWorks) {}
  bool IsOn() const override { return on_; }
  bool SwitchOn(std::string* failure) override {
    log_.push_back(startWorks_ ? "dhcp on" : "dhcp on failed");
    if (!startWorks_) {
      *failure = "DHCP server init failed\nport taken";
      return false;
    }
    on_ = true;
    return true;
  }
  void SwitchOff() override {
    log_.push_back("dhcp off");
    on_ = false;
  }

 private:
  Log& log_;
  bool on_;
  bool startWorks_;
};

// Steps that log what they are asked; the dialog answers with `answer`.
SettingsCommandSteps LoggingSteps(Log& log, std::optional<SettingsChoice> answer,
                                  SettingsChoice* shown = nullptr) {
  SettingsCommandSteps steps;
  steps.refreshInterfaces = [&log] { log.push_back("refresh"); };
  steps.runDialog = [&log, answer, shown](const SettingsChoice& current) {
    log.push_back("dialog");
    if (shown) *shown = current;
    return answer;
  };
  steps.takeOver = [&log](bool specific, uint32_t selected) {
    log.push_back("take over " + std::to_string(specific) + " " + std::to_string(selected));
  };
  steps.applyInterface = [&log] { log.push_back("apply"); };
  steps.clearAndScan = [&log] { log.push_back("clear and scan"); };
  steps.showPlainMessage = [&log](const std::string& text) { log.push_back("message " + text); };
  steps.saveSettings = [&log] { log.push_back("save"); };
  return steps;
}

struct OkCase {
  const char* name;
  bool wasOn;
  bool chosenOn;
  bool startWorks;
  Log dhcpSteps;  // between "clear and scan" and "save"
  bool onAfter;
};

class SettingsCommandOk : public ::testing::TestWithParam<OkCase> {};

TEST_P(SettingsCommandOk, StepsRunInOrderAndTheSwitchShowsItsTrueState) {
  const OkCase& c = GetParam();
  Log log;
  FakeDhcp dhcp(log, c.wasOn, c.startWorks);
  SettingsChoice answer{true, 2, c.chosenOn};
  ASSERT_TRUE(RunSettingsCommand({false, 0, false}, dhcp, LoggingSteps(log, answer)));

  Log expected = {"refresh", "dialog", "take over 1 2", "apply", "clear and scan"};
  expected.insert(expected.end(), c.dhcpSteps.begin(), c.dhcpSteps.end());
  expected.push_back("save");
  EXPECT_EQ(log, expected);
  EXPECT_EQ(dhcp.IsOn(), c.onAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Dhcp, SettingsCommandOk,
    ::testing::Values(
        OkCase{"OffStaysOff", false, false, true, {}, false},
        OkCase{"OnStaysOnWithoutRestart", true, true, true, {}, true},
        OkCase{"SwitchedOn", false, true, true, {"dhcp on"}, true},
        OkCase{"FailedStartIsShownAndStaysOff",
               false, true, false,
               {"dhcp on failed", "message DHCP server init failed\nport taken"}, false},
        OkCase{"SwitchedOff", true, false, true, {"dhcp off"}, false}),
    [](const ::testing::TestParamInfo<OkCase>& info) { return std::string(info.param.name); });

TEST(SettingsCommand, CancelChangesNothing) {
  for (bool on : {false, true}) {
    Log log;
    FakeDhcp dhcp(log, on, true);
    EXPECT_FALSE(RunSettingsCommand({true, 1, on}, dhcp, LoggingSteps(log, std::nullopt)));
    EXPECT_EQ(log, (Log{"refresh", "dialog"}));
    EXPECT_EQ(dhcp.IsOn(), on);
  }
}

TEST(SettingsCommand, DialogOpensWithTheSwitchState) {
  // A failed start leaves the switch off, so the next opening shows it off
  // whatever the caller believed; ticking the box again retries.
  Log log;
  FakeDhcp dhcp(log, false, false);
  SettingsChoice shown;
  RunSettingsCommand({true, 3, true}, dhcp, LoggingSteps(log, std::nullopt, &shown));
  EXPECT_EQ(shown, (SettingsChoice{true, 3, false}));

  FakeDhcp running(log, true, true);
  RunSettingsCommand({false, 0, false}, running, LoggingSteps(log, std::nullopt, &shown));
  EXPECT_TRUE(shown.dhcpServer);
}

}  // namespace
}  // namespace pelmar_test
