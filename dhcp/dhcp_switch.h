// The internal DHCP server as the tool switches it on and off: the server's
// socket plus the thread that polls it. Plain C++, no widgets.
#pragma once

#include <string>

#include "dhcp_control.h"
#include "dhcp_poll_thread.h"
#include "dhcp_server.h"

namespace pelmar {

// First line of the message shown when the server cannot start.
inline constexpr char kDhcpInitFailed[] = "DHCP server init failed";

// "DHCP server init failed", a line feed and why.
std::string DhcpInitFailedMessage(DhcpStartError error);

class DhcpSwitch final : public DhcpControl {
 public:
  // sink (optional) runs on the poll thread after every answer sent.
  explicit DhcpSwitch(DhcpAnswerSink sink = nullptr, void* context = nullptr);
  // Switches off: the thread is joined before the socket closes.
  ~DhcpSwitch() override;
  DhcpSwitch(const DhcpSwitch&) = delete;
  DhcpSwitch& operator=(const DhcpSwitch&) = delete;

  bool IsOn() const override { return on_; }
  // Opens port 67 on every local address in the calling thread's network
  // namespace, then starts the poll thread: every module-family client on
  // every interface is answered.
  bool SwitchOn(std::string* failure) override;
  // The same, answering only the scope's clients on the scope's interface.
  // While on, nothing changes (true): switch off first to take a new scope.
  bool SwitchOn(const DhcpScope& scope, std::string* failure);
  void SwitchOff() override;

 private:
  DhcpAnswerSink sink_;
  void* context_;
  bool on_ = false;
  CDhcpServer server_;
  // Declared after the server: destroyed first, so it never polls a dead one.
  CDhcpPollThread poller_;
};

}  // namespace pelmar
