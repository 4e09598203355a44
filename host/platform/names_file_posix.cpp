#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "names_file.h"

namespace pelmar {
namespace {

enum class ReadResult { Ok, Missing, TooLarge, Failed };

ReadResult ReadBounded(const std::string& path, std::string& bytes) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  // One byte past the limit tells a file that is too large.
  bytes.assign(kNamesFileLimit + 1, '\0');
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
  if (failed) return ReadResult::Failed;
  bytes.resize(got);
  return got > kNamesFileLimit ? ReadResult::TooLarge : ReadResult::Ok;
}

bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

}  // namespace

std::string NamesPathBeside(const std::string& settingsPath) {
  if (settingsPath.empty()) return "";
  const size_t slash = settingsPath.rfind('/');
  return (slash == std::string::npos ? std::string() : settingsPath.substr(0, slash + 1)) +
         "names.txt";
}

NamesLoad LoadNames(const std::string& path, ModuleNames& names, std::string& warning) {
  names = ModuleNames{};
  warning.clear();
  if (path.empty()) return NamesLoad::Missing;
  std::string bytes;
  switch (ReadBounded(path, bytes)) {
    case ReadResult::Missing: return NamesLoad::Missing;
    case ReadResult::Failed:
      warning = "The names file " + path + " could not be read (" + std::strerror(errno) +
                "); names and notes are not shown.";
      return NamesLoad::Unreadable;
    case ReadResult::TooLarge:
    case ReadResult::Ok: break;
  }
  if (!names.Parse(bytes)) {
    warning = "The names file " + path +
              " is damaged and was ignored. It is kept as " + path +
              ".damaged when a name is next saved.";
    return NamesLoad::Damaged;
  }
  return NamesLoad::Loaded;
}

bool SaveNames(const std::string& path, const ModuleNames& names, std::string& error) {
  error.clear();
  if (path.empty() || !MakeFolders(path)) {
    error = "cannot create the folder of " + path;
    return false;
  }
  // Never overwrite a file we could not read: the user may want it back.
  std::string old;
  ModuleNames check;
  const ReadResult read = ReadBounded(path, old);
  if ((read == ReadResult::Ok && !check.Parse(old)) || read == ReadResult::TooLarge) {
    if (::rename(path.c_str(), (path + ".damaged").c_str()) != 0) {
      error = "cannot keep the damaged " + path + " aside: " + std::strerror(errno);
      return false;
    }
  } else if (read == ReadResult::Failed) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  const std::string bytes = names.Compose();
  std::string temporary = path + ".XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    error = "cannot write beside " + path + ": " + std::strerror(errno);
    return false;
  }
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
    error = "cannot write " + path + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  // The rename is durable only once the folder is synced.
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

}  // namespace pelmar
