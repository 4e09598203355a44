// A name and a note the user gives a module, kept per MAC in a file of our
// own beside settings.dat. The text form of the file and its rules are here;
// reading and writing the file is platform/names_file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace pelmar {

struct ModuleNote {
  std::string name;  // one line
  std::string note;  // may span lines
};

// Long enough for any sensible label; a file cannot grow without bound.
inline constexpr size_t kNameLimit = 64;
inline constexpr size_t kNoteLimit = 1024;
// A names file larger than this is not read (and counts as damaged).
inline constexpr size_t kNamesFileLimit = 1 << 20;

// The texts as they are kept: cut to the limits at a character boundary,
// invalid UTF-8 read as Latin-1, control characters of the name (and of the
// note, except line feeds) turned into spaces, surrounding white space
// trimmed.
ModuleNote CleanModuleNote(const ModuleNote& note);

class ModuleNames {
 public:
  // The entry of that MAC, or null.
  const ModuleNote* Find(const uint8_t mac[6]) const;
  // Sets the cleaned texts; both empty removes the entry.
  void Set(const uint8_t mac[6], const ModuleNote& note);
  size_t size() const { return entries_.size(); }
  const std::map<std::string, ModuleNote>& entries() const { return entries_; }

  // The file's text: a header line, then one line per MAC in MAC order,
  // "MAC<TAB>name<TAB>note" with backslash, tab, CR and LF escaped.
  std::string Compose() const;
  // Reads the file's text into a new set. False (and *this untouched) when
  // any line is malformed: a damaged file is ignored as a whole rather than
  // half believed.
  bool Parse(const std::string& text);

 private:
  std::map<std::string, ModuleNote> entries_;  // key: MacText
};

// The name's piece of the Status cell: the name, or "" without one.
std::string NameStatusPiece(const ModuleNote* note);

// The row's tooltip: "Name: ..." and "Note: ..." lines; "" without an entry.
std::string NameTooltip(const ModuleNote* note);

}  // namespace pelmar
