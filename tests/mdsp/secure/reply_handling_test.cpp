// The secure reply handling row by row, fed with accepted replies directly,
// and the restart report of the worker step. No sockets are involved.
#include <cstring>
#include <string>

#include "base/errors.h"
#include "manual_clock.h"
#include "module_table_fixture.h"
#include "platform/clock.h"
#include "secure/protocol.h"

namespace mdsp_test {
namespace {

class ReplyHandlingTest : public ModuleTableTest {
 protected:
  // Hands a reply to the handling the way the receive step does: the caller
  // discards what was not kept.
  bool Deliver(uint8_t type, const std::vector<uint8_t>& payload, bool status,
               uint8_t macLast = 9) {
    auto* m = new mdsp::Message;
    uint8_t mac[6] = {0x02, 0, 0, 0, 0, macLast};
    std::memcpy(m->sourceMac, mac, 6);
    m->flags = static_cast<uint8_t>(mdsp::kFlagReply | (status ? mdsp::kFlagStatus : 0));
    m->type = type;
    m->length = static_cast<uint16_t>(payload.size());
    if (!payload.empty()) std::memcpy(m->payload, payload.data(), payload.size());
    bool kept = mdsp::HandleReply(*client, m);
    if (!kept) delete m;
    return kept;
  }
  void StartPending(uint32_t index) { ASSERT_EQ(SMDSP_CreateConfigureRequest(index), 0); }
  // The one event expected, as (event, argument).
  void ExpectSingle(int32_t event, int32_t argument) {
    ASSERT_EQ(recorded().size(), 1u);
    EXPECT_EQ(recorded()[0].event, event);
    EXPECT_EQ(recorded()[0].argument, argument);
    EXPECT_EQ(recorded()[0].index, 0);
    EXPECT_EQ(recorded()[0].mac[5], 9);
    events.Clear();
  }
};

TEST_F(ReplyHandlingTest, DiscoverReplyBecomesAnEntryWithTheMarker) {
  void* context = reinterpret_cast<void*>(0x1234);
  mdsp::g_callbackContext = context;
  EXPECT_TRUE(Deliver(mdsp::kTypeDiscover, {2, 3, 'A', 'B', 'C', 9, 1, 1}, false));
  ASSERT_EQ(recorded().size(), 1u);
  EXPECT_EQ(recorded()[0].event, SMDSP_EVENT_MODULE_FOUND);
  EXPECT_EQ(recorded()[0].index, 0);
  EXPECT_EQ(recorded()[0].context, context);
  char type[8];
  EXPECT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_MODULE_TYPE, 0, type, sizeof type), 0);
  EXPECT_STREQ(type, "ABC");
  uint8_t marker = 0;
  EXPECT_EQ(SMDSP_GetPayloadData(SMDSP_TAG_SECURE_MODULE, 0, &marker, 1), 0);
  EXPECT_EQ(marker, 1);
}

TEST_F(ReplyHandlingTest, MalformedDiscoverReplyIsListedWithoutMarker) {
  AddSecureModule(1);
  // The second item claims more bytes than remain.
  EXPECT_TRUE(Deliver(mdsp::kTypeDiscover, {9, 1, 1, 10, 9, 'x'}, false));
  ASSERT_EQ(recorded().size(), 1u);
  EXPECT_EQ(recorded()[0].index, 1);
  uint8_t value = 0;
  EXPECT_EQ(SMDSP_GetPayloadData(9, 1, &value, 1), 0);
  EXPECT_EQ(SMDSP_GetPayloadData(SMDSP_TAG_SECURE_MODULE, 1, &value, 1), MDSP_RESULT_NOT_FOUND);
}

TEST_F(ReplyHandlingTest, AuthenticationReplyStoresTheSeedAndSignals) {
  const uint8_t asked[6] = {0x02, 0, 0, 0, 0, 9};
  mdsp::OpenSeedWait(*client, asked);
  EXPECT_FALSE(Deliver(mdsp::kTypeAuthentication, {0x11, 0x22, 0x33, 0x44}, false));
  EXPECT_TRUE(recorded().empty());
  EXPECT_TRUE(client->authEvent.Wait(0));
  EXPECT_FALSE(client->authEvent.Wait(0));  // auto-reset
  uint8_t bytes[4];
  std::memcpy(bytes, &client->seed, 4);
  const uint8_t expected[4] = {0x11, 0x22, 0x33, 0x44};
  EXPECT_EQ(0, std::memcmp(bytes, expected, 4));
  // A short seed counts the missing bytes as zero.
  EXPECT_FALSE(Deliver(mdsp::kTypeAuthentication, {0x55}, false));
  EXPECT_EQ(client->seed & 0xFFu, 0x55u);
  std::memcpy(bytes, &client->seed, 4);
  EXPECT_EQ(bytes[1] | bytes[2] | bytes[3], 0);
}

