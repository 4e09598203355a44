// The bulk runner against a scripted library: one module at a time in the
// plan's order, each answer (accepted, wrong password, none) its own result,
// Cancel honoured between modules, and the read-back after one scan.
#include <gtest/gtest.h>

#include <cstring>

#include "bulk_runner.h"
#include "fake_library.h"

namespace pelmar_test {
namespace {

using pelmar::BulkState;

// How a scripted module answers a configure.
enum class Answer { Accept, AcceptKeepIp, WrongPassword, Silent };

struct Script {
  FakeLibrary* fake = nullptr;
  pelmar::HostEventQueue* events = nullptr;
  std::vector<Answer> answers;        // per table entry
  std::vector<uint32_t> plannedIp;    // what each accepting module takes
  int32_t pendingIndex = -1;
  std::vector<int> configured;        // table entries in the order they were sent
  std::function<void()> afterSend;    // e.g. a cancel pressed meanwhile
};
Script* g_script = nullptr;

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
  return s;
}

int32_t Discover(void*) {
  for (size_t i = 0; i < g_script->fake->table.size(); ++i) {
    pelmar::HostEvent e;
    e.event = SMDSP_EVENT_MODULE_FOUND;
    e.index = static_cast<int32_t>(i);
    std::memcpy(e.mac, g_script->fake->table[i].mac, 6);
    g_script->events->Push(e);
  }
  return MDSP_RESULT_OK;
}

int32_t (*g_create)(uint32_t) = nullptr;
int32_t Create(uint32_t index) {
  g_script->pendingIndex = static_cast<int32_t>(index);
  return g_create(index);
}

int32_t (*g_send)(const SmdspCredentials*) = nullptr;
int32_t Send(const SmdspCredentials* credentials) {
  const int32_t result = g_send(credentials);
  const size_t i = static_cast<size_t>(g_script->pendingIndex);
  g_script->configured.push_back(static_cast<int>(i));
  FakeEntry& entry = g_script->fake->table[i];
  pelmar::HostEvent e;
  std::memcpy(e.mac, entry.mac, 6);
  switch (g_script->answers[i]) {
    case Answer::Accept:
      entry.tags[SMDSP_TAG_IP] = Le32(g_script->plannedIp[i]);
      [[fallthrough]];
    case Answer::AcceptKeepIp:
      e.event = SMDSP_EVENT_CONFIGURED;
      g_script->events->Push(e);
      break;
    case Answer::WrongPassword:
      e.event = SMDSP_EVENT_INVALID_PASSWORD;
      g_script->events->Push(e);
      break;
    case Answer::Silent:
      break;
  }
  if (g_script->afterSend) g_script->afterSend();
  return result;
}

class BulkRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_script = &script_;
    script_.fake = &fake_;
    script_.events = &events_;
    api_ = fake_.api();
    api_.SMDSP_SendDiscover = Discover;
    g_create = api_.SMDSP_CreateConfigureRequest;
    api_.SMDSP_CreateConfigureRequest = Create;
    g_send = api_.SMDSP_SendConfigure;
    api_.SMDSP_SendConfigure = Send;
  }
  void TearDown() override { g_script = nullptr; }

  // A secure module 02-00-00-00-20-0n at 10.77.0.2n answering as told.
  void AddModule(uint8_t n, Answer answer) {
    FakeEntry entry;
    const uint8_t mac[6] = {0x02, 0, 0, 0, 0x20, n};
    std::memcpy(entry.mac, mac, 6);
    entry.tags[SMDSP_TAG_IP] = Le32(0x0A4D0014u + n);
    entry.tags[255] = std::string(1, '\1');
    entry.tags[2] = "SIM";
    fake_.table.push_back(entry);
    pelmar::BulkEntry e;
    std::memcpy(e.mac.data(), mac, 6);
    e.plan.ip = 0x0A4D0032u + n;  // 10.77.0.5n
    e.secure = true;
    entries_.push_back(e);
    script_.answers.push_back(answer);
    script_.plannedIp.push_back(*e.plan.ip);
  }

  std::vector<pelmar::BulkResult> Run(std::vector<bool> run = {}) {
    if (run.empty()) run.assign(entries_.size(), true);
    std::vector<pelmar::BulkResult> results;
    pelmar::BulkRunner runner(api_, events_, pelmar::BulkTimes{200, 50});
    runner.Run(entries_, run, [](size_t i) { return "pw" + std::to_string(i); }, results,
               [&](size_t i) { progress_.push_back(static_cast<int>(i)); }, cancel_);
    return results;
  }

  FakeLibrary fake_;
  pelmar::LibraryApi api_;
  pelmar::HostEventQueue events_;
  Script script_;
  std::vector<pelmar::BulkEntry> entries_;
  std::vector<int> progress_;
  std::atomic<bool> cancel_{false};
};

TEST_F(BulkRunnerTest, EachModuleGetsItsOwnResultInThePlansOrder) {
  AddModule(1, Answer::Accept);
  AddModule(2, Answer::WrongPassword);
  AddModule(3, Answer::Silent);
  AddModule(4, Answer::AcceptKeepIp);
  auto results = Run();
  EXPECT_EQ(script_.configured, (std::vector<int>{0, 1, 2, 3}));
  struct Expect {
    BulkState state;
    const char* text;
  } expect[] = {{BulkState::Confirmed, "confirmed"},
                {BulkState::WrongPassword, "wrong password"},
                {BulkState::NoAnswer, "no answer within 50 ms"},
                {BulkState::Differs, "differs: ip reads 10.77.0.24"}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(results[i].state, expect[i].state) << i;
    EXPECT_EQ(results[i].text, expect[i].text) << i;
  }
  // Each module's own password went with its request.
  std::vector<std::string> passwords;
  for (const Call& c : fake_.calls)
    if (c.name == "SendConfigure") passwords.push_back(c.bytes);
  EXPECT_EQ(passwords, (std::vector<std::string>{"pw0", "pw1", "pw2", "pw3"}));
}

TEST_F(BulkRunnerTest, CancelStopsAfterTheModuleInFlight) {
  AddModule(1, Answer::Accept);
  AddModule(2, Answer::Accept);
  AddModule(3, Answer::Accept);
  script_.afterSend = [&] { cancel_ = true; };  // pressed while the first is on its way
  auto results = Run();
  EXPECT_EQ(script_.configured, (std::vector<int>{0}));
  EXPECT_EQ(results[0].state, BulkState::Confirmed);  // the one in flight ends and is read back
  EXPECT_EQ(results[1].text, "not sent: cancelled");
  EXPECT_EQ(results[2].state, BulkState::Cancelled);
}

TEST_F(BulkRunnerTest, OnlyTheChosenModulesRunAndAMissingOneIsNamed) {
  AddModule(1, Answer::Accept);
  AddModule(2, Answer::Accept);
  AddModule(3, Answer::Accept);
  // Module 3 is not in the table any more.
  pelmar::BulkEntry gone = entries_[2];
  gone.mac[5] = 9;
  entries_[2] = gone;
  auto results = Run({false, true, true});
  EXPECT_EQ(script_.configured, (std::vector<int>{1}));
  EXPECT_EQ(results[0].state, BulkState::Planned);
  EXPECT_EQ(results[1].state, BulkState::Confirmed);
  EXPECT_EQ(results[2].text, "no answer to the discover");
}

}  // namespace
}  // namespace pelmar_test
