#include "module_names.h"

#include <vector>

#include "module_texts.h"
#include "visible_text.h"

namespace pelmar {
namespace {

constexpr char kHeader[] = "# Pelmar module names 1";

// Cuts at most `limit` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\n");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\n") - first + 1);
}

std::string CleanText(const std::string& raw, size_t limit, bool lines) {
  std::string text = display_text::ModuleTextAsUtf8(raw);
  std::string out;
  for (size_t at = 0; at < text.size(); ++at) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c == '\r' && lines && at + 1 < text.size() && text[at + 1] == '\n') continue;
    if (c == '\n' && lines) {
      out += '\n';
    } else if (c < 0x20 || c == 0x7F) {
      out += ' ';
    } else if (c == 0xC2 && at + 1 < text.size() &&
               static_cast<unsigned char>(text[at + 1]) < 0xA0) {
      out += ' ';  // a C1 control
      ++at;
    } else {
      out += static_cast<char>(c);
    }
  }
  return CutUtf8(Trim(out), limit);
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

bool Unescape(const std::string& text, std::string& out) {
  out.clear();
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '\\') {
      out += text[at];
      continue;
    }
    if (++at == text.size()) return false;
    switch (text[at]) {
      case '\\': out += '\\'; break;
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: return false;
    }
  }
  return true;
}

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(by, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

}  // namespace

ModuleNote CleanModuleNote(const ModuleNote& note) {
  return {CleanText(note.name, kNameLimit, false), CleanText(note.note, kNoteLimit, true)};
}

const ModuleNote* ModuleNames::Find(const uint8_t mac[6]) const {
  auto it = entries_.find(MacText(mac));
  return it == entries_.end() ? nullptr : &it->second;
}

void ModuleNames::Set(const uint8_t mac[6], const ModuleNote& note) {
  ModuleNote clean = CleanModuleNote(note);
  if (clean.name.empty() && clean.note.empty())
    entries_.erase(MacText(mac));
  else
    entries_[MacText(mac)] = std::move(clean);
}

std::string ModuleNames::Compose() const {
  std::string out = std::string(kHeader) + "\n";
  for (const auto& [mac, note] : entries_)
    out += mac + "\t" + Escape(note.name) + "\t" + Escape(note.note) + "\n";
  return out;
}

bool ModuleNames::Parse(const std::string& text) {
  if (text.size() > kNamesFileLimit || !display_text::IsWellFormedUtf8(text)) return false;
  std::vector<std::string> lines = Split(text, '\n');
  if (lines.empty() || lines[0] != kHeader) return false;
  // The file ends with a line feed; a last line without one was cut short.
  if (!lines.back().empty()) return false;
  lines.pop_back();
  std::map<std::string, ModuleNote> parsed;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> fields = Split(lines[i], '\t');
    uint8_t mac[6];
    ModuleNote note;
    if (fields.size() != 3 || !ParseMacText(fields[0], mac) || MacText(mac) != fields[0] ||
        !Unescape(fields[1], note.name) || !Unescape(fields[2], note.note))
      return false;
    note = CleanModuleNote(note);
    if (note.name.empty() && note.note.empty()) continue;
    parsed[fields[0]] = std::move(note);
  }
  entries_ = std::move(parsed);
  return true;
}

std::string NameStatusPiece(const ModuleNote* note) { return note ? note->name : ""; }

std::string NameTooltip(const ModuleNote* note) {
  if (!note) return "";
  std::string out;
  if (!note->name.empty()) out += "Name: " + note->name;
  if (!note->note.empty()) out += (out.empty() ? "Note: " : "\nNote: ") + note->note;
  return out;
}

}  // namespace pelmar
