#include "command_line.h"

#include <cctype>
#include <climits>

namespace pelmar {
namespace {

// "%d": optional white space, optional sign, decimal digits. Empty when there
// is no digit or the value does not fit.
std::optional<long long> ScanDecimal(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) return std::nullopt;
  }
  return negative ? -value : value;
}

}  // namespace

StartOptions ParseCommandLine(const std::vector<std::string>& args) {
  StartOptions options;
  if (args.empty()) return options;
  if (args[0] == "SOCKETCOMM") {
    options.picker = true;
    if (args.size() >= 2) {
      auto port = ScanDecimal(args[1]);
      if (port && *port >= 1 && *port <= 65535) options.replyPort = static_cast<int>(*port);
    }
  } else if (args[0] == "IP") {
    if (args.size() >= 2) options.requestedInterface = args[1];
  } else {
    options.help = args[0] == "--help";
    options.version = args[0] == "--version";
  }
  return options;
}

std::string CutPickerText(const std::string& text) { return text.substr(0, 17); }

std::string PickerReply(const std::string& ipText, const std::string& macText) {
  return "<SELECTED_IP>" + CutPickerText(ipText) + "</SELECTED_IP>\n<SELECTED_MAC>" +
         CutPickerText(macText) + "</SELECTED_MAC>";
}

}  // namespace pelmar
