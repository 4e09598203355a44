#include "dhcp_switch.h"

namespace pelmar {

std::string DhcpInitFailedMessage(DhcpStartError error) {
  std::string text = kDhcpInitFailed;
  text += '\n';
  // The server's own sentence names its stand-alone program; here the
  // privilege belongs to the tool.
  if (error == DhcpStartError::kPortPermission)
    text += "UDP port 67 is a privileged port: run the tool as root or give it the "
            "capability CAP_NET_BIND_SERVICE.";
  else
    text += DhcpStartErrorText(error);
  return text;
}

DhcpSwitch::DhcpSwitch(DhcpAnswerSink sink, void* context) : sink_(sink), context_(context) {}

DhcpSwitch::~DhcpSwitch() { SwitchOff(); }

bool DhcpSwitch::SwitchOn(std::string* failure) { return SwitchOn(DhcpScope{}, failure); }

bool DhcpSwitch::SwitchOn(const DhcpScope& scope, std::string* failure) {
  if (on_) return true;
  DhcpStartError error = server_.Start(scope);
  if (error != DhcpStartError::kNone) {
    if (failure) *failure = DhcpInitFailedMessage(error);
    return false;
  }
  if (!poller_.Start(&server_, sink_, context_, kDhcpToolPace)) {
    server_.Stop();
    if (failure) {
      *failure = kDhcpInitFailed;
      *failure += "\nThe thread that serves DHCP requests could not be started.";
    }
    return false;
  }
  on_ = true;
  return true;
}

void DhcpSwitch::SwitchOff() {
  // Join first: the thread must never use a socket that is being closed.
  poller_.Stop();
  server_.Stop();
  on_ = false;
}

}  // namespace pelmar
