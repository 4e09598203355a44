// Version blocks read from built program files, and the texts made of them:
// the About line, the report and every program's --version line.
#include <gtest/gtest.h>

#include <langinfo.h>
#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "about_texts.h"
#include "program_file.h"
#include "program_version.h"
#include "version_info.h"

namespace versioning_test {
using namespace versioning;
namespace {

TEST(VersionLine, SpacesGoAndCommasBecomeDots) {
  const struct {
    const char* productVersion;
    const char* line;
  } cases[] = {
      {"3, 1, 0, 7", "Version: 3.1.0.7"},
      {"2.5 beta", "Version: 2.5beta"},
      {"1,3,0,2", "Version: 1.3.0.2"},
      {"", "Version: "},
  };
  for (const auto& c : cases) EXPECT_EQ(VersionLine(c.productVersion), c.line) << c.productVersion;
}

TEST(VersionData, FormatGivesTheFixedReport) {
  CVFXVersionData data;
  EXPECT_TRUE(data.IsEmpty());
  EXPECT_EQ(data.Format(), "No version information is available");

  data.file = "/opt/pelmar";
  for (size_t i = 0; i < kVersionTextCount; ++i) data.texts[i] = "t" + std::to_string(i);
  EXPECT_EQ(data.Format(),
            "VS_VERSION_INFO for /opt/pelmar:\n\n"
            "FileVersion: t0\nProductVersion: t1\nCompanyName: t2\nFileDescription: t3\n"
            "InternalName: t4\nLegalCopyright: t5\nOriginalFileName: t6\nProductName: t7\n"
            "Comments t8\nLegalTradeMarks: t9\nPrivateBuild: t10\nSpecialBuild: t11\n");
}

TEST(VersionInfo, ReadsTheOwnProgramFile) {
  CVFXVersionInfo reader(0x0409, 1200);
  CVFXVersionData data;
  ASSERT_TRUE(reader.Read(data));
  EXPECT_EQ(data.file, platform::OwnProgramFile());
  EXPECT_EQ(data.productVersion, (std::array<uint16_t, 4>{3, 1, 0, 7}));
  EXPECT_EQ(data.fileVersion, (std::array<uint16_t, 4>{3, 1, 0, 7}));
  EXPECT_EQ(data.Text(VersionText::ProductVersion), "3, 1, 0, 7");
  EXPECT_EQ(data.Text(VersionText::FileVersion), "3, 1, 0, 7");
  EXPECT_EQ(data.Text(VersionText::ProductName), "Corvane Pelmar");
  EXPECT_EQ(data.Text(VersionText::Comments), "");
  EXPECT_EQ(AboutVersionLine(), "Version: 3.1.0.7");
}

TEST(VersionInfo, ReadsAnotherProgramFile) {
  EXPECT_EQ(AboutVersionLine(PELMAR_VERSION_SAMPLE), "Version: 2.5beta");

  CVFXVersionData data;
  ASSERT_TRUE(CVFXVersionInfo(0x0409, 1200).Read(data, PELMAR_VERSION_LONG_SAMPLE));
  EXPECT_EQ(data.Text(VersionText::ProductVersion), std::string(kVersionTextMaxLength, 'x'));
}

TEST(VersionInfo, OtherStringTableLeavesTheTextsEmpty) {
  CVFXVersionData data;
  ASSERT_TRUE(CVFXVersionInfo(0x0407, 1252).Read(data, PELMAR_VERSION_SAMPLE));
  EXPECT_EQ(data.productVersion, (std::array<uint16_t, 4>{2, 5, 0, 0}));
  EXPECT_EQ(data.Text(VersionText::ProductVersion), "");
}

TEST(VersionInfo, FileWithoutBlockFailsAndLeavesTheDataEmpty) {
  std::string plain = ::testing::TempDir() + "/no_version_block.bin";
  FILE* f = std::fopen(plain.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("\x7f" "ELF but not really", f);
  std::fclose(f);

  for (const std::string& path : {plain, std::string("/nonexistent/pelmar"), std::string()}) {
    CVFXVersionData data;
    data.file = "left over";
    EXPECT_FALSE(CVFXVersionInfo(0x0409, 1200).Read(data, path)) << path;
    EXPECT_TRUE(data.IsEmpty()) << path;
  }
  EXPECT_EQ(AboutVersionLine(plain), "");
  std::remove(plain.c_str());
}

TEST(VersionInfo, ThreadLocaleIsRestored) {
  // Without an en_US locale nothing is switched, so nothing would be restored.
  locale_t probe = newlocale(LC_ALL_MASK, "en_US.UTF-8", static_cast<locale_t>(0));
  if (!probe) {
    const char* why = "no en_US.UTF-8 locale here (Debian: locales, then locale-gen)";
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) == "true") FAIL() << why;
    GTEST_SKIP() << why;
  }
  freelocale(probe);
  locale_t before = uselocale(static_cast<locale_t>(0));
  {
    CVFXVersionInfo english(0x0409, 1200);
    locale_t during = uselocale(static_cast<locale_t>(0));
    ASSERT_TRUE(english.locale_switched());
    EXPECT_NE(during, before);
    EXPECT_STREQ(nl_langinfo_l(CODESET, during), "UTF-8");
    {
      CVFXVersionInfo unknownLanguage(0x7FFF, 1200);  // no locale: the thread keeps its own
      EXPECT_EQ(uselocale(static_cast<locale_t>(0)), during);
      CVFXVersionData data;
      EXPECT_TRUE(unknownLanguage.Read(data));
    }
    EXPECT_EQ(uselocale(static_cast<locale_t>(0)), during);
  }
  EXPECT_EQ(uselocale(static_cast<locale_t>(0)), before);
}

std::vector<std::string> g_viewed;
void RecordReport(const std::string& report) { g_viewed.push_back(report); }

// Show prints for the console; otherwise it hands the report to the viewer
// the GUI installed, and prints when there is none, so a report is never lost.
TEST(VersionData, ShowGoesToTheConsoleOrTheViewer) {
  const struct {
    bool toConsole;
    bool viewer;
    bool printed;
  } cases[] = {
      {true, false, true},
      {true, true, true},
      {false, true, false},
      {false, false, true},
  };
  CVFXVersionData data;
  data.file = "/opt/pelmar";
  data.Text(VersionText::ProductVersion) = "3, 1, 0, 7";
  for (const auto& c : cases) {
    g_viewed.clear();
    VersionReportViewer before = SetVersionReportViewer(c.viewer ? &RecordReport : nullptr);
    ::testing::internal::CaptureStdout();
    data.Show(c.toConsole);
    const std::string out = ::testing::internal::GetCapturedStdout();
    SetVersionReportViewer(before);
    SCOPED_TRACE(testing::Message() << "toConsole " << c.toConsole << ", viewer " << c.viewer);
    EXPECT_EQ(out, c.printed ? data.Format() : "");
    EXPECT_EQ(g_viewed, c.printed ? std::vector<std::string>{}
                                  : std::vector<std::string>{data.Format()});
  }
}

TEST(ProgramVersion, LineFromTheProductVersionNumbers) {
  const struct {
    uint32_t ms, ls;
    const char* line;
  } cases[] = {
      {(3u << 16) | 1, 0, "mdspctl 3.1.0"},
      {(3u << 16) | 1, (2u << 16) | 7, "mdspctl 3.1.2.7"},
      {(65535u << 16) | 65535, 65535u << 16, "mdspctl 65535.65535.65535"},
      {0, 0, "mdspctl 0.0.0"},
  };
  for (const auto& c : cases) EXPECT_EQ(ProgramVersionLine("mdspctl", c.ms, c.ls), c.line);
}

TEST(ProgramVersion, PrintsTheOwnBlock) {
  // This test program's block says 3.1.0.7.
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(PrintProgramVersion("probe"), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "probe 3.1.0.7\n");
}

}  // namespace
}  // namespace versioning_test
