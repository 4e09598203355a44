#include "commands.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <thread>

#include "auth_answer.h"
#include "configure_plan.h"
#include "module_texts.h"
#include "exit_codes.h"
#include "api.h"
#include "mdsp.h"
#include "module_rows.h"
#include "name_command.h"
#include "password_input.h"
#include "host_networks.h"
#include "scan_marks.h"
#include "read_back_step.h"
#include "session.h"
#include "thorough_scan.h"

namespace mdspctl {
namespace {

constexpr uint32_t kScanTimeoutMs = 2000;
constexpr uint32_t kWinkTimeoutMs = 2000;
constexpr uint32_t kConfigureTimeoutMs = 3000;
constexpr uint32_t kRestartTimeoutMs = 3000;
constexpr uint32_t kDefaultPingWindowS = 10;
constexpr uint32_t kMaxTimeoutMs = 600000;

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "mdspctl: %s\n", message.c_str());
  return code;
}

bool ReadTimeout(const CommandLine& cli, uint32_t fallback, uint32_t& timeoutMs) {
  timeoutMs = fallback;
  return !cli.has("timeout") || ParseUnsigned(cli.value("timeout"), kMaxTimeoutMs, timeoutMs);
}

bool ReadByte(const CommandLine& cli, const char* name, uint32_t& value) {
  value = 1;
  return !cli.has(name) || ParseUnsigned(cli.value(name), 255, value);
}

struct Target {
  uint32_t index = 0;
  ModuleRow row;
};

bool SameMac(const uint8_t a[6], const uint8_t b[6]) { return std::memcmp(a, b, 6) == 0; }

// Discovers and picks the module with that MAC. A module that speaks both
// protocols is listed twice; its secure entry is preferred, since only that
// one confirms requests. With `listed` the discover runs its whole time and
// every entry found is given back.
int FindModule(Session& session, const CommandLine& cli, uint32_t timeoutMs, Target& target,
               std::vector<uint32_t>* listed = nullptr) {
  uint8_t mac[6];
  if (!pelmar::ParseMacText(cli.value("mac"), mac))
    return Fail(kExitUsage, "--mac needs a MAC address like 02-00-00-00-10-01");
  std::vector<uint32_t> indexes;
  std::string error;
  // A request follows, so the configure interface may be asked about a
  // secure module with a broken description.
  constexpr auto kCheck = pelmar::SecureCheck::MayStartRequest;
  auto isSecureTarget = [&](uint32_t index) {
    uint8_t found[6];
    return Api().SMDSP_GetModuleMac(index, found) == MDSP_RESULT_OK && SameMac(found, mac) &&
           pelmar::IsSecureModule(Api(), index, kCheck);
  };
  int code = session.Discover(timeoutMs, indexes, error,
                             listed ? std::function<bool(uint32_t)>() : isSecureTarget);
  if (code != kExitOk) return Fail(code, error);
  if (listed) *listed = indexes;
  bool found = false;
  for (uint32_t index : indexes) {
    uint8_t entryMac[6];
    if (Api().SMDSP_GetModuleMac(index, entryMac) != MDSP_RESULT_OK || !SameMac(entryMac, mac))
      continue;
    ModuleRow row = ReadModuleRow(index, kCheck);
    if (!found || (row.secure && !target.row.secure)) {
      target.index = index;
      target.row = row;
      found = true;
    }
  }
  if (!found)
    return Fail(kExitNoModule, "no module with MAC " + pelmar::MacText(mac) + " answered the discover");
  return kExitOk;
}

