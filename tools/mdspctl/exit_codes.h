// Exit codes of mdspctl, one per kind of failure so scripts can tell them
// apart.
#pragma once

namespace mdspctl {

enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 1,          // bad command line
  kExitLibrary = 2,        // no interface, library or socket failure
  kExitNoModule = 3,       // no module with that MAC answered the discover
  kExitRefused = 4,        // the module refused the request
  kExitWrongPassword = 5,  // the module rejected the password
  kExitTimeout = 6,        // no answer in time
  kExitReadBackDiffers = 7,  // accepted, but the module's new answer differs from what was sent
  kExitDoctorFindings = 8,   // doctor: something is wrong with this computer
};

}  // namespace mdspctl
