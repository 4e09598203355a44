// The tool's command line and the picker reply datagram.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pelmar {

struct StartOptions {
  bool picker = false;                 // first argument exactly "SOCKETCOMM"
  std::optional<int> replyPort;        // set only for a port from 1 to 65535
  std::string requestedInterface;      // second argument after "IP"
  // First argument exactly "--help" or "--version": the program prints and
  // ends before any window, socket or library.
  bool help = false;
  bool version = false;
};

// Only the first two arguments after the program name count; the first is
// matched exactly and case-sensitively. The port is read as "%d" (leading
// digits); a missing, non-numeric or out-of-range port keeps picker mode
// and leaves replyPort empty, so no reply is sent.
StartOptions ParseCommandLine(const std::vector<std::string>& argumentsAfterProgram);

// Texts longer than 17 characters are cut to 17.
std::string CutPickerText(const std::string& text);

// "<SELECTED_IP>%s</SELECTED_IP>\n<SELECTED_MAC>%s</SELECTED_MAC>" with the
// texts cut to 17 characters; one LF, no NUL.
std::string PickerReply(const std::string& ipText, const std::string& macText);

}  // namespace pelmar
