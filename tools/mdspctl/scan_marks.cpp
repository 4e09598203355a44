#include "scan_marks.h"

#include "api.h"
#include "mdsp.h"
#include "module_texts.h"

namespace mdspctl {

std::vector<uint32_t> ScanningAddresses(const CommandLine& cli) {
  std::vector<uint32_t> out;
  if (cli.has("nic")) {
    for (const std::string& text : cli.options.at("nic")) {
      uint32_t address;
      if (pelmar::ParseIpv4Text(text, address)) out.push_back(address);
    }
    return out;
  }
  int32_t count = 0;
  if (Api().MDSP_GetNumberOfNics(&count) != MDSP_RESULT_OK) return out;
  for (int32_t i = 0; i < count; ++i) {
    uint32_t address = 0;
    if (Api().MDSP_GetNicInfo(static_cast<uint32_t>(i), &address, nullptr, nullptr, 0) ==
        MDSP_RESULT_OK)
      out.push_back(address);
  }
  return out;
}

std::vector<std::string> MarkRows(std::vector<ModuleRow>& rows,
                                  const std::vector<pelmar::HostNetwork>& scanning,
                                  const std::optional<std::set<pelmar::MacBytes>>& previous) {
  std::vector<pelmar::MarkSubject> subjects;
  for (const ModuleRow& r : rows) subjects.push_back(r.subject);
  const pelmar::ModuleMarks marks =
      pelmar::ComputeMarks(subjects, pelmar::SubnetsOf(scanning), previous);
  for (size_t i = 0; i < rows.size(); ++i) rows[i].marks = marks.marks[i];
  std::vector<std::string> gone;
  for (const pelmar::MacBytes& mac : marks.gone) gone.push_back(pelmar::MacText(mac.data()));
  return gone;
}

std::string FormatGone(const std::vector<std::string>& gone) {
  if (gone.empty()) return "";
  std::string line = pelmar::GoneText(gone.size()) + ":";
  for (size_t i = 0; i < gone.size(); ++i) line += (i ? ", " : " ") + gone[i];
  return line + "\n";
}

bool PickMoveNetwork(const std::vector<pelmar::HostNetwork>& scanning,
                     pelmar::HostNetwork& network, std::string& error) {
  if (scanning.size() == 1) {
    network = scanning.front();
    return true;
  }
  if (scanning.empty()) {
    error = "--ip auto: none of the interfaces used has an IPv4 network (see 'mdspctl nics')";
    return false;
  }
  error = "--ip auto: the host scans on " + std::to_string(scanning.size()) +
          " networks; choose one with --nic ADDRESS";
  return false;
}

}  // namespace mdspctl
