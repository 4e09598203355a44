// The tool's other platform pieces: the instance lock ("Corvane Pelmar"),
// the socket-layer probe, the picker reply sender and the URL opener.
#pragma once

#include <string>

namespace pelmar::platform {

// Takes a shared lock on "$XDG_RUNTIME_DIR/Corvane Pelmar.lock" (else a file
// under /tmp named for the user) and keeps it until the process ends. The
// result is not examined by the caller; a second instance starts normally.
bool HoldInstanceLock();

// Opens and closes one UDP socket: whether the socket layer works.
bool ProbeSocketLayer();

// Sends one datagram with payload to 127.0.0.1:port from an ephemeral port.
// False when the socket cannot be made or the send fails.
bool SendPickerReply(int port, const std::string& payload);

// Hands the text to the desktop's opener (xdg-open), not waiting for it.
// The result is not examined by the tool.
bool OpenWithShell(const std::string& text);

}  // namespace pelmar::platform
