// Routes each received datagram to the modules it concerns and collects
// their answers with the time each may leave. No sockets, no clock of its
// own: the caller passes the time, so tests need not sleep.
#pragma once

#include <string>
#include <vector>

#include "sim_types.h"

namespace mdspsim {

// False for module answers, notices and secure replies: what the simulator
// itself sends and then hears again as a broadcast.
bool LooksLikeRequest(const uint8_t* data, size_t size);

class Simulator {
 public:
  // `seedDelayMs` holds back every answer to an Authentication request, on
  // top of a module's own delay: a host that gives up waiting for a seed
  // gets it late.
  Simulator(std::vector<SimModule> modules, SeedSource seeds, uint32_t seedDelayMs = 0);

  // Appends the datagrams to send and the log notes ("event MAC ...",
  // "drop ..."). Answers of delayed modules carry a later dueMs.
  void Handle(const uint8_t* data, size_t size, const Endpoint& from, uint64_t nowMs,
              std::vector<Outgoing>& out, std::vector<std::string>& notes);

  const std::vector<SimModule>& Modules() const { return modules_; }

 private:
  // Silence, restart quiet time and the ignore list, noted in the log.
  bool WillAnswer(const SimModule& module, const char* kind, uint64_t nowMs,
                  std::vector<std::string>& notes) const;
  void Emit(SimModule& module, Reaction&& reaction, const Endpoint& from, uint64_t nowMs,
            uint32_t extraDelayMs, std::vector<Outgoing>& out, std::vector<std::string>& notes);

  std::vector<SimModule> modules_;
  SeedSource seeds_;
  uint32_t seedDelayMs_;
};

}  // namespace mdspsim