// Waits for the module's answer to a request; `done` is the event that
// means success. Returns the exit code and prints what happened.
int AwaitAnswer(Session& session, const Target& target, int32_t done, uint32_t timeoutMs,
                const std::string& what) {
  uint8_t mac[6];
  pelmar::ParseMacText(target.row.mac, mac);
  ModuleEvent e;
  auto fromTarget = [&](const ModuleEvent& x) {
    return x.event != SMDSP_EVENT_MODULE_FOUND && x.event != SMDSP_EVENT_RESTART_REPORT &&
           SameMac(x.mac, mac);
  };
  if (!session.WaitEvent(fromTarget, timeoutMs, e))
    return Fail(kExitTimeout, "no answer from " + target.row.mac + " to the " + what +
                                  " request within " + std::to_string(timeoutMs) + " ms");
  std::string status = " (status " + std::to_string(e.argument) + ")";
  switch (e.event) {
    case SMDSP_EVENT_INVALID_PASSWORD:
    case SMDSP_EVENT_INVALID_PASSWORD_2:
      return Fail(kExitWrongPassword, target.row.mac + " refused the " + what +
                                          " request: invalid password");
    case SMDSP_EVENT_HOSTNAME_TOO_LONG:
      return Fail(kExitRefused, target.row.mac + " refused the configuration: host name too long");
    case SMDSP_EVENT_PASSWORD_TOO_LONG:
      return Fail(kExitRefused, target.row.mac + " refused the configuration: password too long");
    case SMDSP_EVENT_INVALID_CONFIGURATION:
      return Fail(kExitRefused, target.row.mac + " refused the configuration: invalid values" +
                                    (e.argument ? status : ""));
    default:
      if (e.event == done) return kExitOk;
      return Fail(kExitRefused, target.row.mac + " was unable to fulfil the " + what +
                                    " request" + status);
  }
}

// A request the library could not complete. For a secure module result 8
// almost always means the module did not hand out a seed in time; for a text
// module's configure it means the text did not fit its 512 bytes.
int SendFailure(int32_t result, const std::string& what, bool textConfigure = false) {
  if (result == MDSP_RESULT_FAILED && textConfigure)
    return Fail(kExitUsage, what + " failed: request too long for a text-protocol module "
                                   "(at most 511 characters; shorten the host name or "
                                   "passwords)");
  if (result == MDSP_RESULT_FAILED)
    return Fail(kExitTimeout, what + " failed: the module did not answer the authentication "
                                     "request, or the request could not be sent");
  return Fail(kExitLibrary, what + " failed: " + ResultText(result));
}

// Chooses the free address of `configure --ip auto` and puts the move into
// the plan: address, the network's mask and gateway (unless given), DHCP off
// (unless given). Printed before the password is asked for.
int PlanMove(const CommandLine& cli, const Target& target, const std::vector<uint32_t>& listed,
             ConfigurePlan& plan) {
  std::vector<pelmar::MarkSubject> subjects;
  size_t targetAt = 0;
  for (uint32_t index : listed) {
    pelmar::ModuleRecord record;
    pelmar::ReadModuleRecord(Api(), index, &record);
    if (index == target.index) targetAt = subjects.size();
    subjects.push_back(pelmar::MarkSubjectOf(record));
  }
  const auto host = pelmar::platform::ListHostNetworks();
  const auto scanning = pelmar::ScanningNetworks(host, ScanningAddresses(cli));
  pelmar::HostNetwork network;
  std::string error;
  if (!PickMoveNetwork(scanning, network, error)) return Fail(kExitUsage, error);
  const auto marks = pelmar::ComputeMarks(subjects, pelmar::SubnetsOf(scanning), std::nullopt);
  if (subjects.empty() || !pelmar::MarksAllowMove(marks.marks[targetAt]))
    return Fail(kExitUsage, "--ip auto moves a module on another network or without an "
                            "address; " + target.row.mac + " is on " +
                            pelmar::NetworkLabel(network) + " already");
  const auto address = pelmar::ChooseFreeAddress(
      network, pelmar::TakenAddresses(subjects, host), [&network](uint32_t candidate) {
        return pelmar::platform::NeighbourAnswers(candidate, network.name);
      });
  if (!address)
    return Fail(kExitLibrary, "--ip auto: no free address found on " +
                                  pelmar::NetworkLabel(network) + " (" +
                                  std::to_string(pelmar::kMaxAddressProbes) +
                                  " addresses probed answered)");
  plan.ip = *address;
  if (!plan.mask) plan.mask = network.mask;
  if (!plan.gateway) plan.gateway = network.gateway;
  if (!plan.dhcp) plan.dhcp = false;
  std::printf("%s: free address %s on %s, mask %s, gateway %s\n", target.row.mac.c_str(),
              pelmar::Ipv4Text(*address).c_str(), pelmar::NetworkLabel(network).c_str(),
              pelmar::Ipv4Text(*plan.mask).c_str(), pelmar::Ipv4Text(*plan.gateway).c_str());
  std::fflush(stdout);
  return kExitOk;
}

}  // namespace

