#include "private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pelmar {

bool ReadPrivateFile(const std::string& path, std::string& text, std::string& error) {
  // Opened first and checked through the descriptor, so the file checked is
  // the file read.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  bool ok = fstat(fd, &st) == 0;
  if (!ok || !S_ISREG(st.st_mode)) {
    error = path + " is not a regular file";
  } else if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(st.st_mode & 0777));
    error = path + " may be read or written by others (mode " + mode +
            "): make it private with chmod 600";
    ok = false;
  } else {
    text.clear();
    char buffer[4096];
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        ok = false;
      }
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
    }
  }
  if (!S_ISREG(st.st_mode)) ok = false;
  close(fd);
  return ok;
}

}  // namespace pelmar
