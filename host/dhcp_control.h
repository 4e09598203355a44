// What the settings command needs of the internal DHCP server; the server's
// switch implements it, tests hand in a fake.
#pragma once

#include <string>

namespace pelmar {

class DhcpControl {
 public:
  virtual ~DhcpControl() = default;
  virtual bool IsOn() const = 0;
  // False when the server could not be started; *failure then holds the
  // text for the user. Stays off in that case, so a retry is possible.
  virtual bool SwitchOn(std::string* failure) = 0;
  virtual void SwitchOff() = 0;
};

}  // namespace pelmar
