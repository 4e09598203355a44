#include "junk_flood.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "dhcp_packets.h"

namespace pelmar_test {

namespace {
constexpr uint8_t kForeignMac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
constexpr int kSlicesPerSecond = 1000;
}  // namespace

std::vector<Bytes> JunkFlood::Kinds() {
  Bytes oversized(2100, 0xA5);  // larger than the server's buffer
  Bytes fixedOnly = FixedPart(kRecoveryMac);
  Bytes noise(60);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 37 + 11);
  return {
      {'j', 'u', 'n', 'k'},
      {0x01},
      {},
      oversized,
      fixedOnly,  // no options: no message type, no answer
      noise,
      Discover(kForeignMac),
      Request(kRecoveryMac, {53, 2, 1, 1}),  // bad option length
      Request(kRecoveryMac, {53, 1, 8}),     // inform: not answered
  };
}

JunkFlood::~JunkFlood() { Stop(); }

bool JunkFlood::Start(int perSecond, long maxCount) {
  if (thread_.joinable()) return false;
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  int on = 1;
  setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  stop_.store(false);
  finished_.store(false);
  sent_.store(0);
  thread_ = std::thread(&JunkFlood::Run, this, perSecond, maxCount);
  return true;
}

void JunkFlood::Stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

void JunkFlood::Run(int perSecond, long maxCount) {
  const std::vector<Bytes> kinds = Kinds();
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(67);
  target.sin_addr.s_addr = htonl(INADDR_BROADCAST);

  // Paced in 1 ms slices against a fixed start, so that a late wake-up
  // catches up instead of lowering the rate.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  long slice = 0;
  size_t next = 0;
  while (!stop_.load() && sent_.load() < maxCount) {
    long due = perSecond > 0 ? (slice + 1) * perSecond / kSlicesPerSecond : sent_.load() + 64;
    while (sent_.load() < due && sent_.load() < maxCount && !stop_.load()) {
      const Bytes& d = kinds[next++ % kinds.size()];
      // Blocking socket: at full speed the send queue paces the sender.
      sendto(fd_, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&target),
             sizeof target);
      sent_.fetch_add(1);
    }
    if (perSecond > 0) {
      ++slice;
      std::this_thread::sleep_until(start + std::chrono::milliseconds(slice));
    }
  }
  finished_.store(true);
}

}  // namespace pelmar_test