// A seed signs the next request of whoever waits: one that nobody asked
// for, or that another module sent, would make the asked module refuse a
// right password.
TEST_F(ReplyHandlingTest, SeedIsTakenOnlyFromTheModuleAskedWhileItsRequestWaits) {
  enum class Wait { kNone, kOpen, kClosed };
  const struct {
    const char* what;
    Wait wait;
    uint8_t askedLast;
    uint8_t repliedLast;
    bool taken;
  } rows[] = {{"the module asked", Wait::kOpen, 9, 9, true},
              {"another module", Wait::kOpen, 7, 9, false},
              {"nobody waits", Wait::kNone, 9, 9, false},
              {"the wait is over", Wait::kClosed, 9, 9, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const uint8_t asked[6] = {0x02, 0, 0, 0, 0, row.askedLast};
    if (row.wait != Wait::kNone) mdsp::OpenSeedWait(*client, asked);
    if (row.wait == Wait::kClosed) mdsp::CloseSeedWait(*client);
    client->seed = 0x0BADF00D;
    EXPECT_FALSE(Deliver(mdsp::kTypeAuthentication, {0x11, 0x22, 0x33, 0x44}, false,
                         row.repliedLast));
    EXPECT_TRUE(recorded().empty());
    uint8_t bytes[4];
    std::memcpy(bytes, &client->seed, 4);
    const uint8_t taken[4] = {0x11, 0x22, 0x33, 0x44};
    EXPECT_EQ(std::memcmp(bytes, taken, 4) == 0, row.taken);
    EXPECT_EQ(client->authEvent.Wait(0), row.taken);
    mdsp::CloseSeedWait(*client);
  }
  // A seed that nobody consumed does not release the next request's wait.
  const uint8_t first[6] = {0x02, 0, 0, 0, 0, 9}, second[6] = {0x02, 0, 0, 0, 0, 7};
  mdsp::OpenSeedWait(*client, first);
  Deliver(mdsp::kTypeAuthentication, {0x11, 0x22, 0x33, 0x44}, false, 9);
  mdsp::CloseSeedWait(*client);
  mdsp::OpenSeedWait(*client, second);
  EXPECT_FALSE(client->authEvent.Wait(0));
  mdsp::CloseSeedWait(*client);
}

TEST_F(ReplyHandlingTest, RefusedAuthenticationRaisesUnableWithoutSignal) {
  const uint8_t asked[6] = {0x02, 0, 0, 0, 0, 9};
  mdsp::OpenSeedWait(*client, asked);
  EXPECT_FALSE(Deliver(mdsp::kTypeAuthentication, {5}, true));
  ExpectSingle(SMDSP_EVENT_UNABLE, 5);
  EXPECT_FALSE(client->authEvent.Wait(0));
}

TEST_F(ReplyHandlingTest, GenericStatusesOfAnyRequest) {
  struct Row {
    std::vector<uint8_t> payload;
    int32_t event;
    int32_t argument;
  } rows[] = {{{1}, SMDSP_EVENT_INVALID_PASSWORD, 1},
              {{2}, SMDSP_EVENT_INVALID_PASSWORD_2, 2},
              {{3}, SMDSP_EVENT_STATUS_3, 3},
              {{0}, SMDSP_EVENT_UNABLE, 0},
              {{}, SMDSP_EVENT_UNABLE, 0},
              {{7}, SMDSP_EVENT_UNABLE, 7}};
  for (uint8_t type : {mdsp::kTypeWink, mdsp::kTypeRestart, mdsp::kTypeMassRestart}) {
    for (const Row& row : rows) {
      SCOPED_TRACE("type " + std::to_string(type) + " status " +
                   (row.payload.empty() ? std::string("none") : std::to_string(row.payload[0])));
      EXPECT_FALSE(Deliver(type, row.payload, true));
      ExpectSingle(row.event, row.argument);
    }
  }
}

TEST_F(ReplyHandlingTest, ConfigureRepliesEndThePendingConfiguration) {
  uint32_t index = AddSecureModule(1);
  struct Row {
    std::vector<uint8_t> payload;
    bool status;
    int32_t event;
    int32_t argument;
  } rows[] = {{{31}, true, SMDSP_EVENT_HOSTNAME_TOO_LONG, 31},
              {{32}, true, SMDSP_EVENT_PASSWORD_TOO_LONG, 32},
              {{33}, true, SMDSP_EVENT_INVALID_CONFIGURATION, 33},
              {{7}, true, SMDSP_EVENT_INVALID_CONFIGURATION, 7},
              {{}, false, SMDSP_EVENT_CONFIGURED, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE("event " + std::to_string(row.event));
    StartPending(index);
    EXPECT_FALSE(Deliver(mdsp::kTypeConfigure, row.payload, row.status));
    ExpectSingle(row.event, row.argument);
    EXPECT_EQ(client->pending.list, nullptr);
  }
  // Status 1 is the generic "invalid password"; the configuration is kept.
  StartPending(index);
  EXPECT_FALSE(Deliver(mdsp::kTypeConfigure, {1}, true));
  ExpectSingle(SMDSP_EVENT_INVALID_PASSWORD, 1);
  EXPECT_NE(client->pending.list, nullptr);
}

TEST_F(ReplyHandlingTest, PlainRepliesOfWinkAndRestart) {
  EXPECT_FALSE(Deliver(mdsp::kTypeWink, {}, false));
  ExpectSingle(SMDSP_EVENT_WINKED, 0);
  EXPECT_FALSE(Deliver(mdsp::kTypeRestart, {}, false));
  ExpectSingle(SMDSP_EVENT_RESTARTED, 0);
  EXPECT_FALSE(Deliver(mdsp::kTypePing, {}, false));
  EXPECT_FALSE(Deliver(77, {1, 2}, false));
  EXPECT_TRUE(recorded().empty());
}

TEST_F(ReplyHandlingTest, EventContextIsTheCallbackContext) {
  int marker = 0;
  mdsp::g_callbackContext = &marker;
  EXPECT_FALSE(Deliver(mdsp::kTypeWink, {}, false));
  ASSERT_EQ(recorded().size(), 1u);
  EXPECT_EQ(recorded()[0].context, &marker);
}

class RestartWatchTest : public ReplyHandlingTest {
 protected:
  void AddRestart(uint32_t index) {
    ASSERT_TRUE(client->restarts.Append(new mdsp::RestartEntry{index, &credentials, -1.0}));
  }
  void OpenWindowThatHasPassed(int64_t restartedSecondsAgo, uint32_t window) {
    client->restartTime = clock.seconds() - restartedSecondsAgo;
    client->pingWindow = window;
  }
  SmdspCredentials credentials{"pw", nullptr, nullptr};
  // Fixed, so a window's end is read in the second the test set it up.
  ManualClock clock;
};

TEST_F(RestartWatchTest, PingReplyMarksTheNewestEntryOfThatModule) {
  uint32_t a = AddSecureModule(9);  // the replying module
  uint32_t b = AddSecureModule(4);
  AddRestart(a);
  AddRestart(b);
  AddRestart(a);
  client->restartTime = clock.seconds() - 3;
  EXPECT_FALSE(Deliver(mdsp::kTypePing, {0}, true, 9));
  EXPECT_TRUE(recorded().empty());  // consumed without an event
  EXPECT_EQ(client->restarts[0]->elapsed, -1.0);
  EXPECT_EQ(client->restarts[1]->elapsed, -1.0);
  EXPECT_GE(client->restarts[2]->elapsed, 3.0);
  EXPECT_LT(client->restarts[2]->elapsed, 60.0);
}

TEST_F(RestartWatchTest, UnmatchedPingReplyRaisesUnable) {
  AddRestart(AddSecureModule(4));
  EXPECT_FALSE(Deliver(mdsp::kTypePing, {6}, true, 9));
  ExpectSingle(SMDSP_EVENT_UNABLE, 6);
  EXPECT_EQ(client->restarts[0]->elapsed, -1.0);
}

TEST_F(RestartWatchTest, ReportWaitsForTheWindowThenEmptiesTheList) {
  uint32_t a = AddSecureModule(9);
  uint32_t b = AddSecureModule(4);
  AddRestart(a);
  AddRestart(b);
  client->restarts[0]->elapsed = 2.0;

  client->pingWindow = 0;
  client->restartTime = 0;
  mdsp::RestartReportCheck(*client);  // no window: nothing
  OpenWindowThatHasPassed(5, 5);
  mdsp::RestartReportCheck(*client);  // exactly the window: not yet
  EXPECT_TRUE(recorded().empty());

  OpenWindowThatHasPassed(6, 5);
  mdsp::RestartReportCheck(*client);
  ASSERT_EQ(recorded().size(), 1u);
  const RecordedEvent& e = recorded()[0];
  EXPECT_EQ(e.event, SMDSP_EVENT_RESTART_REPORT);
  EXPECT_EQ(e.index, 0);
  EXPECT_EQ(e.argument, 0);
  const uint8_t zero[6] = {};
  EXPECT_EQ(0, std::memcmp(e.mac.data(), zero, 6));
  auto* report = static_cast<SmdspRestartReport*>(e.context);
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(report[0].moduleIndex, a);
  EXPECT_EQ(report[0].elapsed, 2.0);
  EXPECT_EQ(report[1].moduleIndex, b);
  EXPECT_EQ(report[1].elapsed, -1.0);  // never answered
  EXPECT_EQ(client->restarts.count(), 0u);
  EXPECT_EQ(client->pingWindow, 0u);
  mdsp::RestartReportCheck(*client);
  EXPECT_EQ(recorded().size(), 1u);
}

TEST_F(RestartWatchTest, PingWithoutRestartsReportsAnEmptyArray) {
  EXPECT_EQ(SMDSP_SendPing(1), MDSP_RESULT_OK);
  EXPECT_EQ(client->pingWindow, 1u);
  client->restartTime = clock.seconds() - 2;
  mdsp::RestartReportCheck(*client);
  ASSERT_EQ(recorded().size(), 1u);
  EXPECT_NE(recorded()[0].context, nullptr);  // freeable even when empty
}

TEST_F(RestartWatchTest, ReportWithoutCallbackIsNotLeaked) {
  SMDSP_RegisterCallBack(nullptr);
  AddRestart(AddSecureModule(9));
  OpenWindowThatHasPassed(10, 1);
  mdsp::RestartReportCheck(*client);  // LeakSanitizer would see the array
  EXPECT_EQ(client->restarts.count(), 0u);
}

using RequestCheckTest = ModuleTableTest;

TEST_F(RequestCheckTest, NullCredentialsAreRefused) {
  uint32_t index = AddSecureModule(1);
  SmdspCredentials noPassword{nullptr, nullptr, nullptr};
  EXPECT_EQ(SMDSP_SendWink(index, 1, nullptr), MDSP_RESULT_FAILED);
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_BAD_VALUE);
  EXPECT_EQ(SMDSP_SendWink(index, 1, &noPassword), MDSP_RESULT_FAILED);
  EXPECT_EQ(SMDSP_SendRestart(index, 1, nullptr), MDSP_RESULT_FAILED);
  EXPECT_EQ(SMDSP_SendRestart(index, 1, &noPassword), MDSP_RESULT_FAILED);
  ASSERT_EQ(SMDSP_CreateConfigureRequest(index), MDSP_RESULT_OK);
  EXPECT_EQ(SMDSP_SendConfigure(nullptr), MDSP_RESULT_FAILED);
  EXPECT_EQ(SMDSP_SendConfigure(&noPassword), MDSP_RESULT_FAILED);
  EXPECT_EQ(client->restarts.count(), 0u);
  EXPECT_NE(client->pending.list, nullptr);
}

TEST_F(RequestCheckTest, BadIndexAndMissingConfiguration) {
  SmdspCredentials credentials{"pw", nullptr, nullptr};
  EXPECT_EQ(SMDSP_SendWink(0, 1, &credentials), MDSP_RESULT_BAD_INDEX);
  EXPECT_EQ(SMDSP_SendRestart(0, 1, &credentials), MDSP_RESULT_BAD_INDEX);
  EXPECT_EQ(client->restarts.count(), 0u);
  AddSecureModule(1);
  EXPECT_EQ(SMDSP_SendConfigure(&credentials), MDSP_RESULT_FAILED);
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_OUT_OF_RANGE);
}

TEST_F(RequestCheckTest, TextModulePasswordTooLongSendsNothing) {
  uint32_t index = AddTextModule(3);
  ASSERT_EQ(SMDSP_CreateConfigureRequest(index), MDSP_RESULT_OK);
  // Every send stamps the socket set's last use, so a stamp left alone means
  // nothing went out.
  const uint32_t untouched = mdsp::platform::TickMs() - 100000u;
  client->sockets->lastUseTick = untouched;
  std::string password(128, 'p');
  SmdspCredentials credentials{password.c_str(), nullptr, nullptr};
  EXPECT_EQ(SMDSP_SendConfigure(&credentials), MDSP_RESULT_TEXT_TOO_LONG);
  EXPECT_STREQ(client->pending.request.password, "");
  EXPECT_EQ(client->sockets->lastUseTick, untouched);
  // One character less goes out, and leaves the stamp.
  password.pop_back();
  credentials.password = password.c_str();
  EXPECT_EQ(SMDSP_SendConfigure(&credentials), MDSP_RESULT_OK);
  EXPECT_NE(client->sockets->lastUseTick, untouched);
}

}  // namespace
}  // namespace mdsp_test
