#include "program_version.h"

#include <cstdio>

#include "program_file.h"
#include "version_resource.h"

namespace versioning {

std::string ProgramVersionLine(const std::string& program, uint32_t productVersionMS,
                               uint32_t productVersionLS) {
  std::string line = program + " " + std::to_string(productVersionMS >> 16) + "." +
                     std::to_string(productVersionMS & 0xFFFF) + "." +
                     std::to_string(productVersionLS >> 16);
  if (uint32_t build = productVersionLS & 0xFFFF) line += "." + std::to_string(build);
  return line;
}

int PrintProgramVersion(const char* program) {
  const std::string path = platform::OwnProgramFile();
  VersionResource block;
  if (path.empty() || !ReadVersionResource(path, block) || block.signature != kVersionSignature) {
    std::fprintf(stderr, "%s: no version information in the program file %s\n", program,
                 path.empty() ? "(unknown)" : path.c_str());
    return 1;
  }
  std::printf("%s\n",
              ProgramVersionLine(program, block.productVersionMS, block.productVersionLS).c_str());
  return 0;
}

}  // namespace versioning
