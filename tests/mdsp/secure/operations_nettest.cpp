// The secure operations and their events against the module simulator, on
// a veth pair between two throwaway namespaces: the library in one, the
// simulated modules in the other.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "base/errors.h"
#include "client.h"
#include "event_recorder.h"
#include "library_on_the_wire.h"
#include "mdsp.h"
#include "netns.h"

namespace mdsp_test {
namespace {


std::string MacText(const uint8_t mac[6]) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2],
                mac[3], mac[4], mac[5]);
  return text;
}

class SecureOperations : public mdsp_test::LibraryOnTheWire {
 protected:
  // Starts the simulator with these modules and the library beside it.
  bool Start(const std::string& modulesJson) {
    if (!ready_) return false;
    simLog_ = net_.StartSimulator(MDSP_SIM_PATH, "{\"modules\": [" + modulesJson + "]}");
    return !simLog_.empty() && StartLibrary();
  }

  bool StartLibrary() {
    int32_t count = 0;
    events_.Install();
    return MDSP_GetNumberOfNics(&count) == 0 &&
           MDSP_SetNetworkDevice(0, "10.77.0.1") == 1 &&
           MDSP_Start() == 1;
  }

  // One more simulator on the peer's wire, named `name`, whose modules hand
  // out every seed `seedDelayMs` late; its log path, or "" on failure.
  std::string StartSeedDelayedSimulator(const std::string& name, const std::string& modulesJson,
                                        int seedDelayMs) {
    if (!ready_) return "";
    const std::string config = lab_.tempDir() + "/" + name + ".json";
    const std::string log = lab_.tempDir() + "/" + name + ".log";
    std::ofstream(config) << "{\"modules\": [" + modulesJson + "]}";
    if (lab_.Spawn(peer_, {MDSP_SIM_PATH, "--iface", "p0", "--config", config, "--seed-delay",
                           std::to_string(seedDelayMs)},
                   log) < 0)
      return "";
    bool ready = net_test::WaitFor(
        [&] { return net_test::ReadFile(log).find("ready ") != std::string::npos; }, 10000);
    return ready ? log : "";
  }

  // Sends a text wink for a module nobody plays and waits until the
  // simulator has logged it. It leaves after anything the library sent
  // before, on the same socket and wire, so whatever the simulator has not
  // logged by then was never sent.
  bool LibraryDatagramsLogged() {
    const uint8_t nobody[6] = {0x02, 0x00, 0x00, 0x00, 0x99, 0x99};
    if (MDSP_SendWink(nobody) != 1) return false;
    return net_test::WaitFor([&] {
      for (const std::string& text : net_test::SimTextReceived(simLog_))
        if (text == "To: 02-00-00-00-99-99;WINK;") return true;
      return false;
    });
  }

  // Discovers and waits until the library has read `expected` answers (each
  // module answers once for each protocol it speaks); any surplus entry
  // would have been listed by then.
  size_t Discover(size_t expected) {
    events_.Clear();
    size_t sentBefore = SimulatorSent(simLog_);
    EXPECT_EQ(SMDSP_SendDiscover(nullptr), 0);
    EXPECT_TRUE(SimulatorAnswersRead(simLog_, sentBefore, expected, [&] {
      return events_.Count(SMDSP_EVENT_MODULE_FOUND) >= static_cast<size_t>(expected);
    }));
    return events_.Count(SMDSP_EVENT_MODULE_FOUND);
  }

  // The first event other than "module found" after the discover.
  bool NextAnswer(RecordedEvent& out, int timeoutMs = 5000) {
    return events_.WaitForSmdsp(
        [](const RecordedEvent& e) { return e.event != SMDSP_EVENT_MODULE_FOUND; }, &out,
        timeoutMs);
  }
  void ForgetAnswers() {
    events_.KeepSmdsp([](const RecordedEvent& e) { return e.event == SMDSP_EVENT_MODULE_FOUND; });
  }

  // Index of the entry with that MAC and kind; -1 when none.
  int32_t IndexOf(const std::string& mac, bool secure) {
    int32_t count = static_cast<int32_t>(mdsp::TheClient()->modules.count());
    for (int32_t i = 0; i < count; ++i) {
      uint8_t m[6];
      uint8_t marker = 0;
      if (SMDSP_GetModuleMac(static_cast<uint32_t>(i), m) != 0 || MacText(m) != mac) continue;
      bool isSecure = SMDSP_GetPayloadData(SMDSP_TAG_SECURE_MODULE, static_cast<uint32_t>(i), &marker, 1) == 0;
      if (isSecure == secure) return i;
    }
    return -1;
  }

