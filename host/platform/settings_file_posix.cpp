#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "settings_file.h"

namespace pelmar {

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
