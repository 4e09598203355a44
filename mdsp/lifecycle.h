// Load and unload of the library. The shared library's own file calls them
// from its load hooks; tests call them to start from scratch.
#pragma once

#include <string>

namespace mdsp {

// Creates the log and attaches the sink named by MDSP_LOG_STDERR.
void LibraryLoad();
// A log line as the MDSP_LOG_STDERR sink writes it: passwords masked, then
// control characters and bytes that are not UTF-8 made visible; `line`
// ends with its "\n", which stays.
std::string TerminalLine(const char* line);
// Stops and frees the client, the log and the registered callbacks.
void LibraryUnload();

}  // namespace mdsp
