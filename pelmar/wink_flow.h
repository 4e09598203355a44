// The wink action of the main window without its widgets: whether the
// module wants a password first, and the library call that makes it wink.
#pragma once

#include <string>

#include "module_record.h"

namespace pelmar {

struct LibraryApi;

// The password prompt opens only for a module that asks for a password
// with a wink.
bool WinkNeedsPassword(const ModuleRecord& record);

// The prompt's caption for the module.
std::string WinkCaption(const ModuleRecord& record);

enum class WinkOutcome {
  Sent,               // the wink left
  ModuleListChanged,  // the record's index names another module now: nothing sent
  Failed,             // the library refused
};

// Sends the wink to the record's module with the password (at most 255
// characters), after checking that the record's index still names it: a
// re-scan renumbers the table, and a wink (and its password) must never
// reach another module. `context` goes with the answer events. May wait up
// to a second for a secure module's seed: callers keep it off the window
// thread.
WinkOutcome SendWink(const LibraryApi& api, const ModuleRecord& record,
                     const std::string& password, void* context);

inline constexpr const char kWinkFailedText[] = "Failed to wink.";

}  // namespace pelmar
