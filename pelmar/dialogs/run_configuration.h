// The "configure" action of the main window: a double click on a row, or
// "Configuration" in its context menu.
#pragma once

#include <QString>
#include <cstdint>
#include <span>

#include "auth_answer.h"
#include "module_record.h"

class QWidget;

namespace pelmar {

struct LibraryApi;

enum class ConfigurationResult {
  NoRecord,           // no record has the row's MAC: nothing was shown
  Cancelled,          // "Cancel" or the window closed: nothing was sent
  Sent,               // the configuration left; its answer comes as a library event
  ModuleListChanged,  // the module's index names another module now: warned, nothing sent
  Failed,             // the library refused to send: warned, target reset
};

// Opens the configuration dialog for the row whose MAC cell reads macText
// ("02-00-00-00-10-01"), on a copy of the first record in `records` with
// that MAC, modal over `parent`. After "Set" it sends the configuration
// through `api` and stores the module's MAC in configurationTarget (the
// main window matches the module's answer against it). Runs on the window
// thread; `random` draws the salt of a new password for a seeded module.
ConfigurationResult RunConfiguration(QWidget* parent, const LibraryApi& api,
                                     const QString& macText,
                                     std::span<const ModuleRecord> records,
                                     uint8_t configurationTarget[6],
                                     const RandomSource& random = SystemRandom);

}  // namespace pelmar