  int32_t ConfigureHostName(const std::string& mac, const char* password, const char* name) {
    int32_t index = IndexOf(mac, true);
    EXPECT_GE(index, 0) << mac;
    EXPECT_EQ(SMDSP_CreateConfigureRequest(static_cast<uint32_t>(index)), 0);
    EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, name), 0);
    SmdspCredentials credentials{password, nullptr, nullptr};
    return SMDSP_SendConfigure(&credentials);
  }

  mdsp_test::EventRecorder events_;
  std::string simLog_;
};

#define START(json)    \
  NETNS_REQUIRE(lab_); \
  ASSERT_TRUE(Start(json)) << lab_.error() << net_test::ReadFile(simLog_)

const char kSecureA[] =
    R"({"mac": "02-00-00-00-20-01", "protocol": "secure", "password": "secret",
        "hostname": "valve-2"})";

TEST_F(SecureOperations, DiscoverListsTextAndSecureModulesTogether) {
  START(std::string(R"({"mac": "02-00-00-00-10-01", "protocol": "text"},
                       {"mac": "02-00-00-00-30-01", "protocol": "both"},)") + kSecureA);
  EXPECT_EQ(Discover(4), 4u);
  EXPECT_GE(IndexOf("02-00-00-00-10-01", false), 0);
  EXPECT_EQ(IndexOf("02-00-00-00-10-01", true), -1);
  EXPECT_GE(IndexOf("02-00-00-00-20-01", true), 0);
  // A module that answers both ways is listed twice.
  EXPECT_GE(IndexOf("02-00-00-00-30-01", false), 0);
  EXPECT_GE(IndexOf("02-00-00-00-30-01", true), 0);
  char text[64];
  ASSERT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_HOST_NAME, IndexOf("02-00-00-00-20-01", true), text, sizeof text), 0);
  EXPECT_STREQ(text, "valve-2");
  // The next discover empties the table before any reply. Holding the socket
  // lock keeps the worker from listing the fresh replies in between.
  {
    std::lock_guard<mdsp::SocketLock> hold(mdsp::TheClient()->socketLock);
    ASSERT_EQ(SMDSP_SendDiscover(nullptr), 0);
    EXPECT_EQ(SMDSP_GetModuleMac(3, reinterpret_cast<uint8_t*>(text)), MDSP_RESULT_BAD_INDEX);
  }
}

TEST_F(SecureOperations, ConfigurePassesAuthenticationAndEndsThePendingRequest) {
  START(kSecureA);
  ASSERT_EQ(Discover(1), 1u);
  ASSERT_EQ(ConfigureHostName("02-00-00-00-20-01", "secret", "renamed"), 0);
  RecordedEvent answer{};
  ASSERT_TRUE(NextAnswer(answer));
  EXPECT_EQ(answer.event, SMDSP_EVENT_CONFIGURED);
  EXPECT_EQ(MacText(answer.mac.data()), "02-00-00-00-20-01");
  {
    std::lock_guard<std::recursive_mutex> guard(mdsp::TheClient()->queueLock);
    EXPECT_EQ(mdsp::TheClient()->pending.list, nullptr);
  }
  ASSERT_EQ(Discover(1), 1u);
  char text[64];
  ASSERT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_HOST_NAME, 0, text, sizeof text), 0);
  EXPECT_STREQ(text, "renamed");
}

TEST_F(SecureOperations, WrongPasswordRaisesInvalidPassword) {
  START(kSecureA);
  ASSERT_EQ(Discover(1), 1u);
  ASSERT_EQ(ConfigureHostName("02-00-00-00-20-01", "guess", "renamed"), 0);
  RecordedEvent answer{};
  ASSERT_TRUE(NextAnswer(answer));
  EXPECT_EQ(answer.event, SMDSP_EVENT_INVALID_PASSWORD);
  EXPECT_EQ(answer.argument, 1);
}