int RunNics(const CommandLine&) {
  const char* none =
      "no usable network interface: looked for one that is up and has an IPv4 address "
      "('ip -4 address' shows them all)";
  int32_t count = 0;
  if (Api().MDSP_GetNumberOfNics(&count) != MDSP_RESULT_OK) return Fail(kExitLibrary, none);
  for (int32_t i = 0; i < count; ++i) {
    uint32_t address = 0;
    uint8_t mac[6] = {};
    char description[64] = {};
    if (Api().MDSP_GetNicInfo(static_cast<uint32_t>(i), &address, mac, description,
                        sizeof description) != MDSP_RESULT_OK)
      continue;
    std::printf("%d  %-15s  %s  %s\n", i, pelmar::Ipv4Text(address).c_str(), pelmar::MacText(mac).c_str(),
                description);
  }
  if (count == 0) std::fprintf(stderr, "mdspctl: %s\n", none);
  return kExitOk;
}

int RunScan(const CommandLine& cli) {
  uint32_t timeoutMs;
  if (cli.has("json") && cli.has("csv")) return Fail(kExitUsage, "--json and --csv exclude each other");
  if (!ReadTimeout(cli, kScanTimeoutMs, timeoutMs))
    return Fail(kExitUsage, "--timeout needs milliseconds");
  pelmar::ScanRounds rounds;
  std::string error;
  if (!ReadScanRounds(cli, rounds, error)) return Fail(kExitUsage, error);
  Session session;
  int code = session.Open(cli, error);
  if (code != kExitOk) return Fail(code, error);
  std::vector<ModuleRow> rows;
  if (rounds.rounds > 1) {
    code = ScanInRounds(session, rounds, timeoutMs, rows, error);
    if (code != kExitOk) return Fail(code, error);
  } else {
    std::vector<uint32_t> indexes;
    code = session.Discover(timeoutMs, indexes, error);
    if (code != kExitOk) return Fail(code, error);
    for (uint32_t index : indexes) {
      ModuleRow row = ReadModuleRow(index, pelmar::SecureCheck::ReadOnly);
      if (row.macValid) rows.push_back(row);
    }
  }
  AttachNames(rows);
  // Marks: the whole list against the scanning networks and the remembered scan.
  const std::string memory = pelmar::platform::RememberedScanPath();
  const auto scanning =
      pelmar::ScanningNetworks(pelmar::platform::ListHostNetworks(), ScanningAddresses(cli));
  const std::vector<std::string> gone =
      MarkRows(rows, scanning, pelmar::platform::LoadRememberedScan(memory));
  std::fputs((cli.has("json")  ? FormatJson(rows, gone)
              : cli.has("csv") ? FormatCsv(rows)
                               : FormatTable(rows) + FormatGone(gone))
                 .c_str(),
             stdout);
  if (cli.has("remember")) {
    std::set<pelmar::MacBytes> macs;
    for (const ModuleRow& r : rows) macs.insert(r.subject.mac);
    if (!pelmar::platform::SaveRememberedScan(memory, macs))
      return Fail(kExitLibrary, "cannot keep the list in " +
                                    (memory.empty() ? std::string("the state folder") : memory));
  }
  return kExitOk;
}

