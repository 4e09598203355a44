// What the configuration dialog starts from, what it checks at "Set", and the
// library calls that send a module its new configuration. Plain code without
// widgets: the dialog only shows and collects.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "auth_answer.h"
#include "configure_request.h"  // IsLegalHostName
#include "module_cells.h"       // ParseMacText, FirstRecordWithMac
#include "module_record.h"

namespace pelmar {

struct LibraryApi;

// The five address fields, in the order of their configure tags 0 to 4.
enum AddressField { kIpAddress, kSubnetMask, kGateway, kPrimaryDns, kSecondaryDns, kAddressCount };

// DHCP choice of the dialog's radio pair.
inline constexpr int kDhcpOn = 0;
inline constexpr int kDhcpOff = 1;
inline constexpr int kDhcpUnknown = -1;  // the module did not report it: both radios disabled

// Text fields take at most this many characters.
inline constexpr size_t kFieldLimit = 127;

// How the dialog opens for one module.
struct ConfigurationStart {
  uint32_t address[kAddressCount] = {};  // first octet in the most significant byte
  bool addressValid[kAddressCount] = {};
  bool hostNameEnabled = false;
  std::string hostName;  // may be longer than kFieldLimit (read-back refuses it)
  int dhcpChoice = kDhcpUnknown;
  bool passwordEditable = false;
};

ConfigurationStart StartFromRecord(const ModuleRecord& record);

// An address field opens showing its value, enabled; otherwise blank and
// disabled. With DHCP "On" all five are blank and disabled.
bool AddressShownAtStart(const ConfigurationStart& start, int field);

// What the user chose, read back at "Set".
struct ConfigurationInput {
  uint32_t address[kAddressCount] = {};  // a blank field reads 0.0.0.0
  int dhcpChoice = kDhcpUnknown;
  bool changePassword = false;
  std::string password;
  std::string newPassword;
  std::string hostName;
};

enum class SetProblem {
  None,
  IllegalHostName,
  LastOctet255,
  SemicolonInPassword,  // unseeded text modules get passwords inside "...;" pieces
};

// Checks in the order the user sees them; the first problem wins.
SetProblem CheckSet(const ConfigurationInput& input, const ModuleRecord& record);

// The text of a plain validation box ("" for None).
const char* SetProblemText(SetProblem problem);

// What "Set" sends: every field, as the dialog changes them all.
ConfigurePlan PlanFromInput(const ConfigurationInput& input);

enum class ConfigureOutcome {
  Sent,               // the request left; the answer comes as a library event
  ModuleListChanged,  // the record's index names another module now (or none)
  Failed,             // a library call failed or no answer could be computed
};

// Texts of the Warning boxes for the two failures.
inline constexpr const char kModuleListChangedText[] =
    "The module list has changed. Please scan and try again.";
inline constexpr const char kConfigureFailedText[] = "Failed to configure.";

// Builds and sends the configuration: checks that the record's index still
// names its module, creates the request, passes tags 0 to 5, tag 7 when the
// password changes, tag 6, stores the record's MAC in configurationTarget and
// sends with the authentication text (secure: the password as typed; text
// module with a seed: its MD5 answer; otherwise the password). On Failed the
// target is reset to FF-FF-FF-FF-FF-FF; on ModuleListChanged nothing is sent
// and the target is left alone. `context` goes with the answer events.
ConfigureOutcome SendConfiguration(const LibraryApi& api, const ModuleRecord& record,
                                   const ConfigurationInput& input,
                                   uint8_t configurationTarget[6],
                                   const RandomSource& random = SystemRandom,
                                   void* context = nullptr);

}  // namespace pelmar
