// What a program file's version block says, and its printable report.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace versioning {

// The named texts of a version block, in member order.
enum class VersionText {
  FileVersion,
  ProductVersion,
  CompanyName,
  FileDescription,
  InternalName,
  LegalCopyright,
  OriginalFilename,
  ProductName,
  Comments,
  LegalTrademarks,
  PrivateBuild,
  SpecialBuild,
};
inline constexpr size_t kVersionTextCount = 12;
inline constexpr size_t kVersionTextMaxLength = 255;

// The name under which a text is stored in the block, e.g. "ProductVersion".
const char* VersionTextName(VersionText text);

// Where Show puts a report that is not for the console. The GUI installs
// its information box; without one the report goes to standard output, so
// it is never lost. Returns the viewer it replaces.
using VersionReportViewer = void (*)(const std::string& report);
VersionReportViewer SetVersionReportViewer(VersionReportViewer viewer);

class CVFXVersionData {
 public:
  CVFXVersionData() = default;
  virtual ~CVFXVersionData() = default;
  CVFXVersionData(const CVFXVersionData&) = default;
  CVFXVersionData& operator=(const CVFXVersionData&) = default;

  // Prints the report to standard output, or hands it to the report viewer.
  virtual void Show(bool toConsole) const;
  virtual void Reset();
  virtual bool IsEmpty() const;
  virtual void Assign(const CVFXVersionData& other);
  virtual std::string Format() const;

  std::string file;
  // major, minor, build, revision
  std::array<uint16_t, 4> fileVersion{};
  std::array<uint16_t, 4> productVersion{};
  std::array<std::string, kVersionTextCount> texts;

  const std::string& Text(VersionText which) const { return texts[static_cast<size_t>(which)]; }
  std::string& Text(VersionText which) { return texts[static_cast<size_t>(which)]; }
};

}  // namespace versioning
