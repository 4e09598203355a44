#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "small_file.h"

namespace pelmar::platform {

bool ReadSmallFile(const std::string& path, size_t limit, std::string* bytes) {
  if (path.empty()) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string buffer(limit, '\0');
  size_t got = 0;
  bool failed = false;
  while (got < buffer.size()) {
    ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
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
  buffer.resize(got);
  *bytes = std::move(buffer);
  return true;
}

std::string FileBesideSettings(const std::string& settingsPath, const char* name) {
  if (settingsPath.empty()) return "";
  const size_t slash = settingsPath.rfind('/');
  return (slash == std::string::npos ? std::string() : settingsPath.substr(0, slash + 1)) + name;
}

bool MakeFoldersOf(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool WriteFileWhole(const std::string& path, const std::string& bytes) {
  if (path.empty() || !MakeFoldersOf(path)) return false;
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
  if (!ok) {
    const int saved = errno;  // the caller's message names the cause
    ::unlink(temporary.c_str());
    errno = saved;
    return false;
  }
  // The rename survives a crash only once the folder is synced.
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos) {
    int dir = ::open(slash == 0 ? "/" : path.substr(0, slash).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }
  return true;
}

}  // namespace pelmar::platform
