// The main window's interface table and the choice of the broadcast
// interface: RefreshInterfaces, ApplyInterface, and the bytes of the
// settings file settings.dat (read and written in platform/settings_file).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library_api.h"

namespace pelmar {

inline constexpr uint32_t kMaxInterfaces = 64;

struct InterfaceEntry {
  std::string description;
  std::string address;  // "%d.%d.%d.%d", first octet first
};

struct InterfaceChoice {
  InterfaceEntry entries[kMaxInterfaces];
  uint32_t count = 0;
  int specificInterface = 0;
  uint32_t selectedInterface = 0;
  std::string requestedInterface;  // from the command line; emptied by its first use
  // The saved address that no interface has any more (cut to 64 characters);
  // every interface is used instead. Empty when the saved choice was found.
  std::string missingSavedInterface;
};

// Builds the table from the library; the count is capped at 64. A failing
// MDSP_GetNicInfo at entry i sets the count to i, keeps the partial table
// and fails; a failing MDSP_GetNumberOfNics leaves the table as it was.
bool RefreshInterfaces(const LibraryApi& api, InterfaceChoice& choice);

// Hands the chosen interface(s) to the library. A selected index at or past the count uses entry
// 0 when there is one and sets no device when the table is empty.
bool ApplyInterface(const LibraryApi& api, InterfaceChoice& choice);

// The settings file's bytes: "CVP", 0x00 and, with a specific interface, the
// selected entry's address text.
std::string ComposeSettings(const InterfaceChoice& choice);
// The choice from bytes already read (the read is bounded by
// the caller). Clears specificInterface first; false for a short or foreign
// file. A saved address that no interface has selects every interface and
// is kept in missingSavedInterface: one interface the user never chose would
// find nothing there and look like an empty network.
bool ApplySettingsBytes(const std::string& bytes, InterfaceChoice& choice);

// Bytes read at most from the file: 4 + 2043 (longer texts are compared cut,
// which matches no interface).
inline constexpr size_t kSettingsReadLimit = 4 + 2043;

}  // namespace pelmar
