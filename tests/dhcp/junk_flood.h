// A bounded stream of junk datagrams to UDP port 67, broadcast from the
// network namespace of the thread that starts it. Only for tests inside a
// net_test::Lab: the count is capped and the sender stops when asked.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace pelmar_test {

class JunkFlood {
 public:
  JunkFlood() = default;
  ~JunkFlood();
  JunkFlood(const JunkFlood&) = delete;
  JunkFlood& operator=(const JunkFlood&) = delete;

  // Sends at most maxCount datagrams, perSecond of them a second (0: as fast
  // as the socket takes them). False when the socket cannot be made.
  bool Start(int perSecond, long maxCount);
  void Stop();

  long Sent() const { return sent_.load(); }
  bool Finished() const { return finished_.load(); }

  // The kinds of junk sent in turn: texts, empty and oversized datagrams,
  // requests of foreign clients, broken recovery requests.
  static std::vector<std::vector<uint8_t>> Kinds();

 private:
  void Run(int perSecond, long maxCount);

  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
  std::atomic<long> sent_{0};
  std::thread thread_;
};

}  // namespace pelmar_test
