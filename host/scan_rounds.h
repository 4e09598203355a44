// Thorough scans: a scan of several discover rounds a little apart, whose
// answers are merged by MAC and protocol, so that a module whose answer was
// lost in one round is still listed once. Also the "Scan rounds" setting, kept
// in a small file of our own beside settings.dat, and finding a module of an
// earlier round again before a request goes to it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "module_record.h"

namespace pelmar {

struct LibraryApi;

inline constexpr uint32_t kMinScanRounds = 1;
inline constexpr uint32_t kMaxScanRounds = 5;
inline constexpr uint32_t kDefaultScanIntervalMs = 200;
inline constexpr uint32_t kMaxScanIntervalMs = 10000;

struct ScanRounds {
  uint32_t rounds = kMinScanRounds;  // 1: the single discover of a plain scan
  uint32_t intervalMs = kDefaultScanIntervalMs;
  bool operator==(const ScanRounds&) const = default;
};

// "rounds=N\ninterval=MS\n".
std::string FormatScanRounds(const ScanRounds& setting);
// False for a damaged text: unknown or repeated keys, values out of range,
// anything but those lines. Both keys are optional.
bool ParseScanRounds(const std::string& text, ScanRounds* out);
// "scan_rounds.txt" in the folder of settings.dat; "" for "".
std::string ScanRoundsPath(const std::string& settingsPath);
// The saved setting; the default for a missing, oversized or damaged file.
ScanRounds LoadScanRounds(const std::string& path);
// Writes the file whole (temporary file renamed over the old one).
bool SaveScanRounds(const std::string& path, const ScanRounds& setting);

// The modules of one scan of one or more rounds, one entry per MAC and
// protocol. The latest answer wins, and each entry remembers the round it
// came from: only an entry of the current round has a valid table index,
// since every round's discover empties the library's module table.
class MergedScan {
 public:
  struct Entry {
    ModuleRecord record;
    uint32_t round = 0;
  };

  void Clear();
  // The next round's discover is about to go out.
  void BeginRound() { ++round_; }
  uint32_t round() const { return round_; }

  // Takes the record read from the current table. `added` is false when it
  // replaced an earlier answer of the same module; `position` is its entry.
  struct AddResult {
    size_t position = 0;
    bool added = false;
  };
  AddResult Add(const ModuleRecord& record);
  const std::vector<Entry>& entries() const { return entries_; }
  const Entry* Find(const uint8_t mac[6], bool secure) const;
  // Whether the entry's index addresses the current table.
  bool Current(const Entry& entry) const { return entry.round == round_; }

 private:
  std::vector<Entry> entries_;
  uint32_t round_ = 0;
};

// The index of the module with that MAC and protocol in the library's
// current module table, looking at entries until the first one that cannot
// be read.
std::optional<uint32_t> FindInTable(const LibraryApi& api, const uint8_t mac[6], bool secure);

// How FindModuleAgain asks once more.
struct RefindSteps {
  std::function<bool()> discover;            // sends one discover
  std::function<void(uint32_t ms)> sleep;    // waits between looks
  uint32_t waitMs = 600;                     // looked for this long after each discover
  uint32_t lookEveryMs = 20;
};

inline constexpr int kRefindDiscovers = 3;

// The current table index of the record's module: its own index if that
// still names it, else wherever it is in the current table, else after up
// to three more discovers. Nothing when it stayed silent.
std::optional<uint32_t> FindModuleAgain(const LibraryApi& api, const ModuleRecord& record,
                                        const RefindSteps& steps);

inline constexpr const char kModuleSilentText[] = "The module did not answer. Please scan again.";

}  // namespace pelmar
