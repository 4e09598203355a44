// The log's sinks, levels and its line-length rule.
#include <gtest/gtest.h>

#include <string>

#include "base/errors.h"
#include "base/log.h"
#include "library_reset.h"
#include "log_capture.h"

namespace mdsp_test {
namespace {

using namespace mdsp;
using LogTest = mdsp_test::FreshLibrary;

TEST_F(LogTest, LinesReachSinksWhoseThresholdIsAtMostTheLevel) {
  auto* all = mdsp_test::AttachCapture(kLogTrace);
  auto* errors = mdsp_test::AttachCapture(kLogError);
  Report(kLogTrace, "Module scan initiated");
  Report(kLogError, "ERROR: %x", 5u);
  EXPECT_EQ(all->lines(), (std::vector<std::string>{"0:Module scan initiated\n", "3:ERROR: 5\n"}));
  EXPECT_EQ(errors->lines(), (std::vector<std::string>{"3:ERROR: 5\n"}));
}

TEST_F(LogTest, LongestLineFitsAndOneMoreCharacterEmptiesIt) {
  auto* sink = mdsp_test::AttachCapture();
  std::string longest(kLogMaxLine, 'x');
  Report(kLogTrace, "%s", longest.c_str());
  ASSERT_EQ(sink->lines().size(), 1u);
  EXPECT_EQ(sink->lines()[0], "0:" + longest + "\n");

  RecordError(ERR_NONE);
  std::string tooLong(kLogMaxLine + 1, 'y');
  Report(kLogTrace, "%s", tooLong.c_str());
  EXPECT_EQ(LastErrorCode(), ERR_TEXT_TOO_LONG);
  auto lines = sink->lines();
  // The error report of the failure, then the emptied line itself.
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "3:ERROR: 80000006\n");
  EXPECT_EQ(lines[2], "0:\n");
}

TEST_F(LogTest, FailureSitesReportButMissingKeysDoNot) {
  auto* sink = mdsp_test::AttachCapture();
  ReportError(ERR_BAD_INDEX);
  RecordError(ERR_NOT_FOUND);
  EXPECT_EQ(sink->lines(), (std::vector<std::string>{"3:ERROR: 4\n"}));
  EXPECT_EQ(LastErrorCode(), ERR_NOT_FOUND);
}

TEST_F(LogTest, WithoutALogReportsAreDropped) {
  DestroyLog();
  Report(kLogError, "nobody listens");  // must not crash
  ReportError(ERR_SYSTEM);
  EXPECT_EQ(LastErrorCode(), ERR_SYSTEM);
}

}  // namespace
}  // namespace mdsp_test

namespace mdsp_test {
namespace {

TEST(LogMasking, PasswordsNeverReachTheTerminalSink) {
  EXPECT_EQ(mdsp::MaskPasswords(
                "Data received: 'Configure: 02-00-00-12-34-AB;Password: s3cret;New Password = "
                "ab0123;IP = 10.0.0.1;HN =;'\n"),
            "Data received: 'Configure: 02-00-00-12-34-AB;Password: ***;New Password = ***;"
            "IP = 10.0.0.1;HN =;'\n");
  // A piece cut short by the end of the datagram is masked to its end.
  EXPECT_EQ(mdsp::MaskPasswords("Data received: 'Configure: x;Password: abc'\n"),
            "Data received: 'Configure: x;Password: ***'\n");
  EXPECT_EQ(mdsp::MaskPasswords("Module scan initiated\n"), "Module scan initiated\n");
}

}  // namespace
}  // namespace mdsp_test

namespace mdsp_test {
namespace {

using namespace mdsp;
using LogLevels = mdsp_test::FreshLibrary;

// A line too long to format records ERR_TEXT_TOO_LONG only when it is
// formatted, which shows whether a report reached the formatter at all.
TEST_F(LogLevels, LinesNoSinkWantsAreNeverFormatted) {
  const std::string tooLong(kLogMaxLine + 1, 'z');
  auto* errors = mdsp_test::AttachCapture(kLogError);
  RecordError(ERR_NONE);
  Report(kLogTrace, "%s", tooLong.c_str());
  EXPECT_EQ(LastErrorCode(), ERR_NONE);
  EXPECT_TRUE(errors->lines().empty());

  auto* trace = mdsp_test::AttachCapture(kLogTrace);
  Report(kLogTrace, "%s", tooLong.c_str());
  EXPECT_EQ(LastErrorCode(), ERR_TEXT_TOO_LONG);

  // Once the trace sink is gone, trace lines are skipped again.
  ASSERT_TRUE(TheLog()->RemoveSink(trace));
  delete trace;
  RecordError(ERR_NONE);
  Report(kLogTrace, "%s", tooLong.c_str());
  EXPECT_EQ(LastErrorCode(), ERR_NONE);
  Report(kLogError, "kept");
  EXPECT_EQ(errors->lines().back(), "3:kept\n");
}

TEST_F(LogLevels, WithoutSinksNothingIsWanted) {
  EXPECT_FALSE(TheLog()->Wants(kLogError));
  auto* errors = mdsp_test::AttachCapture(kLogError);
  EXPECT_TRUE(TheLog()->Wants(kLogError));
  EXPECT_FALSE(TheLog()->Wants(kLogTrace));
  ASSERT_TRUE(TheLog()->RemoveSink(errors));
  delete errors;
  EXPECT_FALSE(TheLog()->Wants(kLogError));
}

}  // namespace
}  // namespace mdsp_test
