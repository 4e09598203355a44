// Reads the version block of the running program's own file. While the
// reader lives, the thread runs in the locale of the language it reads.
#pragma once

#include <cstdint>
#include <string>

#include "thread_locale.h"
#include "version_data.h"

namespace versioning {

class CVFXVersionInfo {
 public:
  // The language and code page of the string table to read (0x0409 and 1200
  // for US English in UTF-16, as every block of this system is written).
  CVFXVersionInfo(uint16_t language, uint32_t codePage);

  // Fills data from the own program file; false (data reset) when the file
  // has no usable version block.
  bool Read(CVFXVersionData& data) const;
  // The same from any program or library file.
  bool Read(CVFXVersionData& data, const std::string& path) const;

  uint16_t language() const { return language_; }
  uint32_t codePage() const { return codePage_; }
  // False when the language has no installed locale and the thread kept its own.
  bool locale_switched() const { return locale_.switched(); }

 private:
  uint16_t language_;
  uint32_t codePage_;
  platform::ScopedThreadLocale locale_;
};

}  // namespace versioning