int RunWink(const CommandLine& cli) {
  uint32_t timeoutMs, value;
  if (!cli.has("mac")) return Fail(kExitUsage, "wink needs --mac");
  if (!ReadTimeout(cli, kWinkTimeoutMs, timeoutMs))
    return Fail(kExitUsage, "--timeout needs milliseconds");
  if (!ReadByte(cli, "value", value)) return Fail(kExitUsage, "--value needs 0 to 255");
  Session session;
  std::string error;
  int code = session.Open(cli, error);
  if (code != kExitOk) return Fail(code, error);
  Target target;
  if ((code = FindModule(session, cli, timeoutMs, target)) != kExitOk) return code;

  std::string password;
  if (target.row.secure && !ReadPassword("Password for " + target.row.mac + ": ", password, error))
    return Fail(kExitUsage, error);
  SmdspCredentials credentials{password.c_str(), nullptr, nullptr};
  session.DropEvents();
  int32_t result = Api().SMDSP_SendWink(target.index, static_cast<int32_t>(value), &credentials);
  if (result != MDSP_RESULT_OK) return SendFailure(result, "wink");
  if (!target.row.secure) {
    // The text protocol has no answer to a wink.
    std::printf("wink sent to %s (text protocol, not confirmed)\n", target.row.mac.c_str());
    return kExitOk;
  }
  code = AwaitAnswer(session, target, SMDSP_EVENT_WINKED, timeoutMs, "wink");
  if (code == kExitOk) std::printf("%s winked\n", target.row.mac.c_str());
  return code;
}

int RunConfigure(const CommandLine& cli) {
  uint32_t timeoutMs;
  ConfigurePlan plan;
  std::string error;
  if (!cli.has("mac")) return Fail(kExitUsage, "configure needs --mac");
  if (!ReadTimeout(cli, kConfigureTimeoutMs, timeoutMs))
    return Fail(kExitUsage, "--timeout needs milliseconds");
  if (!ReadConfigurePlan(cli, plan, error)) return Fail(kExitUsage, error);
  Session session;
  int code = session.Open(cli, error);
  if (code != kExitOk) return Fail(code, error);
  Target target;
  const bool autoAddress = AutoAddressAsked(cli);
  std::vector<uint32_t> listed;
  if ((code = FindModule(session, cli, timeoutMs, target, autoAddress ? &listed : nullptr)) !=
      kExitOk)
    return code;
  if (autoAddress && (code = PlanMove(cli, target, listed, plan)) != kExitOk) return code;
  if (!CheckPlanForModule(plan, target.row.secure, target.row.hostNameKnown, error))
    return Fail(kExitUsage, error);
  pelmar::ModuleRecord before;  // what the read-back compares against
  pelmar::ReadModuleRecord(Api(), target.index, &before);

  std::string password, newPassword;
  if (!ReadPassword("Password for " + target.row.mac + ": ", password, error) ||
      (plan.newPassword && !ReadNewPassword(newPassword, error)))
    return Fail(kExitUsage, error);

  // A seeded text module never sees a password: it gets MD5 answers salted
  // with its seed instead. Any seed counts, even a short or empty one.
  bool seeded = !target.row.secure && target.row.seedKnown;
  if (!CheckTextPassword(target.row.secure, seeded, password, "the password", error) ||
      !CheckTextPassword(target.row.secure, seeded, newPassword, "the new password", error))
    return Fail(kExitUsage, error);
  pelmar::ConfigureRequest request;
  if (!pelmar::BuildConfigureRequest(plan, target.row.secure, target.row.hostName,
                                     pelmar::PasswordRuleFor(target.row.secure, seeded,
                                                             target.row.seed),
                                     password, newPassword, pelmar::SystemRandom, &request))
    return Fail(kExitLibrary, "cannot compute the password answer (MD5 unavailable)");

  if (target.row.secure && !CheckSecurePayload(request.values, error))
    return Fail(kExitUsage, error);
  const pelmar::StageResult stage =
      pelmar::StageConfigureRequest(Api(), target.index, request.values);
  int32_t result = stage.result;
  if (!stage.ok() && stage.refused &&
      (result == MDSP_RESULT_TEXT_TOO_LONG || stage.refused->isText))
    return Fail(kExitUsage, std::string(stage.refused->tag == 6 ? "host name" : "new password") +
                                " not accepted: " + ResultText(result) +
                                (target.row.secure ? " (at most 255 characters)"
                                                   : " (at most 127 characters)"));
  if (!stage.ok()) return Fail(kExitLibrary, "configure: " + ResultText(result));
  SmdspCredentials credentials{request.authentication.c_str(), nullptr, nullptr};
  session.DropEvents();
  result = Api().SMDSP_SendConfigure(&credentials);
  if (result == MDSP_RESULT_TEXT_TOO_LONG)
    return Fail(kExitUsage, "password too long for a text-protocol module (at most 127 characters)");
  if (result != MDSP_RESULT_OK) return SendFailure(result, "configure", !target.row.secure);
  code = AwaitAnswer(session, target, SMDSP_EVENT_CONFIGURED, timeoutMs, "configure");
  if (code != kExitOk) return code;
  std::printf("%s configured\n", target.row.mac.c_str());
  std::fflush(stdout);
  // Accepted is not applied: scan again and compare what the module reports.
  pelmar::ReadBack readBack;
  if (!ReadBackModule(session, before, plan, kScanTimeoutMs, readBack, error))
    return Fail(kExitLibrary, error);
  std::printf("%s read back: %s\n", target.row.mac.c_str(), pelmar::ReadBackText(readBack).c_str());
  if (!readBack.confirmed())
    return Fail(kExitReadBackDiffers, target.row.mac + " accepted the configuration, but the "
                                                       "read-back differs");
  return kExitOk;
}

