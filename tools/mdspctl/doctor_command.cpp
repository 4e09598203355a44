// mdspctl doctor: prints the host core's doctor report.
#include <cstdio>

#include "api.h"
#include "commands.h"
#include "doctor.h"
#include "exit_codes.h"

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
  std::fputs((cli.has("json") ? pelmar::DoctorReportJson(report)
                              : pelmar::DoctorReportText(report)).c_str(),
             stdout);
  return report.healthy() ? kExitOk : kExitDoctorFindings;
}

}  // namespace mdspctl
