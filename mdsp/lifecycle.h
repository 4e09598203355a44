// Load and unload of the library. The shared library's own file calls them
// from its load hooks; tests call them to start from scratch.
#pragma once

namespace mdsp {

// Creates the log and attaches the sink named by MDSP_LOG_STDERR.
void LibraryLoad();
// Stops and frees the client, the log and the registered callbacks.
void LibraryUnload();

}  // namespace mdsp
