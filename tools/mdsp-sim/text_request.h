// The host's three text requests, read the way a module reads them: only
// the exact texts the host writes are requests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim_types.h"

namespace mdspsim {

enum class TextRequestKind { None, Scan, Wink, Configure };

// The values of a configure request, each present only when its piece was;
// the host name piece is always there.
struct ConfigurePieces {
  std::optional<std::string> password;
  std::optional<std::string> newPassword;
  std::optional<uint32_t> ip, subnet, gateway;
  std::optional<bool> dhcp;
  std::string hostname;
  std::optional<uint32_t> dns1, dns2;
};

struct TextRequest {
  TextRequestKind kind = TextRequestKind::None;
  Mac target{};               // wink and configure
  ConfigurePieces configure;  // configure
};

// Reads one of the host's three requests exactly as the host writes it:
// "MODULE SCAN", "To: MAC;WINK;" or "Configure: MAC;" with its pieces in
// their fixed forms and order, each with its terminating NUL as the
// datagram's last byte, MACs in upper case. Anything else gives kind None
// and says why (printable, one line).
TextRequest ParseTextRequest(std::string_view datagram, std::string& why);

const char* TextRequestName(TextRequestKind kind);  // ignore-list names

}  // namespace mdspsim