TEST_F(SecureOperations, ConfigureStatusesBecomeTheirEvents) {
  START(R"({"mac": "02-00-00-00-40-1f", "protocol": "secure", "faults": {"configure_status": 31}},
           {"mac": "02-00-00-00-40-20", "protocol": "secure", "faults": {"configure_status": 32}},
           {"mac": "02-00-00-00-40-21", "protocol": "secure", "faults": {"configure_status": 33}},
           {"mac": "02-00-00-00-40-07", "protocol": "secure", "faults": {"configure_status": 7}},
           {"mac": "02-00-00-00-40-02", "protocol": "secure", "faults": {"configure_status": 2}},
           {"mac": "02-00-00-00-40-03", "protocol": "secure", "faults": {"configure_status": 3}},
           {"mac": "02-00-00-00-40-00", "protocol": "secure", "faults": {"configure_status": 0}})");
  ASSERT_EQ(Discover(7), 7u);
  // Statuses 0 to 3 are answered before the reply counts as a Configure
  // reply, so the pending configuration outlives them.
  const struct {
    const char* mac;
    int32_t event;
    int32_t argument;
    bool pendingKept;
  } rows[] = {{"02-00-00-00-40-1F", 31, 31, false},
              {"02-00-00-00-40-20", 32, 32, false},
              {"02-00-00-00-40-21", 33, 33, false},
              {"02-00-00-00-40-07", 33, 7, false},
              {"02-00-00-00-40-02", 5, 2, true},
              {"02-00-00-00-40-03", 6, 3, true},
              {"02-00-00-00-40-00", 3, 0, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.mac);
    ForgetAnswers();
    ASSERT_EQ(ConfigureHostName(row.mac, "", "x"), 0);
    RecordedEvent answer{};
    ASSERT_TRUE(NextAnswer(answer));
    EXPECT_EQ(answer.event, row.event);
    EXPECT_EQ(answer.argument, row.argument);
    EXPECT_EQ(MacText(answer.mac.data()), row.mac);
    std::lock_guard<std::recursive_mutex> guard(mdsp::TheClient()->queueLock);
    EXPECT_EQ(mdsp::TheClient()->pending.list != nullptr, row.pendingKept);
  }
}

TEST_F(SecureOperations, WinkOfBothKinds) {
  START(std::string(R"({"mac": "02-00-00-00-10-01", "protocol": "text"},)") + kSecureA);
  ASSERT_EQ(Discover(2), 2u);
  SmdspCredentials credentials{"secret", nullptr, nullptr};
  ASSERT_EQ(SMDSP_SendWink(IndexOf("02-00-00-00-20-01", true), 1, &credentials), 0);
  RecordedEvent answer{};
  ASSERT_TRUE(NextAnswer(answer));
  EXPECT_EQ(answer.event, SMDSP_EVENT_WINKED);
  // A text-protocol entry is winked by text: the module logs the wink, and
  // no Authentication reaches it.
  ASSERT_EQ(SMDSP_SendWink(IndexOf("02-00-00-00-10-01", false), 1, &credentials), 0);
  EXPECT_TRUE(net_test::WaitFor([&] {
    return net_test::ReadFile(simLog_).find("event 02-00-00-00-10-01 wink") != std::string::npos;
  }));
  EXPECT_EQ(net_test::ReadFile(simLog_).find("event 02-00-00-00-10-01 authentication"),
            std::string::npos);
}

TEST_F(SecureOperations, SeedZeroStillCarriesTheAuthenticationBlock) {
  // A module may hand out the seed 0: the request must still carry seed and
  // digest, so that it agrees with its own length field.
  START(R"({"mac": "02-00-00-00-20-04", "protocol": "secure", "password": "secret",
            "faults": {"auth_seed": "00000000"}})");
  ASSERT_EQ(Discover(1), 1u);
  SmdspCredentials credentials{"secret", nullptr, nullptr};
  ASSERT_EQ(SMDSP_SendWink(0, 1, &credentials), 0);
  RecordedEvent answer{};
  ASSERT_TRUE(NextAnswer(answer));
  EXPECT_EQ(answer.event, SMDSP_EVENT_WINKED);
  EXPECT_EQ(net_test::ReadFile(simLog_).find("drop secure"), std::string::npos);
}

TEST_F(SecureOperations, SilentModuleFailsTheRequestAfterTheWait) {
  START(R"({"mac": "02-00-00-00-20-02", "protocol": "secure",
            "faults": {"ignore": ["authentication"]}})");
  ASSERT_EQ(Discover(1), 1u);
  SmdspCredentials credentials{"", nullptr, nullptr};
  EXPECT_EQ(SMDSP_SendWink(0, 1, &credentials), MDSP_RESULT_FAILED);
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_SYSTEM);
  ASSERT_TRUE(LibraryDatagramsLogged());
  EXPECT_EQ(net_test::SimSecureRequests(simLog_, 3).size(), 0u);  // no Wink left
}

