#include "scan_rounds.h"

#include <cstring>
#include <sstream>

#include "library_api.h"
#include "small_file.h"

namespace pelmar {
namespace {

constexpr size_t kScanRoundsFileLimit = 256;

bool ParseNumber(const std::string& text, uint32_t max, uint32_t* out) {
  if (text.empty() || text.size() > 6) return false;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value > max) return false;
  *out = value;
  return true;
}

}  // namespace

std::string FormatScanRounds(const ScanRounds& setting) {
  return "rounds=" + std::to_string(setting.rounds) +
         "\ninterval=" + std::to_string(setting.intervalMs) + "\n";
}

bool ParseScanRounds(const std::string& text, ScanRounds* out) {
  ScanRounds parsed;
  bool haveRounds = false, haveInterval = false;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "rounds" && !haveRounds) {
      haveRounds = true;
      if (!ParseNumber(value, kMaxScanRounds, &parsed.rounds) || parsed.rounds < kMinScanRounds)
        return false;
    } else if (key == "interval" && !haveInterval) {
      haveInterval = true;
      if (!ParseNumber(value, kMaxScanIntervalMs, &parsed.intervalMs)) return false;
    } else {
      return false;
    }
  }
  *out = parsed;
  return true;
}

std::string ScanRoundsPath(const std::string& settingsPath) {
  return platform::FileBesideSettings(settingsPath, "scan_rounds.txt");
}

ScanRounds LoadScanRounds(const std::string& path) {
  ScanRounds setting;
  std::string bytes;
  // One byte more than allowed tells an oversized file from a full one.
  if (!platform::ReadSmallFile(path, kScanRoundsFileLimit + 1, &bytes) ||
      bytes.size() > kScanRoundsFileLimit || !ParseScanRounds(bytes, &setting))
    return ScanRounds{};
  return setting;
}

bool SaveScanRounds(const std::string& path, const ScanRounds& setting) {
  return platform::WriteFileWhole(path, FormatScanRounds(setting));
}

void MergedScan::Clear() {
  entries_.clear();
  round_ = 0;
}

MergedScan::AddResult MergedScan::Add(const ModuleRecord& record) {
  for (size_t i = 0; i < entries_.size(); ++i) {
    Entry& e = entries_[i];
    if (std::memcmp(e.record.mac, record.mac, 6) == 0 && e.record.secure == record.secure) {
      e.record = record;
      e.round = round_;
      return {i, false};
    }
  }
  entries_.push_back({record, round_});
  return {entries_.size() - 1, true};
}

const MergedScan::Entry* MergedScan::Find(const uint8_t mac[6], bool secure) const {
  for (const Entry& e : entries_)
    if (std::memcmp(e.record.mac, mac, 6) == 0 && e.record.secure == secure) return &e;
  return nullptr;
}

std::optional<uint32_t> FindInTable(const LibraryApi& api, const uint8_t mac[6], bool secure) {
  uint8_t found[6];
  for (uint32_t index = 0; api.SMDSP_GetModuleMac(index, found) == MDSP_RESULT_OK; ++index) {
    if (std::memcmp(found, mac, 6) == 0 &&
        IsSecureModule(api, index, SecureCheck::ReadOnly) == secure)
      return index;
  }
  return std::nullopt;
}

std::optional<uint32_t> FindModuleAgain(const LibraryApi& api, const ModuleRecord& record,
                                        const RefindSteps& steps) {
  if (StillSameModule(api, record)) return record.moduleIndex;
  if (auto index = FindInTable(api, record.mac, record.secure)) return index;
  for (int attempt = 0; attempt < kRefindDiscovers; ++attempt) {
    if (!steps.discover()) continue;
    for (uint32_t waited = 0; waited < steps.waitMs; waited += steps.lookEveryMs) {
      steps.sleep(steps.lookEveryMs);
      if (auto index = FindInTable(api, record.mac, record.secure)) return index;
    }
  }
  return std::nullopt;
}

}  // namespace pelmar
