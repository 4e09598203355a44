#include "bulk_runner.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

#include "configure_request.h"
#include "mdsp.h"
#include "module_texts.h"

namespace pelmar {
namespace {

using Clock = std::chrono::steady_clock;

bool SameMac(const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, 6) == 0; }

uint32_t LeftMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<uint32_t>(left.count()) : 0;
}

}  // namespace

void BulkRunner::Discover(const std::vector<BulkEntry>& entries, const std::vector<bool>& wanted,
                          std::vector<ModuleRecord>& records, std::vector<bool>& found) {
  size_t missing = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    found[i] = false;
    missing += wanted[i];
  }
  events_.Drop();
  if (api_.SMDSP_SendDiscover(nullptr) != MDSP_RESULT_OK) return;
  const auto deadline = Clock::now() + std::chrono::milliseconds(times_.discoverMs);
  HostEvent e;
  while (missing) {
    const uint32_t left = LeftMs(deadline);
    if (!left) break;
    auto moduleFound = [](const HostEvent& x) { return x.event == SMDSP_EVENT_MODULE_FOUND; };
    if (!events_.Wait(moduleFound, left, e)) break;
    ModuleRecord record;
    ReadModuleRecord(api_, static_cast<uint32_t>(e.index), &record);
    if (!record.macValid) continue;
    for (size_t i = 0; i < entries.size(); ++i) {
      if (!wanted[i] || found[i] || !SameMac(record.mac, entries[i].mac.data()) ||
          record.secure != entries[i].secure)
        continue;
      record.moduleIndex = static_cast<uint32_t>(e.index);
      records[i] = record;
      found[i] = true;
      --missing;
    }
  }
}

BulkResult BulkRunner::ConfigureOne(const BulkEntry& entry, const ModuleRecord& module,
                                    const std::string& password) {
  // The dialog's request and password rules: a seeded text module gets the
  // MD5 answer, never the password.
  const bool seeded = !module.secure && module.seedValid;
  if (SemicolonBreaksPassword(module.secure, seeded, password))
    return {BulkState::Failed, "this module does not accept ';' in a password"};
  ConfigureRequest request;
  const std::string hostName(module.hostName, strnlen(module.hostName, sizeof module.hostName));
  if (!BuildConfigureRequest(entry.plan, module.secure, hostName,
                             PasswordRuleFor(module.secure, seeded, module.seedText), password, "",
                             SystemRandom, &request))
    return {BulkState::Failed, "cannot compute the password answer"};
  std::string error;
  if (module.secure && !CheckSecurePayload(request.values, error))
    return {BulkState::Failed, error};
  if (!StageConfigureRequest(api_, module.moduleIndex, request.values).ok())
    return {BulkState::Failed, "the library refused a value"};
  events_.Drop();
  SmdspCredentials credentials{request.authentication.c_str(), nullptr, nullptr};
  const int32_t sent = api_.SMDSP_SendConfigure(&credentials);
  if (sent == MDSP_RESULT_FAILED && module.secure)
    return {BulkState::NoAnswer, "no answer within the time-out (no seed)"};
  if (sent != MDSP_RESULT_OK)
    return {BulkState::Failed, "could not be sent (result " + std::to_string(sent) + ")"};
  HostEvent e;
  auto fromModule = [&](const HostEvent& x) {
    return x.event != SMDSP_EVENT_MODULE_FOUND && x.event != SMDSP_EVENT_RESTART_REPORT &&
           SameMac(x.mac, module.mac);
  };
  if (!events_.Wait(fromModule, times_.answerMs, e))
    return {BulkState::NoAnswer,
            "no answer within " + std::to_string(times_.answerMs) + " ms"};
  switch (e.event) {
    case SMDSP_EVENT_CONFIGURED:
      return {BulkState::Accepted, "accepted"};
    case SMDSP_EVENT_INVALID_PASSWORD:
    case SMDSP_EVENT_INVALID_PASSWORD_2:
      return {BulkState::WrongPassword, "wrong password"};
    case SMDSP_EVENT_HOSTNAME_TOO_LONG:
      return {BulkState::Refused, "refused: host name too long"};
    case SMDSP_EVENT_PASSWORD_TOO_LONG:
      return {BulkState::Refused, "refused: password too long"};
    case SMDSP_EVENT_INVALID_CONFIGURATION:
      return {BulkState::Refused, "refused: invalid configuration"};
    default:
      return {BulkState::Refused, "refused: unable to fulfil the request"};
  }
}

void BulkRunner::Run(const std::vector<BulkEntry>& entries, const std::vector<bool>& run,
                     const std::function<std::string(size_t)>& password,
                     std::vector<BulkResult>& results, const std::function<void(size_t)>& progress,
                     const std::atomic<bool>& cancel) {
  const size_t n = entries.size();
  results.resize(n);
  std::vector<ModuleRecord> before(n), after(n);
  std::vector<bool> found(n), present(n);
  Discover(entries, run, before, present);
  for (size_t i = 0; i < n; ++i) {
    if (run[i] && !present[i]) {
      results[i] = {BulkState::NotFound, "no answer to the discover"};
      if (progress) progress(i);
    }
  }

  std::vector<bool> readBack(n, false);
  bool anyAccepted = false;
  for (size_t i = 0; i < n; ++i) {
    if (!run[i] || !present[i]) continue;
    if (cancel) {
      results[i] = {BulkState::Cancelled, "not sent: cancelled"};
      if (progress) progress(i);
      continue;
    }
    results[i] = {BulkState::Planned, "sending..."};
    if (progress) progress(i);
    results[i] = ConfigureOne(entries[i], before[i], password ? password(i) : std::string());
    if (results[i].state == BulkState::Accepted) readBack[i] = anyAccepted = true;
    if (progress) progress(i);
  }
  if (!anyAccepted) return;

  Discover(entries, readBack, after, found);
  for (size_t i = 0; i < n; ++i) {
    if (!readBack[i]) continue;
    const ReadBack rb = CompareReadBack(entries[i].plan, before[i], found[i] ? &after[i] : nullptr);
    results[i] = {rb.confirmed() ? BulkState::Confirmed : BulkState::Differs, ReadBackText(rb)};
    if (progress) progress(i);
  }
}

struct HostEventQueue::State {
  std::mutex lock;
  std::condition_variable arrived;
  std::deque<HostEvent> events;
};

std::shared_ptr<HostEventQueue::State> HostEventQueue::MakeState() {
  return std::make_shared<State>();
}

void HostEventQueue::Push(const HostEvent& event) {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->events.push_back(event);
  state_->arrived.notify_all();
}

void HostEventQueue::Drop() {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->events.clear();
}

bool HostEventQueue::Wait(const std::function<bool(const HostEvent&)>& wanted, uint32_t timeoutMs,
                          HostEvent& out) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock<std::mutex> lock(state_->lock);
  for (;;) {
    while (!state_->events.empty()) {
      HostEvent e = state_->events.front();
      state_->events.pop_front();
      if (wanted(e)) {
        out = e;
        return true;
      }
    }
    if (state_->arrived.wait_until(lock, deadline) == std::cv_status::timeout &&
        state_->events.empty())
      return false;
  }
}

}  // namespace pelmar
