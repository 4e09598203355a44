// Notices and scan answers as the receive step hands them over: queue,
// module table, duplicate test and both callbacks.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "client.h"
#include "event_recorder.h"
#include "library_reset.h"
#include "secure/message.h"
#include "state/callbacks.h"
#include "text/text_protocol.h"

namespace mdsp_test {
namespace {


constexpr Mac kMac1 = {0x02, 0x00, 0x00, 0x12, 0x34, 0xAB};
constexpr Mac kZero = {};
int g_context;

class TextAnswers : public mdsp_test::FreshLibrary {
 protected:
  void SetUp() override {
    FreshLibrary::SetUp();
    ASSERT_TRUE(mdsp::EnsureClient());
    client_ = mdsp::TheClient();
    events_.Install();
    mdsp::g_callbackContext.store(&g_context);
  }
  bool Notice(const char* text) { return mdsp::HandleNotice(*client_, text); }
  void Answer(const char* text) { mdsp::HandleTextAnswer(*client_, text); }

  mdsp::Client* client_ = nullptr;
  mdsp_test::EventRecorder events_;
  // Read while nothing else raises events: the tests call the handlers.
  const std::vector<mdsp_test::RecordedEvent>& mdspEvents_ = events_.Mdsp();
  const std::vector<mdsp_test::RecordedEvent>& smdspEvents_ = events_.Smdsp();
};

TEST_F(TextAnswers, NoticesRaiseTheirEventsInBothCallbacks) {
  const struct {
    const char* text;
    int32_t mdsp;
    int32_t smdsp;
  } cases[] = {
      {"Reconfigured: 02-00-00-12-34-AB", 2, 2},
      {"Invalid Password: 02-00-00-12-34-AB", 3, 4},
      {"Invalid Configuration: 02-00-00-12-34-AB", 4, 33},
      {"reconfigured: 02-00-00-12-34-ab", 2, 2},  // lower case
  };
  for (const auto& c : cases) {
    events_.Clear();
    ASSERT_TRUE(Notice(c.text)) << c.text;
    ASSERT_EQ(mdspEvents_.size(), 1u) << c.text;
    EXPECT_EQ(mdspEvents_[0].event, c.mdsp);
    EXPECT_EQ(mdspEvents_[0].mac, kMac1);
    ASSERT_EQ(smdspEvents_.size(), 1u);
    EXPECT_EQ(smdspEvents_[0].event, c.smdsp);
    EXPECT_EQ(smdspEvents_[0].index, 0);
    EXPECT_EQ(smdspEvents_[0].mac, kMac1);
    EXPECT_EQ(smdspEvents_[0].argument, 0);
    EXPECT_EQ(smdspEvents_[0].context, &g_context);
  }
}

TEST_F(TextAnswers, NoticeMacBytesNotReadStayZero) {
  ASSERT_TRUE(Notice("Reconfigured:02-00-00"));
  ASSERT_EQ(mdspEvents_.size(), 1u);
  EXPECT_EQ(mdspEvents_[0].mac, (Mac{0x02, 0, 0, 0, 0, 0}));
}

TEST_F(TextAnswers, RequestsComingBackAreDroppedWithoutEvents) {
  char wink[mdsp::kWinkTextCapacity];
  mdsp::FormatWinkText(kMac1.data(), wink);
  const char* dropped[] = {"MODULE SCAN", "Configure: 02-00-00-12-34-AB;HN =;", wink,
                           "To: 0a-0b-0c-0d-0e-0f;WINK;"};  // another host's wink
  for (const char* text : dropped) EXPECT_TRUE(Notice(text)) << text;
  EXPECT_TRUE(mdspEvents_.empty());
  EXPECT_TRUE(smdspEvents_.empty());
  EXPECT_FALSE(Notice("protocol version = 1.0;mac = 02-00-00-12-34-AB;"));
  EXPECT_EQ(client_->responses.count(), 0u);
}

TEST_F(TextAnswers, AnswerIsQueuedEnteredAndAnnounced) {
  Answer("protocol version = 1.0;fb type = IO;mac = 02-00-00-12-34-ab;ip = 192.168.0.10;");
  ASSERT_EQ(client_->responses.count(), 1u);
  ASSERT_EQ(client_->modules.count(), 1u);
  EXPECT_TRUE(client_->modules[0]->IsTextModule());
  Mac entryMac;
  client_->modules[0]->GetMac(entryMac.data());
  EXPECT_EQ(entryMac, kMac1);
  ASSERT_EQ(smdspEvents_.size(), 1u);
  EXPECT_EQ(smdspEvents_[0].event, 1);
  EXPECT_EQ(smdspEvents_[0].index, 0);
  EXPECT_EQ(smdspEvents_[0].mac, kMac1);
  EXPECT_EQ(smdspEvents_[0].context, &g_context);
  ASSERT_EQ(mdspEvents_.size(), 1u);
  EXPECT_EQ(mdspEvents_[0].event, 1);
  EXPECT_EQ(mdspEvents_[0].mac, kMac1);

  Answer("mac = 02-00-00-00-00-02;");
  ASSERT_EQ(smdspEvents_.size(), 2u);
  EXPECT_EQ(smdspEvents_[1].index, 1);
}

TEST_F(TextAnswers, SecondAnswerFromTheSameMacIsDropped) {
  Answer("mac = 02-00-00-12-34-AB;hn = first;");
  Answer("mac = 02-00-00-00-00-02;");
  Answer("MAC = 2-0-0-12-34-ab;hn = second;");
  EXPECT_EQ(client_->responses.count(), 2u);
  EXPECT_EQ(client_->modules.count(), 2u);
  EXPECT_EQ(mdspEvents_.size(), 2u);
  EXPECT_EQ(smdspEvents_.size(), 2u);
  EXPECT_STREQ(client_->responses[0]->hostName, "first");

  // Once drained by MDSP_GetResponse the record no longer counts.
  MdspResponse out;
  ASSERT_EQ(MDSP_GetResponse(&out), 1);
  ASSERT_EQ(MDSP_GetResponse(&out), 1);
  Answer("mac = 02-00-00-12-34-AB;");
  EXPECT_EQ(client_->modules.count(), 3u);
}

TEST_F(TextAnswers, AnswerWithoutMacIsKeptAndAnnouncedWithZeroMac) {
  Answer("fb type = IO;ip = 10.0.0.1;");
  Answer("fb type = IO;ip = 10.0.0.2;");  // no duplicate test without a MAC
  EXPECT_EQ(client_->responses.count(), 2u);
  EXPECT_EQ(client_->modules.count(), 2u);
  ASSERT_EQ(mdspEvents_.size(), 2u);
  EXPECT_EQ(mdspEvents_[0].mac, kZero);
  ASSERT_EQ(smdspEvents_.size(), 2u);
  EXPECT_EQ(smdspEvents_[0].mac, kZero);
}

TEST_F(TextAnswers, UnsupportedAnswerIsQueuedButGetsNoEntry) {
  Answer("mac = 02-00-00-12-34-AB;Unsupported");
  EXPECT_EQ(client_->responses.count(), 1u);
  EXPECT_EQ(client_->modules.count(), 0u);
  EXPECT_TRUE(smdspEvents_.empty());
  ASSERT_EQ(mdspEvents_.size(), 1u);
  EXPECT_EQ(mdspEvents_[0].mac, kMac1);
}

TEST_F(TextAnswers, WithoutCallbacksAnswersAreStillQueued) {
  EXPECT_EQ(MDSP_RegisterCallBack(nullptr), nullptr);
  EXPECT_EQ(SMDSP_RegisterCallBack(nullptr), nullptr);
  Answer("mac = 02-00-00-12-34-AB;");
  Notice("Reconfigured: 02-00-00-12-34-AB");
  EXPECT_EQ(client_->responses.count(), 1u);
  EXPECT_EQ(client_->modules.count(), 1u);
  EXPECT_TRUE(mdspEvents_.empty());
}

}  // namespace
}  // namespace mdsp_test

