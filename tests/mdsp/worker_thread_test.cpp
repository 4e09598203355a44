// Start, stop and restart of the worker thread.
#include <gtest/gtest.h>

#include <atomic>

#include "base/errors.h"
#include "base/log.h"
#include "base/worker_thread.h"
#include "client.h"
#include "library_reset.h"
#include "lifecycle.h"
#include "mdsp.h"
#include "platform/clock.h"

namespace mdsp_test {
namespace {

using namespace mdsp;
using WorkerThread = mdsp_test::FreshLibrary;

bool WaitForState(const KWF_Thread& thread, KWF_Thread::State state) {
  for (int i = 0; i < 5000; ++i) {
    if (thread.state() == state) return true;
    platform::SleepMs(1);
  }
  return false;
}

TEST(KwfThread, BareThreadRunsOnePassAndCanBeRestarted) {
  KWF_Thread thread;
  EXPECT_EQ(thread.state(), KWF_Thread::kIdle);
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(WaitForState(thread, KWF_Thread::kFinished));
  EXPECT_EQ(thread.errorCode(), 0);
  // Finished: a new start is allowed.
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(WaitForState(thread, KWF_Thread::kFinished));
  thread.Stop(true);
}

class FailingStep : public KWF_Thread {
 public:
  bool Step() override {
    ++steps;
    ReportError(ERR_SOCKET);
    return false;
  }
  void OnStop(bool success) override { stoppedWithSuccess = success ? 1 : 0; }
  std::atomic<int> steps{0};
  std::atomic<int> stoppedWithSuccess{-1};
};

TEST(KwfThread, FailingStepEndsTheThreadWithTheRecordedError) {
  FailingStep thread;
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(WaitForState(thread, KWF_Thread::kFinished));
  thread.Stop(true);
  EXPECT_EQ(thread.steps.load(), 1);
  EXPECT_EQ(thread.errorCode(), ERR_SOCKET);
  EXPECT_EQ(thread.stoppedWithSuccess.load(), 0);
}

class RefusingStart : public KWF_Thread {
 public:
  bool OnStart() override {
    ReportError(ERR_SYSTEM);
    return false;
  }
  bool Step() override {
    stepped = true;
    return true;
  }
  std::atomic<bool> stepped{false};
};

TEST(KwfThread, FailedStartNeverSteps) {
  RefusingStart thread;
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(WaitForState(thread, KWF_Thread::kFinished));
  thread.Stop(true);
  EXPECT_FALSE(thread.stepped.load());
  EXPECT_EQ(thread.errorCode(), ERR_SYSTEM);
}

class SelfStopping : public KWF_Thread {
 public:
  bool Step() override {
    ++steps;
    Stop(true);  // as a callback calling MDSP_Stop on the worker would
    return true;
  }
  std::atomic<int> steps{0};
};

TEST(KwfThread, StopFromTheWorkerItselfEndsItAndKeepsTheHandle) {
  SelfStopping thread;
  thread.setStepIntervalMs(1);
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(WaitForState(thread, KWF_Thread::kFinished));
  EXPECT_EQ(thread.steps.load(), 1);
  // The handle was kept: a new start joins the old thread first.
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(WaitForState(thread, KWF_Thread::kFinished));
  thread.Stop(true);
  EXPECT_EQ(thread.steps.load(), 2);
}

TEST_F(WorkerThread, StopRightAfterStartAlwaysEnds) {
  // Start returns once the worker runs, so an immediate stop must reach it;
  // a lost stop request would hang here (the test's time-out catches it).
  for (int round = 0; round < 2000; ++round) {
    ASSERT_EQ(MDSP_Start(), 1);
    ASSERT_EQ(TheClient()->state(), KWF_Thread::kRunning);
    ASSERT_EQ(MDSP_Stop(), 1);
    ASSERT_EQ(TheClient()->state(), KWF_Thread::kFinished);
  }
}

TEST_F(WorkerThread, StartWhileRunningFailsAndRestartKeepsTheTables) {
  ASSERT_EQ(MDSP_Start(), 1);
  Client& client = *TheClient();
  EXPECT_EQ(client.state(), KWF_Thread::kRunning);
  EXPECT_EQ(client.stepIntervalMs(), 1u);

  RecordError(ERR_NONE);
  EXPECT_EQ(MDSP_Start(), 0);
  EXPECT_EQ(LastErrorCode(), ERR_SYSTEM);

  {
    std::lock_guard<std::recursive_mutex> guard(client.queueLock);
    client.responses.Append(new MdspResponse{});
    client.responses.Append(new MdspResponse{});
  }
  EXPECT_EQ(MDSP_Stop(), 1);
  EXPECT_EQ(client.state(), KWF_Thread::kFinished);

  ASSERT_EQ(MDSP_Start(), 1);
  EXPECT_EQ(TheClient(), &client);
  EXPECT_EQ(client.responses.count(), 2u);
  EXPECT_EQ(MDSP_Stop(), 1);
  EXPECT_EQ(MDSP_Stop(), 1);  // stopping twice is harmless
}

TEST_F(WorkerThread, UnloadStopsARunningWorkerBeforeFreeingTheClient) {
  ASSERT_EQ(MDSP_Start(), 1);
  // No explicit stop: unloading must join the worker first (a sanitizer
  // build reports any use after free here).
  LibraryUnload();
  EXPECT_EQ(TheClient(), nullptr);
  LibraryLoad();
}

}  // namespace
}  // namespace mdsp_test
