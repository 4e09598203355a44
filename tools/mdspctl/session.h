// A running library for one mdspctl command: interfaces chosen, callback
// registered, worker started; and the events the callback delivers, queued
// for the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli_args.h"
#include "mdsp.h"

namespace mdspctl {

struct ModuleEvent {
  int32_t event = 0;
  int32_t index = 0;
  uint8_t mac[6] = {};
  int32_t argument = 0;
  std::vector<SmdspRestartReport> report;  // event 9 only
};

class Session {
 public:
  Session() = default;
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Chooses the interfaces (--nic, or every listed one) and starts the
  // worker. Returns an exit code; kExitOk on success.
  int Open(const CommandLine& cli, std::string& error);

  // Sends the discover and collects the module indexes reported until the
  // time-out, or until `enough` returns true for a newly found index.
  // Returns an exit code.
  int Discover(uint32_t timeoutMs, std::vector<uint32_t>& indexes, std::string& error,
               const std::function<bool(uint32_t)>& enough = nullptr);

  // Forgets events received so far.
  void DropEvents();
  // Waits for the first event that `wanted` accepts; false on time-out.
  bool WaitEvent(const std::function<bool(const ModuleEvent&)>& wanted, uint32_t timeoutMs,
                 ModuleEvent& out);

  // Number of elements the next restart report holds (the library does not
  // pass it; the caller knows how many restarts it recorded).
  static void ExpectReportElements(size_t count);

 private:
  bool started_ = false;
};

// Text for a failed SMDSP_ call.
std::string ResultText(int32_t result);

}  // namespace mdspctl