TEST_F(SecureOperations, RefusedAuthenticationRaisesUnableAndFailsAfterTheWait) {
  START(R"({"mac": "02-00-00-00-20-04", "protocol": "secure", "password": "secret",
            "faults": {"authentication_status": 2}})");
  ASSERT_EQ(Discover(1), 1u);
  SmdspCredentials credentials{"secret", nullptr, nullptr};
  // The refusal does not release the wait for a seed.
  EXPECT_EQ(SMDSP_SendWink(0, 1, &credentials), MDSP_RESULT_FAILED);
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_SYSTEM);
  RecordedEvent answer{};
  ASSERT_TRUE(NextAnswer(answer));
  // Not "invalid password": a status reply to Authentication is always event 3.
  EXPECT_EQ(answer.event, SMDSP_EVENT_UNABLE);
  EXPECT_EQ(answer.argument, 2);
  EXPECT_EQ(MacText(answer.mac.data()), "02-00-00-00-20-04");
  EXPECT_NE(net_test::ReadFile(simLog_).find("event 02-00-00-00-20-04 authentication refused"),
            std::string::npos);
  ASSERT_TRUE(LibraryDatagramsLogged());
  EXPECT_EQ(net_test::SimSecureRequests(simLog_, 3).size(), 0u);  // no Wink left
}

// Module A hands out its seed only after the library gave up waiting for
// it; the user then configures module B with B's right password. A's seed
// must not sign B's request (B would refuse it as a wrong password): B's
// request waits for B's own seed and is accepted.
struct LateSeedCase {
  const char* what;
  int seedDelayA;
  int seedDelayB;
  bool lateSeedReadFirst;  // else it arrives while B's request waits
};

void PrintTo(const LateSeedCase& c, std::ostream* os) { *os << c.what; }

class LateSeed : public SecureOperations,
                 public ::testing::WithParamInterface<LateSeedCase> {};

TEST_P(LateSeed, OfAnotherModuleIsDroppedAndTheNextRequestIsAccepted) {
  const LateSeedCase& row = GetParam();
  NETNS_REQUIRE(lab_);
  ASSERT_TRUE(ready_) << lab_.error();
  const std::string logA = StartSeedDelayedSimulator(
      "module-a", R"({"mac": "02-00-00-00-50-0a", "protocol": "secure", "password": "alpha"})",
      row.seedDelayA);
  simLog_ = StartSeedDelayedSimulator(
      "module-b", R"({"mac": "02-00-00-00-50-0b", "protocol": "secure", "password": "bravo"})",
      row.seedDelayB);
  ASSERT_FALSE(logA.empty());
  ASSERT_FALSE(simLog_.empty());
  ASSERT_TRUE(StartLibrary());
  ASSERT_EQ(SMDSP_SendDiscover(nullptr), 0);
  ASSERT_TRUE(events_.WaitForCount(SMDSP_EVENT_MODULE_FOUND, 2, 10000));

  size_t sentByA = SimulatorSent(logA);
  EXPECT_EQ(ConfigureHostName("02-00-00-00-50-0A", "alpha", "late"), MDSP_RESULT_FAILED);
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_SYSTEM);
  // Both cases fail without the check: a seed read between the requests
  // releases B's wait at once, one read during it releases it early.
  if (row.lateSeedReadFirst) {
    ASSERT_TRUE(SimulatorAnswersRead(logA, sentByA, 1));
  }

  ForgetAnswers();
  ASSERT_EQ(ConfigureHostName("02-00-00-00-50-0B", "bravo", "renamed"), 0);
  RecordedEvent answer{};
  ASSERT_TRUE(NextAnswer(answer));
  EXPECT_EQ(answer.event, SMDSP_EVENT_CONFIGURED) << "argument " << answer.argument;
  EXPECT_EQ(MacText(answer.mac.data()), "02-00-00-00-50-0B");
  EXPECT_EQ(net_test::ReadFile(simLog_).find("bad-digest"), std::string::npos);
  // A's late seed had left before B answered: the case did happen.
  EXPECT_GT(SimulatorSent(logA), sentByA);
}

// B's seed comes late too, so that B's request could only go out at once
// with A's seed. The margins (300 ms and more) leave room for a loaded
// machine; the wait for a seed is 1000 ms.
INSTANTIATE_TEST_SUITE_P(
    SecureOperations, LateSeed,
    ::testing::Values(LateSeedCase{"BetweenTheRequests", 1500, 300, true},
                      LateSeedCase{"DuringTheNextWait", 1400, 500, false}),
    [](const ::testing::TestParamInfo<LateSeedCase>& info) { return info.param.what; });

