// The frame every export follows: not started, result codes, null pointers,
// the response queue and callback registration.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "base/errors.h"
#include "client.h"
#include "library_reset.h"
#include "log_capture.h"
#include "mdsp.h"

namespace mdsp_test {
namespace {

using namespace mdsp;

using ExportFrame = FreshLibrary;

TEST_F(ExportFrame, EveryExportNeedingTheClientReportsNotStarted) {
  auto* log = mdsp_test::AttachCapture(kLogError);
  uint8_t mac[6] = {};
  char text[16];
  uint32_t size = 4;
  SmdspCredentials credentials{"", nullptr, nullptr};
  MdspConfigureRequest request{};

  EXPECT_EQ(MDSP_GetNicInfo(0, nullptr, nullptr, nullptr, 0), 1);
  EXPECT_EQ(LastErrorCode(), ERR_NOT_STARTED);
  EXPECT_EQ(log->CountStartingWith("ERROR: 1\n"), 1u);

  EXPECT_EQ(MDSP_SendModuleScan(), 0);
  EXPECT_EQ(MDSP_SendConfigure(&request), 0);
  EXPECT_EQ(MDSP_SendWink(mac), 0);
  EXPECT_EQ(SMDSP_SendDiscover(nullptr), 1);
  EXPECT_EQ(SMDSP_GetPayloadData(SMDSP_TAG_IP, 0, text, 4), 1);
  EXPECT_EQ(SMDSP_GetPayloadDataAndSize(SMDSP_TAG_IP, 0, text, &size), 1);
  EXPECT_EQ(SMDSP_GetPayloadString(SMDSP_TAG_MODULE_TYPE, 0, text, sizeof text), 1);
  EXPECT_EQ(SMDSP_GetModuleMac(0, mac), 1);
  EXPECT_EQ(SMDSP_CreateConfigureRequest(0), 1);
  EXPECT_EQ(SMDSP_SetPayloadData(SMDSP_CONFIGURE_TAG_IP, text, 4), 1);
  EXPECT_EQ(SMDSP_SetPayloadString(SMDSP_CONFIGURE_TAG_HOST_NAME, "x"), 1);
  EXPECT_EQ(SMDSP_SendConfigure(&credentials), 1);
  EXPECT_EQ(SMDSP_SendWink(0, 1, &credentials), 1);
  EXPECT_EQ(SMDSP_SendPing(1), 1);
  EXPECT_EQ(SMDSP_SendRestart(0, 1, &credentials), 1);
  EXPECT_EQ(SMDSP_SendMassRestart(), 1);
  EXPECT_EQ(LastErrorCode(), ERR_NOT_STARTED);
  // None of them created the client behind the caller's back.
  EXPECT_EQ(TheClient(), nullptr);
  // MDSP_Stop without a client does nothing and succeeds.
  EXPECT_EQ(MDSP_Stop(), 1);
  EXPECT_EQ(TheClient(), nullptr);
}

TEST(ResultCodes, EveryInternalCodeMapsAsDocumented) {
  EXPECT_EQ(ResultCodeFor(ERR_INVALID_TAG), 5);
  EXPECT_EQ(ResultCodeFor(ERR_BAD_INDEX), 3);
  EXPECT_EQ(ResultCodeFor(ERR_SOCKET), 2);
  EXPECT_EQ(ResultCodeFor(ERR_NOT_FOUND), 4);
  EXPECT_EQ(ResultCodeFor(ERR_TEXT_TOO_LONG), 6);
  for (int32_t other : {ERR_NOT_STARTED, ERR_MESSAGE_TOO_LONG, ERR_FAILED, ERR_NO_MEMORY,
                        ERR_OUT_OF_RANGE, ERR_SYSTEM, ERR_BAD_VALUE}) {
    EXPECT_EQ(ResultCodeFor(other), 8) << ErrorName(other);
  }
  // A failure that stored no code never reads as success.
  RecordError(ERR_NONE);
  EXPECT_EQ(FailureResult(), 8);
  RecordError(ERR_SOCKET);
  EXPECT_EQ(FailureResult(), 2);
  EXPECT_STREQ(ErrorName(ERR_BAD_INDEX), "ERR_BAD_INDEX");
}

TEST(LastError, WorkerCodesDoNotLeakIntoACallersResult) {
  // The worker records a missing key for nearly every answer it parses; a
  // caller's failure must still map to its own code.
  RecordError(ERR_BAD_INDEX);
  std::thread worker([] { RecordError(ERR_NOT_FOUND); });
  worker.join();
  EXPECT_EQ(LastErrorCode(), ERR_BAD_INDEX);
  EXPECT_EQ(FailureResult(), 3);
}

TEST_F(ExportFrame, ResponseQueueIsFirstInFirstOut) {
  ASSERT_TRUE(EnsureClient());
  Client& client = *TheClient();
  for (uint8_t i = 1; i <= 3; ++i) {
    auto* record = new MdspResponse{};
    record->mac[5] = i;
    client.responses.Append(record);
  }
  MdspResponse out;
  std::memset(&out, 0xAB, sizeof out);
  for (uint8_t i = 1; i <= 3; ++i) {
    ASSERT_EQ(MDSP_GetResponse(&out), 1);
    EXPECT_EQ(out.mac[5], i);
  }
  // Empty queue: 0, and the caller's record is left as it was.
  std::memset(&out, 0xAB, sizeof out);
  EXPECT_EQ(MDSP_GetResponse(&out), 0);
  for (size_t i = 0; i < sizeof out; ++i)
    ASSERT_EQ(reinterpret_cast<uint8_t*>(&out)[i], 0xAB) << "byte " << i;
}

TEST_F(ExportFrame, QueueGrowsSixteenAtATime) {
  ASSERT_TRUE(EnsureClient());
  Client& client = *TheClient();
  for (int i = 0; i < 17; ++i) client.responses.Append(new MdspResponse{});
  EXPECT_EQ(client.responses.capacity(), 32u);
}

TEST_F(ExportFrame, MalformedValueReadsAsResultEight) {
  ASSERT_TRUE(EnsureClient());
  // A credentials record without a password is a malformed value.
  SmdspCredentials noPassword{nullptr, nullptr, nullptr};
  EXPECT_EQ(SMDSP_SendConfigure(&noPassword), MDSP_RESULT_FAILED);
  EXPECT_EQ(LastErrorCode(), ERR_BAD_VALUE);
}

TEST_F(ExportFrame, NullOutputsFailInsteadOfCrashing) {
  EXPECT_EQ(MDSP_GetNumberOfNics(nullptr) != 0, true);
  EXPECT_EQ(MDSP_GetResponse(nullptr), 0);
  EXPECT_EQ(MDSP_SendConfigure(nullptr), 0);
  EXPECT_EQ(MDSP_SendWink(nullptr), 0);
  EXPECT_EQ(DllGetVersion(nullptr), 0);
}

int32_t g_secureEvents = 0;
int32_t CountSecure(int32_t, int32_t, uint8_t*, int32_t, void*) { return ++g_secureEvents; }
void IgnoreText(int32_t, uint8_t*) {}

TEST_F(ExportFrame, CallbackRegistrationReturnsWhatWasGiven) {
  EXPECT_EQ(MDSP_RegisterCallBack(IgnoreText), IgnoreText);
  EXPECT_EQ(SMDSP_RegisterCallBack(CountSecure), CountSecure);
  EXPECT_EQ(MDSP_RegisterCallBack(nullptr), nullptr);
  EXPECT_EQ(SMDSP_RegisterCallBack(nullptr), nullptr);
  // Registration needs no client.
  EXPECT_EQ(TheClient(), nullptr);
}

TEST(DllVersion, FileWithoutBlockSetsOnlyThePlatform) {
  // The test program carries no version block.
  DLLVERSIONINFO info{sizeof info, 7, 8, 9, 0};
  EXPECT_EQ(DllGetVersion(&info), 0);
  EXPECT_EQ(info.dwMajorVersion, 7u);
  EXPECT_EQ(info.dwMinorVersion, 8u);
  EXPECT_EQ(info.dwBuildNumber, 9u);
  EXPECT_EQ(info.dwPlatformID, 1u);
}

}  // namespace
}  // namespace mdsp_test
