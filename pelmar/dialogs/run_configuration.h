// The "configure" action of the main window: a double click on a row, or
// "Configuration" in its context menu.
#pragma once

#include <cstdint>
#include <span>

#include "auth_answer.h"
#include "configuration_flow.h"
#include "module_record.h"

class QWidget;

namespace pelmar {

struct LibraryApi;

enum class ConfigurationResult {
  NoRecord,           // no record has the row's MAC: nothing was shown
  Cancelled,          // "Cancel" or the window closed: nothing was sent
  Set,                // "Set" was pressed: the choice is ready to send
  Sent,               // the configuration left; its answer comes as a library event
  ModuleListChanged,  // the module's index names another module now: warned, nothing sent
  Failed,             // the library refused to send: warned, target reset
};

// What the dialog collected for one module.
struct ConfigurationChoice {
  ConfigurationResult result = ConfigurationResult::NoRecord;
  ModuleRecord record;  // a copy: the list may be cleared and refilled meanwhile
  ConfigurationInput input;
};

// Opens the configuration dialog, modal over `parent`, on a copy of the
// first record in `records` with that MAC. Result NoRecord, Cancelled or
// Set; nothing is sent.
ConfigurationChoice AskConfiguration(QWidget* parent, const uint8_t mac[6],
                                     std::span<const ModuleRecord> records);

// Shows the Warning a failed send deserves and says what came of it.
ConfigurationResult ReportConfigureOutcome(QWidget* parent, ConfigureOutcome outcome);

// The whole action on the calling thread: AskConfiguration, then after
// "Set" SendConfiguration through `api` (which stores the module's MAC in
// configurationTarget, so the main window can match the module's answer),
// then ReportConfigureOutcome. `random` draws the salt of a new password
// for a seeded module.
ConfigurationResult RunConfiguration(QWidget* parent, const LibraryApi& api, const uint8_t mac[6],
                                     std::span<const ModuleRecord> records,
                                     uint8_t configurationTarget[6],
                                     const RandomSource& random = SystemRandom);

}  // namespace pelmar
