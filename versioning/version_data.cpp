#include "version_data.h"

#include <atomic>
#include <cstdio>

namespace versioning {

const char* VersionTextName(VersionText text) {
  static const char* const kNames[kVersionTextCount] = {
      "FileVersion",    "ProductVersion", "CompanyName", "FileDescription",
      "InternalName",   "LegalCopyright", "OriginalFilename", "ProductName",
      "Comments",       "LegalTrademarks", "PrivateBuild", "SpecialBuild"};
  return kNames[static_cast<size_t>(text)];
}

namespace {

std::atomic<VersionReportViewer> g_viewer{nullptr};

}  // namespace

VersionReportViewer SetVersionReportViewer(VersionReportViewer viewer) {
  return g_viewer.exchange(viewer);
}

void CVFXVersionData::Show(bool toConsole) const {
  std::string report = Format();
  VersionReportViewer viewer = toConsole ? nullptr : g_viewer.load();
  if (viewer) {
    viewer(report);
    return;
  }
  std::printf("%s", report.c_str());
}

void CVFXVersionData::Reset() { *this = CVFXVersionData{}; }

bool CVFXVersionData::IsEmpty() const {
  if (!file.empty()) return false;
  for (const std::string& text : texts)
    if (!text.empty()) return false;
  for (size_t i = 0; i < 4; ++i)
    if (fileVersion[i] != 0 || productVersion[i] != 0) return false;
  return true;
}

void CVFXVersionData::Assign(const CVFXVersionData& other) { *this = other; }

std::string CVFXVersionData::Format() const {
  if (IsEmpty()) return "No version information is available";
  // The labels are fixed texts of the report, "Comments" without its colon
  // included.
  static const char* const kLabels[kVersionTextCount] = {
      "FileVersion: ",      "ProductVersion: ", "CompanyName: ", "FileDescription: ",
      "InternalName: ",     "LegalCopyright: ", "OriginalFileName: ", "ProductName: ",
      "Comments ",          "LegalTradeMarks: ", "PrivateBuild: ", "SpecialBuild: "};
  std::string report = "VS_VERSION_INFO for " + file + ":\n\n";
  for (size_t i = 0; i < kVersionTextCount; ++i) report += kLabels[i] + texts[i] + "\n";
  return report;
}

}  // namespace versioning
