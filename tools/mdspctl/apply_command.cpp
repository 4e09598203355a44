#include "apply_command.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <atomic>

#include "api.h"
#include "bulk_runner.h"
#include "exit_codes.h"
#include "host_networks.h"
#include "module_rows.h"  // JsonString
#include "module_texts.h"
#include "password_input.h"
#include "private_file.h"
#include "scan_marks.h"
#include "session.h"

namespace mdspctl {
namespace {

constexpr uint32_t kDiscoverMs = 2000;
constexpr uint32_t kAnswerMs = 3000;

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "mdspctl: %s\n", message.c_str());
  return code;
}

// The session's event queue as the runner sees it.
class SessionEvents : public pelmar::HostEvents {
 public:
  explicit SessionEvents(Session& session) : session_(session) {}
  void Drop() override { session_.DropEvents(); }
  bool Wait(const std::function<bool(const pelmar::HostEvent&)>& wanted, uint32_t timeoutMs,
            pelmar::HostEvent& out) override {
    auto convert = [](const ModuleEvent& e) {
      pelmar::HostEvent h;
      h.event = e.event;
      h.index = e.index;
      std::copy(e.mac, e.mac + 6, h.mac);
      h.argument = e.argument;
      return h;
    };
    ModuleEvent e;
    if (!session_.WaitEvent([&](const ModuleEvent& x) { return wanted(convert(x)); }, timeoutMs, e))
      return false;
    out = convert(e);
    return true;
  }

 private:
  Session& session_;
};

int ExitCodeOf(pelmar::BulkState state) {
  switch (state) {
    case pelmar::BulkState::Confirmed: return kExitOk;
    case pelmar::BulkState::NotFound: return kExitNoModule;
    case pelmar::BulkState::Refused: return kExitRefused;
    case pelmar::BulkState::WrongPassword: return kExitWrongPassword;
    case pelmar::BulkState::NoAnswer: return kExitTimeout;
    case pelmar::BulkState::Differs: return kExitReadBackDiffers;
    default: return kExitLibrary;
  }
}

// One object per module of the plan: what it gets, what stands in its way,
// and what became of it.
void PrintJson(const std::vector<pelmar::BulkEntry>& entries,
               const std::vector<pelmar::BulkResult>& results) {
  std::string out = "[";
  for (size_t i = 0; i < entries.size(); ++i) {
    const pelmar::BulkEntry& e = entries[i];
    out += i ? ",\n " : "\n ";
    out += "{\"mac\": " + JsonString(pelmar::MacText(e.mac.data())) +
           ", \"line\": " + std::to_string(e.line) +
           ", \"plan\": " + JsonString(pelmar::PlanText(e.plan)) + ", \"problems\": [";
    for (size_t p = 0; p < e.problems.size(); ++p)
      out += (p ? ", " : "") + JsonString(e.problems[p]);
    out += "], \"result\": ";
    const bool ran = i < results.size() && results[i].state != pelmar::BulkState::Planned;
    out += ran ? JsonString(results[i].text) : "null";
    out += "}";
  }
  out += "\n]\n";
  std::fputs(out.c_str(), stdout);
}

}  // namespace

