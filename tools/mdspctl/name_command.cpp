#include "name_command.h"

#include <cstdio>

#include "exit_codes.h"
#include "list_export.h"
#include "module_names.h"
#include "names_file.h"
#include "settings_file.h"
#include "visible_text.h"
#include "module_texts.h"

namespace mdspctl {
namespace {

std::string NamesFilePath() { return pelmar::NamesPathBeside(pelmar::SettingsPath()); }

void WarnAboutLoad(pelmar::NamesLoad load, const std::string& warning) {
  if (load == pelmar::NamesLoad::Damaged || load == pelmar::NamesLoad::Unreadable)
    std::fprintf(stderr, "mdspctl: %s\n", display_text::VisibleText(warning).c_str());
}

}  // namespace

int RunName(const CommandLine& cli) {
  uint8_t mac[6];
  if (!cli.has("mac") || !pelmar::ParseMacText(cli.value("mac"), mac)) {
    std::fprintf(stderr, "mdspctl: name needs --mac with a MAC address like 02-00-00-00-10-01\n");
    return kExitUsage;
  }
  const bool setting = !cli.arguments.empty() || cli.has("note");
  if (cli.has("clear") && setting) {
    std::fprintf(stderr, "mdspctl: --clear takes no name or note\n");
    return kExitUsage;
  }
  const std::string path = NamesFilePath();
  if (path.empty()) {
    std::fprintf(stderr, "mdspctl: neither XDG_CONFIG_HOME nor HOME is set: no names file\n");
    return kExitLibrary;
  }
  pelmar::ModuleNames names;
  std::string warning;
  WarnAboutLoad(pelmar::LoadNames(path, names, warning), warning);
  const std::string macText = pelmar::MacText(mac);
  if (!setting && !cli.has("clear")) {
    const pelmar::ModuleNote* note = names.Find(mac);
    std::printf("%s\nname: %s\nnote: %s\n", macText.c_str(),
                note ? display_text::VisibleText(note->name).c_str() : "",
                note ? display_text::VisibleText(note->note).c_str() : "");
    return kExitOk;
  }
  pelmar::ModuleNote note;
  if (const pelmar::ModuleNote* old = names.Find(mac)) note = *old;
  if (cli.has("clear")) note = {};
  if (!cli.arguments.empty()) note.name = cli.arguments.front();
  if (cli.has("note")) note.note = cli.value("note");
  names.Set(mac, note);
  std::string error;
  if (!pelmar::SaveNames(path, names, error)) {
    std::fprintf(stderr, "mdspctl: %s\n", display_text::VisibleText(error).c_str());
    return kExitLibrary;
  }
  const pelmar::ModuleNote* kept = names.Find(mac);
  std::printf("%s\nname: %s\nnote: %s\n", macText.c_str(),
              kept ? display_text::VisibleText(kept->name).c_str() : "",
              kept ? display_text::VisibleText(kept->note).c_str() : "");
  return kExitOk;
}

void AttachNames(std::vector<ModuleRow>& rows) {
  pelmar::ModuleNames names;
  std::string warning;
  WarnAboutLoad(pelmar::LoadNames(NamesFilePath(), names, warning), warning);
  for (ModuleRow& row : rows) {
    uint8_t mac[6];
    if (!pelmar::ParseMacText(row.mac, mac)) continue;
    if (const pelmar::ModuleNote* note = names.Find(mac)) {
      row.name = note->name;
      row.note = note->note;
    }
  }
}

std::string FormatCsv(const std::vector<ModuleRow>& rows) {
  std::vector<pelmar::ListRow> list;
  for (const ModuleRow& r : rows) {
    pelmar::CellTexts cells;
    const Cell* from[6] = {&r.ip, &r.sn, &r.gw, &r.dhcp, &r.version, &r.type};
    for (int c = 0; c < 6; ++c) cells[static_cast<size_t>(c)] = from[c]->value_or("");
    cells[pelmar::kColumnMac] = r.mac;
    const pelmar::ModuleNote note{r.name.value_or(""), r.note.value_or("")};
    list.push_back(pelmar::MakeListRow(cells, r.name || r.note ? &note : nullptr, r.marks));
  }
  return pelmar::ListCsv(list);
}

}  // namespace mdspctl