TEST_F(SecureOperations, RestartAndPingReportEveryRestartedModule) {
  START(std::string(kSecureA) + R"(,
        {"mac": "02-00-00-00-20-03", "protocol": "secure", "faults": {"ignore": ["ping"]}})");
  ASSERT_EQ(Discover(2), 2u);
  int32_t answering = IndexOf("02-00-00-00-20-01", true);
  int32_t mute = IndexOf("02-00-00-00-20-03", true);
  SmdspCredentials a{"secret", nullptr, nullptr}, b{"", nullptr, nullptr};
  ASSERT_EQ(SMDSP_SendRestart(static_cast<uint32_t>(answering), 1, &a), 0);
  ASSERT_TRUE(events_.WaitForCount(SMDSP_EVENT_RESTARTED, 1, 5000));
  ASSERT_EQ(SMDSP_SendRestart(static_cast<uint32_t>(mute), 1, &b), 0);
  ASSERT_TRUE(events_.WaitForCount(SMDSP_EVENT_RESTARTED, 2, 5000));
  events_.SetReportElements(2);
  // A window long enough for the answering module's ping round trip even on
  // a loaded machine (the window counts whole seconds).
  ASSERT_EQ(SMDSP_SendPing(4), 0);
  ASSERT_TRUE(events_.WaitForCount(SMDSP_EVENT_RESTART_REPORT, 1, 15000));
  RecordedEvent copy{};
  for (const RecordedEvent& e : events_.SmdspSnapshot())
    if (e.event == SMDSP_EVENT_RESTART_REPORT) copy = e;
  const RecordedEvent* report = &copy;
  EXPECT_EQ(report->index, 0);
  EXPECT_EQ(MacText(report->mac.data()), "00-00-00-00-00-00");
  ASSERT_EQ(report->report.size(), 2u);
  EXPECT_EQ(report->report[0].moduleIndex, static_cast<uint32_t>(answering));
  EXPECT_GE(report->report[0].elapsed, 0.0);
  EXPECT_EQ(report->report[1].moduleIndex, static_cast<uint32_t>(mute));
  EXPECT_EQ(report->report[1].elapsed, -1.0);
  // The list is emptied right after the callback returns.
  EXPECT_TRUE(net_test::WaitFor([] {
    std::lock_guard<std::recursive_mutex> queue(mdsp::TheClient()->queueLock);
    return mdsp::TheClient()->restarts.count() == 0 && mdsp::TheClient()->pingWindow == 0;
  }));
}

TEST_F(SecureOperations, PingWithoutRestartsSendsNothingAndReportsNoElements) {
  START(kSecureA);
  // The discover leaves the restart list empty.
  ASSERT_EQ(Discover(1), 1u);
  size_t before = net_test::SimDatagramsHex(net_test::ReadFile(simLog_), "rx").size();
  ASSERT_GT(before, 0u);
  events_.SetReportElements(0);
  ASSERT_EQ(SMDSP_SendPing(1), 0);
  ASSERT_TRUE(events_.WaitForCount(SMDSP_EVENT_RESTART_REPORT, 1, 15000));
  RecordedEvent report{};
  ASSERT_TRUE(NextAnswer(report));
  EXPECT_EQ(report.event, SMDSP_EVENT_RESTART_REPORT);
  EXPECT_EQ(report.index, 0);
  EXPECT_EQ(report.argument, 0);
  EXPECT_EQ(MacText(report.mac.data()), "00-00-00-00-00-00");
  EXPECT_TRUE(report.report.empty());
  // A mass restart sent now reaches the simulator behind anything the ping
  // sent: once it is logged, it must be the only datagram since the discover.
  ASSERT_EQ(SMDSP_SendMassRestart(), 0);
  ASSERT_TRUE(net_test::WaitFor([&] {
    return net_test::ReadFile(simLog_).find("mass-restart") != std::string::npos;
  }));
  EXPECT_EQ(net_test::SimDatagramsHex(net_test::ReadFile(simLog_), "rx").size(), before + 1);
  EXPECT_EQ(events_.Count(SMDSP_EVENT_RESTART_REPORT), 1u);
  std::lock_guard<std::recursive_mutex> guard(mdsp::TheClient()->queueLock);
  EXPECT_EQ(mdsp::TheClient()->pingWindow, 0u);
}

TEST_F(SecureOperations, MassRestartRecordsNoRestartEntries) {
  START(kSecureA);
  ASSERT_EQ(Discover(1), 1u);
  ASSERT_EQ(SMDSP_SendMassRestart(), 0);
  EXPECT_TRUE(net_test::WaitFor([&] {
    return net_test::ReadFile(simLog_).find("mass-restart") != std::string::npos;
  }));
  std::lock_guard<std::recursive_mutex> guard(mdsp::TheClient()->queueLock);
  EXPECT_EQ(mdsp::TheClient()->restarts.count(), 0u);
  EXPECT_EQ(mdsp::TheClient()->pingWindow, 0u);
}

}  // namespace
}  // namespace mdsp_test
