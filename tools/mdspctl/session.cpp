#include "session.h"
#include "api.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

#include "exit_codes.h"
#include "module_texts.h"

namespace mdspctl {
namespace {

std::mutex g_lock;
std::condition_variable g_arrived;
std::deque<ModuleEvent> g_events;
std::atomic<size_t> g_reportElements{0};

// Runs on the library's worker thread while it holds its locks: only queue.
int32_t MDSP_CALL OnModuleEvent(int32_t event, int32_t index, uint8_t* mac, int32_t argument,
                                void* context) {
  ModuleEvent e;
  e.event = event;
  e.index = index;
  std::memcpy(e.mac, mac, 6);
  e.argument = argument;
  if (event == SMDSP_EVENT_RESTART_REPORT && context) {
    auto* report = static_cast<SmdspRestartReport*>(context);
    e.report.assign(report, report + g_reportElements.load());
    std::free(report);  // ours from the moment it is handed over
  }
  std::lock_guard<std::mutex> guard(g_lock);
  g_events.push_back(std::move(e));
  g_arrived.notify_all();
  return 0;
}

}  // namespace

Session::~Session() {
  if (started_) Api().MDSP_Stop();
  Api().SMDSP_RegisterCallBack(nullptr);
}

void Session::ExpectReportElements(size_t count) { g_reportElements = count; }

int Session::Open(const CommandLine& cli, std::string& error) {
  int32_t count = 0;
  if (Api().MDSP_GetNumberOfNics(&count) != MDSP_RESULT_OK) {
    error = "cannot list the network interfaces";
    return kExitLibrary;
  }
  auto nics = cli.options.count("nic") ? cli.options.at("nic") : std::vector<std::string>{};
  if (nics.empty()) {
    for (int32_t i = 0; i < count; ++i) {
      uint32_t address = 0;
      if (Api().MDSP_GetNicInfo(static_cast<uint32_t>(i), &address, nullptr, nullptr, 0) ==
          MDSP_RESULT_OK)
        nics.push_back(pelmar::Ipv4Text(address));
    }
    if (nics.empty()) {
      error = "no network interface with an IPv4 address";
      return kExitLibrary;
    }
  }
  for (size_t slot = 0; slot < nics.size(); ++slot) {
    if (!Api().MDSP_SetNetworkDevice(static_cast<uint32_t>(slot), nics[slot].c_str())) {
      error = "no usable interface with address " + nics[slot] + " (see 'mdspctl nics')";
      return kExitLibrary;
    }
  }
  Api().SMDSP_RegisterCallBack(OnModuleEvent);
  if (!Api().MDSP_Start()) {
    error = "cannot start the library's worker";
    return kExitLibrary;
  }
  started_ = true;
  return kExitOk;
}

int Session::Discover(uint32_t timeoutMs, std::vector<uint32_t>& indexes, std::string& error,
                      const std::function<bool(uint32_t)>& enough) {
  DropEvents();
  int32_t result = Api().SMDSP_SendDiscover(nullptr);
  if (result != MDSP_RESULT_OK) {
    error = "discover failed: " + ResultText(result);
    return kExitLibrary;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    ModuleEvent e;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    auto found = [](const ModuleEvent& x) { return x.event == SMDSP_EVENT_MODULE_FOUND; };
    if (!WaitEvent(found, static_cast<uint32_t>(left.count()), e)) break;
    indexes.push_back(static_cast<uint32_t>(e.index));
    if (enough && enough(static_cast<uint32_t>(e.index))) break;
  }
  return kExitOk;
}

void Session::DropEvents() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_events.clear();
}

bool Session::WaitEvent(const std::function<bool(const ModuleEvent&)>& wanted, uint32_t timeoutMs,
                        ModuleEvent& out) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock<std::mutex> lock(g_lock);
  for (;;) {
    while (!g_events.empty()) {
      ModuleEvent e = std::move(g_events.front());
      g_events.pop_front();
      if (wanted(e)) {
        out = std::move(e);
        return true;
      }
    }
    if (g_arrived.wait_until(lock, deadline) == std::cv_status::timeout && g_events.empty())
      return false;
  }
}

std::string ResultText(int32_t result) {
  switch (result) {
    case MDSP_RESULT_NOT_STARTED: return "library not started";
    case MDSP_RESULT_SOCKET: return "socket failure";
    case MDSP_RESULT_BAD_INDEX: return "module no longer in the module table";
    case MDSP_RESULT_NOT_FOUND: return "value not reported by the module";
    case MDSP_RESULT_INVALID_TAG: return "value not allowed for this call";
    case MDSP_RESULT_TEXT_TOO_LONG: return "text too long for a text-protocol module";
    default: return "failed (result " + std::to_string(result) + ")";
  }
}

}  // namespace mdspctl
