// mdspctl doctor: prints the host core's doctor report.
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "api.h"
#include "commands.h"
#include "doctor.h"
#include "exit_codes.h"
#include "visible_text.h"

namespace mdspctl {

int RunDoctor(const CommandLine& cli) {
  pelmar::DoctorOptions options;
  options.scan = !cli.has("no-scan");
  if (cli.has("timeout") && !ParseUnsigned(cli.value("timeout"), 60000, options.scanTimeoutMs)) {
    std::fprintf(stderr, "mdspctl: --timeout needs milliseconds (at most 60000)\n");
    return kExitUsage;
  }
  if (cli.has("nic")) options.onlyAddresses = cli.options.at("nic");
  bool started = options.scan && Api().MDSP_Start();
  pelmar::DoctorReport report = pelmar::RunDoctor(options.scan ? &Api() : nullptr, options);
  if (started) Api().MDSP_Stop();
  if (cli.has("json")) {
    std::fputs(pelmar::DoctorReportJson(report).c_str(), stdout);
  } else {
    // Interface names and firewall texts are the system's: each line is made
    // safe for the terminal, the line breaks stay.
    const std::string text = pelmar::DoctorReportText(report);
    for (size_t at = 0; at < text.size();) {
      const size_t end = std::min(text.find('\n', at), text.size());
      std::fputs((display_text::VisibleText(std::string_view(text).substr(at, end - at)) +
                  (end < text.size() ? "\n" : ""))
                     .c_str(),
                 stdout);
      at = end + 1;
    }
  }
  return report.healthy() ? kExitOk : kExitDoctorFindings;
}

}  // namespace mdspctl
