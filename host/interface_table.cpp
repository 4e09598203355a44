#include "interface_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pelmar {

bool RefreshInterfaces(const LibraryApi& api, InterfaceChoice& choice) {
  int32_t count = 0;
  if (api.MDSP_GetNumberOfNics(&count) != MDSP_RESULT_OK) return false;
  uint32_t n = count < 0 ? 0 : static_cast<uint32_t>(count);
  if (n > kMaxInterfaces) n = kMaxInterfaces;
  choice.count = n;
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t address = 0;
    char description[128] = {};
    if (api.MDSP_GetNicInfo(i, &address, nullptr, description, sizeof description) !=
        MDSP_RESULT_OK) {
      choice.count = i;
      return false;
    }
    description[sizeof description - 1] = '\0';
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(address >> 24),
                  static_cast<int>((address >> 16) & 0xFF), static_cast<int>((address >> 8) & 0xFF),
                  static_cast<int>(address & 0xFF));
    choice.entries[i].description = description;
    choice.entries[i].address = text;
  }
  return true;
}

bool ApplyInterface(const LibraryApi& api, InterfaceChoice& choice) {
  uint32_t count = choice.count > kMaxInterfaces ? kMaxInterfaces : choice.count;
  if (!choice.requestedInterface.empty()) {
    for (uint32_t i = 0; i < count; ++i) {
      if (choice.entries[i].address == choice.requestedInterface) {
        api.MDSP_SetNetworkDevice(0, choice.entries[i].address.c_str());
        choice.requestedInterface.clear();
        return true;
      }
    }
    choice.requestedInterface.clear();
    return false;
  }
  if (choice.specificInterface) {
    if (count == 0) return true;  // nothing to select
    uint32_t selected = choice.selectedInterface < count ? choice.selectedInterface : 0;
    api.MDSP_SetNetworkDevice(0, choice.entries[selected].address.c_str());
    return true;
  }
  for (uint32_t i = 0; i < count; ++i)
    api.MDSP_SetNetworkDevice(i, choice.entries[i].address.c_str());
  return true;
}

std::string ComposeSettings(const InterfaceChoice& choice) {
  std::string bytes("CVP\0", 4);
  if (choice.specificInterface) {
    uint32_t count = choice.count > kMaxInterfaces ? kMaxInterfaces : choice.count;
    // The same entry ApplyInterface uses (none when the table is empty).
    if (count > 0) {
      uint32_t selected = choice.selectedInterface < count ? choice.selectedInterface : 0;
      bytes += choice.entries[selected].address.substr(0, 2043);
    }
  }
  return bytes;
}

bool ApplySettingsBytes(const std::string& bytes, InterfaceChoice& choice) {
  choice.specificInterface = 0;
  if (bytes.size() < 5 || bytes.compare(0, 3, "CVP") != 0) return false;
  std::string text = bytes.substr(4);
  text = text.substr(0, text.find('\0'));
  if (text.empty()) return true;
  choice.specificInterface = 1;
  uint32_t count = choice.count > kMaxInterfaces ? kMaxInterfaces : choice.count;
  for (uint32_t i = 0; i < count; ++i) {
    if (choice.entries[i].address == text) {
      choice.selectedInterface = i;
      break;
    }
  }
  return true;
}

std::string SettingsPath() {
  std::string base;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return "";
    base = std::string(home) + "/.config";
  }
  return base + "/Tordal/Corvane Pelmar/settings.dat";
}

bool LoadSettings(const std::string& path, InterfaceChoice& choice) {
  choice.specificInterface = 0;
  if (path.empty()) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string bytes(kSettingsReadLimit, '\0');
  size_t got = 0;
  bool failed = false;
  while (got < bytes.size()) {
    ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      failed = true;
      break;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  if (failed) return false;
  bytes.resize(got);
  return ApplySettingsBytes(bytes, choice);
}

namespace {

bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

}  // namespace

bool SaveSettings(const std::string& path, const InterfaceChoice& choice) {
  if (path.empty() || !MakeFolders(path)) return false;
  const std::string bytes = ComposeSettings(choice);
  std::string temporary = path + ".XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  ::fchmod(fd, 0644);
  size_t put = 0;
  bool ok = true;
  while (put < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + put, bytes.size() - put);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    put += static_cast<size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace pelmar
