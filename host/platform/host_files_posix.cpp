#include "host_files.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

std::vector<Subnet> InterfaceSubnets(const std::vector<uint32_t>& addresses) {
  std::vector<Subnet> subnets;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return subnets;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !i->ifa_netmask) continue;
    const uint32_t address =
        ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
    const uint32_t mask =
        ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr);
    if (std::find(addresses.begin(), addresses.end(), address) != addresses.end())
      subnets.push_back(Subnet{address, mask});
  }
  freeifaddrs(list);
  return subnets;
}

}  // namespace pelmar