int RunApply(const CommandLine& cli) {
  const std::string path = cli.value("file");
  if (path.empty()) return Fail(kExitUsage, "apply needs a plan FILE");
  uint32_t answerMs = kAnswerMs;
  if (cli.has("timeout") && !ParseUnsigned(cli.value("timeout"), 600000, answerMs))
    return Fail(kExitUsage, "--timeout needs milliseconds");
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(kExitUsage, "cannot read " + path);
  std::stringstream text;
  text << in.rdbuf();
  std::vector<pelmar::BulkEntry> entries = pelmar::ReadBulkCsv(text.str());
  if (entries.empty()) return Fail(kExitUsage, path + " lists no module");

  // Passwords first: a refused file stops before anything goes on the wire.
  std::map<std::array<uint8_t, 6>, std::string> passwords;
  const bool fromFile = cli.has("password-file");
  std::string error;
  if (fromFile) {
    std::string lines;
    std::vector<std::pair<std::array<uint8_t, 6>, std::string>> pairs;
    if (!pelmar::ReadPrivateFile(cli.value("password-file"), lines, error) ||
        !pelmar::ReadPasswordLines(lines, pairs, error))
      return Fail(kExitUsage, "--password-file: " + error);
    for (auto& [mac, password] : pairs) passwords.emplace(mac, password);
  }

  Session session;
  int code = session.Open(cli, error);
  if (code != kExitOk) return Fail(code, error);
  std::vector<uint32_t> indexes;
  if ((code = session.Discover(kDiscoverMs, indexes, error)) != kExitOk) return Fail(code, error);
  std::vector<pelmar::ModuleRecord> listed;
  for (uint32_t index : indexes) {
    pelmar::ModuleRecord record;
    pelmar::ReadModuleRecord(Api(), index, &record);
    record.moduleIndex = index;
    if (record.macValid) listed.push_back(record);
  }
  pelmar::CheckBulkPlan(entries, listed, pelmar::platform::InterfaceSubnets(ScanningAddresses(cli)));
  if (fromFile) {
    for (pelmar::BulkEntry& e : entries)
      if (!passwords.count(e.mac)) e.problems.push_back("no password for it in the password file");
  }

  const bool json = cli.has("json");
  // The plan, one line per module, with what stands in its way.
  for (const pelmar::BulkEntry& e : json ? std::vector<pelmar::BulkEntry>{} : entries) {
    const pelmar::ModuleRecord* m = e.module >= 0 ? &listed[static_cast<size_t>(e.module)] : nullptr;
    std::printf("%s  %-15s  %s\n", pelmar::MacText(e.mac.data()).c_str(),
                m && m->ipValid ? pelmar::Ipv4Text(m->ip).c_str() : "-",
                pelmar::PlanText(e.plan).c_str());
    for (const std::string& p : e.problems)
      std::printf("    line %d: %s\n", e.line, p.c_str());
  }
  std::fflush(stdout);
  if (pelmar::PlanHasProblems(entries)) {
    if (json) PrintJson(entries, {});
    return Fail(kExitUsage, "the plan has conflicts; nothing was applied");
  }
  if (cli.has("dry-run")) {
    if (json) PrintJson(entries, {});
    else std::printf("dry run: nothing applied\n");
    return kExitOk;
  }

  std::string common;
  if (!fromFile && !ReadPassword("Password for the modules: ", common, error))
    return Fail(kExitUsage, error);

  SessionEvents events(session);
  pelmar::BulkRunner run(Api(), events, pelmar::BulkTimes{kDiscoverMs, answerMs});
  std::vector<pelmar::BulkResult> results;
  std::atomic<bool> cancel{false};
  run.Run(
      entries, std::vector<bool>(entries.size(), true),
      [&](size_t i) { return fromFile ? passwords[entries[i].mac] : common; }, results,
      [&](size_t i) {
        const pelmar::BulkResult& r = results[i];
        if (r.state == pelmar::BulkState::Planned || json) return;  // on its way
        const bool readBack =
            r.state == pelmar::BulkState::Confirmed || r.state == pelmar::BulkState::Differs;
        std::printf("%s  %s%s\n", pelmar::MacText(entries[i].mac.data()).c_str(),
                    readBack ? "read back: " : "", r.text.c_str());
        std::fflush(stdout);
      },
      cancel);
  if (json) PrintJson(entries, results);
  for (const pelmar::BulkResult& r : results)
    if (r.state != pelmar::BulkState::Confirmed)
      return Fail(ExitCodeOf(r.state), "not every module was confirmed");
  return kExitOk;
}

}  // namespace mdspctl
