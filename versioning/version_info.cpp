#include "version_info.h"

#include "program_file.h"
#include "version_resource.h"

namespace versioning {

CVFXVersionInfo::CVFXVersionInfo(uint16_t language, uint32_t codePage)
    : language_(language), codePage_(codePage), locale_(language) {}

bool CVFXVersionInfo::Read(CVFXVersionData& data) const {
  data.Reset();
  std::string path = platform::OwnProgramFile();
  if (path.empty()) return false;
  return Read(data, path);
}

bool CVFXVersionInfo::Read(CVFXVersionData& data, const std::string& path) const {
  data.Reset();
  VersionResource block;
  if (path.empty() || !ReadVersionResource(path, block)) return false;
  // Without the fixed part's signature the block is not one of ours.
  if (block.signature != kVersionSignature) return false;

  data.file = path;
  data.fileVersion = {static_cast<uint16_t>(block.fileVersionMS >> 16),
                      static_cast<uint16_t>(block.fileVersionMS),
                      static_cast<uint16_t>(block.fileVersionLS >> 16),
                      static_cast<uint16_t>(block.fileVersionLS)};
  data.productVersion = {static_cast<uint16_t>(block.productVersionMS >> 16),
                         static_cast<uint16_t>(block.productVersionMS),
                         static_cast<uint16_t>(block.productVersionLS >> 16),
                         static_cast<uint16_t>(block.productVersionLS)};

  // A block holds one string table; texts of another language stay empty.
  if (block.language != language_ || block.codePage != codePage_) return true;
  for (size_t i = 0; i < kVersionTextCount; ++i) {
    const std::string* value = block.Text(VersionTextName(static_cast<VersionText>(i)));
    if (value) data.texts[i] = value->substr(0, kVersionTextMaxLength);
  }
  return true;
}

}  // namespace versioning
