#include "wake_fd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace pelmar::platform {

WakeFd::WakeFd() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeFd::~WakeFd() {
  if (fd_ >= 0) ::close(fd_);
}

void WakeFd::Signal() {
  const uint64_t one = 1;
  // A full counter (2^64 - 2 unread wake-ups) is readable all the same.
  [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

void WakeFd::Drain() {
  uint64_t count;
  [[maybe_unused]] ssize_t n = ::read(fd_, &count, sizeof count);
}

}  // namespace pelmar::platform