namespace mdsp_test {
namespace {

// A callback may call back into the library on the worker thread: one that
// drains the queue or starts a new scan frees the record being handled.
int32_t DrainOnFound(int32_t event, int32_t, uint8_t*, int32_t, void*) {
  if (event == SMDSP_EVENT_MODULE_FOUND) {
    MdspResponse out;
    while (MDSP_GetResponse(&out) == 1) {
    }
    std::lock_guard<std::recursive_mutex> guard(mdsp::TheClient()->queueLock);
    mdsp::ClearModuleLists(*mdsp::TheClient());
  }
  return 0;
}

TEST_F(TextAnswers, CallbackThatEmptiesTheListsDoesNotPullTheAnswerAway) {
  mdsp::g_smdspCallback.store(DrainOnFound);
  mdsp::HandleTextAnswer(*client_, "mac = 02-00-00-12-34-ab;ip = 10.0.0.7;");
  // The text callback still got the MAC, read before the record went.
  ASSERT_EQ(mdspEvents_.size(), 1u);
  EXPECT_EQ(mdspEvents_[0].mac, kMac1);
  EXPECT_EQ(client_->responses.count(), 0u);
  EXPECT_EQ(client_->modules.count(), 0u);
}

}  // namespace
}  // namespace mdsp_test
