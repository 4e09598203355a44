// Applies a bulk plan one module at a time through the library, the way the
// configuration dialog configures one module: the same request, the same
// password rules. Then one scan, and every accepted module is read back.
// Blocking: mdspctl runs it on its main thread, the tool on a worker thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bulk_plan.h"
#include "library_api.h"
#include "read_back.h"

namespace pelmar {

// One library event as the front end's callback queued it.
struct HostEvent {
  int32_t event = 0;
  int32_t index = 0;
  uint8_t mac[6] = {};
  int32_t argument = 0;
};

// The front end's queue of library events.
class HostEvents {
 public:
  virtual ~HostEvents() = default;
  virtual void Drop() = 0;
  // The first queued or arriving event that `wanted` accepts (others are
  // dropped); false when none came within timeoutMs.
  virtual bool Wait(const std::function<bool(const HostEvent&)>& wanted, uint32_t timeoutMs,
                    HostEvent& out) = 0;
};

enum class BulkState {
  Planned,
  NotFound,       // did not answer the discover before the run
  Accepted,       // waiting for the read-back
  Refused,
  WrongPassword,
  NoAnswer,       // no answer within the time-out
  Failed,         // the library could not send
  Cancelled,      // not sent: the run was cancelled
  Confirmed,
  Differs,
};

struct BulkResult {
  BulkState state = BulkState::Planned;
  std::string text;  // the result column
};

struct BulkTimes {
  uint32_t discoverMs = 2000;  // the discovers before and after stop early when all answered
  uint32_t answerMs = 3000;    // per module
};

class BulkRunner {
 public:
  BulkRunner(const LibraryApi& api, HostEvents& events, BulkTimes times = {})
      : api_(api), events_(events), times_(times) {}

  // Configures entries[i] for every i with run[i], in order, with
  // password(i); results[i] is updated and progress(i) called after every
  // change. `cancel` is looked at before each module: the one in flight ends
  // first. Entries must be free of problems.
  void Run(const std::vector<BulkEntry>& entries, const std::vector<bool>& run,
           const std::function<std::string(size_t)>& password, std::vector<BulkResult>& results,
           const std::function<void(size_t)>& progress, const std::atomic<bool>& cancel);

 private:
  // Sends a discover and waits until every MAC in `wanted` answered (with
  // the entry's protocol) or the time-out; records[i] filled for the found.
  void Discover(const std::vector<BulkEntry>& entries, const std::vector<bool>& wanted,
                std::vector<ModuleRecord>& records, std::vector<bool>& found);
  BulkResult ConfigureOne(const BulkEntry& entry, const ModuleRecord& module,
                          const std::string& password);

  const LibraryApi& api_;
  HostEvents& events_;
  BulkTimes times_;
};

// A thread-safe HostEvents: the front end's callback (or its window
// thread) pushes, the runner waits.
class HostEventQueue : public HostEvents {
 public:
  void Push(const HostEvent& event);
  void Drop() override;
  bool Wait(const std::function<bool(const HostEvent&)>& wanted, uint32_t timeoutMs,
            HostEvent& out) override;

 private:
  struct State;
  std::shared_ptr<State> state_ = MakeState();
  static std::shared_ptr<State> MakeState();
};

}  // namespace pelmar
