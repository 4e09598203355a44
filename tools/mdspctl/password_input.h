// Passwords for mdspctl: asked for on the terminal with echo off, or read one
// line at a time from standard input when that is not a terminal. Never taken
// from the command line, where other users could read them.
#pragma once

#include <string>

namespace mdspctl {

// False with a message when standard input ends before a line arrives.
bool ReadPassword(const std::string& prompt, std::string& out, std::string& error);
// On a terminal the new password is asked twice and must match.
bool ReadNewPassword(std::string& out, std::string& error);

}  // namespace mdspctl