int RunRestart(const CommandLine& cli) {
  uint32_t timeoutMs, value, window = kDefaultPingWindowS;
  if (!cli.has("mac")) return Fail(kExitUsage, "restart needs --mac");
  if (!ReadTimeout(cli, kRestartTimeoutMs, timeoutMs))
    return Fail(kExitUsage, "--timeout needs milliseconds");
  if (!ReadByte(cli, "value", value)) return Fail(kExitUsage, "--value needs 0 to 255");
  if (cli.has("ping-window") && (!ParseUnsigned(cli.value("ping-window"), 3600, window) || !window))
    return Fail(kExitUsage, "--ping-window needs 1 to 3600 seconds");
  Session session;
  std::string error;
  int code = session.Open(cli, error);
  if (code != kExitOk) return Fail(code, error);
  Target target;
  if ((code = FindModule(session, cli, timeoutMs, target)) != kExitOk) return code;
  if (!target.row.secure)
    return Fail(kExitUsage, "restart needs a secure-protocol module; " + target.row.mac +
                                " speaks only the text protocol");
  std::string password;
  if (!ReadPassword("Password for " + target.row.mac + ": ", password, error))
    return Fail(kExitUsage, error);

  // The library keeps the credentials until its restart report: they live
  // until the end of this function, after the report.
  SmdspCredentials credentials{password.c_str(), nullptr, nullptr};
  Session::ExpectReportElements(1);  // the discover emptied the restart list
  session.DropEvents();
  int32_t result = Api().SMDSP_SendRestart(target.index, static_cast<int32_t>(value), &credentials);
  if (result != MDSP_RESULT_OK) return SendFailure(result, "restart");
  code = AwaitAnswer(session, target, SMDSP_EVENT_RESTARTED, timeoutMs, "restart");
  if (code == kExitWrongPassword || code == kExitRefused) return code;
  if (code == kExitOk) std::printf("%s restarting\n", target.row.mac.c_str());

  // Ping until the library closes the window with its report.
  auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(window + 15);
  ModuleEvent report;
  auto isReport = [](const ModuleEvent& e) { return e.event == SMDSP_EVENT_RESTART_REPORT; };
  for (;;) {
    if (std::chrono::steady_clock::now() > giveUp)
      return Fail(kExitTimeout, "no restart report from the library");
    Api().SMDSP_SendPing(window);
    if (session.WaitEvent(isReport, 1000, report)) break;
  }
  if (report.report.empty() || report.report[0].elapsed < 0)
    return Fail(kExitTimeout, target.row.mac + " did not answer within the ping window of " +
                                  std::to_string(window) + " s");
  std::printf("%s answered %.0f s after the restart\n", target.row.mac.c_str(),
              report.report[0].elapsed);
  return kExitOk;
}

}  // namespace mdspctl
