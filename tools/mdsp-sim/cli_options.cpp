#include "cli_options.h"

#include <cstdlib>
#include <string_view>

#include "sim_types.h"
#include "answer_loss.h"

namespace mdspsim {
namespace {

bool ParseCount(const std::string& text, uint32_t& out) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  out = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
  return out <= 65535;
}

}  // namespace

const char* UsageText() {
  return "usage: mdsp-sim --iface IFNAME (--config FILE.json | --generate-text N\n"
         "                --generate-secure N) [--mac-prefix 02-00-01] [--seed-delay MS]\n"
         "                [--ignore-field FIELD]... [--loss P [--loss-seed N]]\n"
         "                [--log FILE]\n"
         "\n"
         "Plays network modules of both protocols on UDP port 3250 of one interface.\n"
         "Run it only inside a network namespace of its own (see README.md): it answers\n"
         "broadcasts and sends broadcasts.\n"
         "\n"
         "  --iface IFNAME        interface to listen and answer on\n"
         "  --config FILE         modules to play (JSON, see README.md)\n"
         "  --generate-text N     add N text-protocol modules with default values\n"
         "  --generate-secure N   add N secure-protocol modules with default values\n"
         "  --mac-prefix P        first three MAC bytes of generated modules\n"
         "  --seed-delay MS       answer every Authentication request MS milliseconds late\n"
         "  --ignore-field FIELD  every module accepts configures but keeps FIELD as it\n"
         "                        was (ip, mask, gateway, dns1, dns2, dhcp, hostname)\n"
         "  --loss P              drop each answer with probability P (0 to 1)\n"
         "  --loss-seed N         seed of the drops (default 1): same seed, same drops\n"
         "  --log FILE            append the log to FILE instead of standard output\n"
         "  --help                show this text\n"
         "  --version             show the version\n"
         "\n"
         "Log lines: 'ready IFNAME COUNT', 'rx IP:PORT LEN HEX', 'tx IP:PORT LEN HEX',\n"
         "'event MAC WHAT...', 'drop WHY', 'error WHAT'.\n";
}

bool ParseCli(int argc, const char* const* argv, CliOptions& out, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      out.help = true;
      return true;
    }
    if (arg == "--version") {
      out.version = true;
      return true;
    }
    if (i + 1 >= argc) {
      error = "missing value after " + std::string(arg);
      return false;
    }
    std::string value = argv[++i];
    if (arg == "--iface") {
      out.iface = value;
    } else if (arg == "--config") {
      out.configPath = value;
    } else if (arg == "--log") {
      out.logPath = value;
    } else if (arg == "--mac-prefix") {
      out.macPrefix = value;
    } else if (arg == "--seed-delay") {
      if (!ParseCount(value, out.seedDelayMs)) {
        error = "--seed-delay needs milliseconds from 0 to 65535";
        return false;
      }
    } else if (arg == "--ignore-field") {
      if (!ConfigureFields().count(value)) {
        error = "--ignore-field needs one of ip, mask, gateway, dns1, dns2, dhcp, hostname";
        return false;
      }
      out.ignoreFields.insert(value);
    } else if (arg == "--loss") {
      if (!ParseProbability(value, out.loss)) {
        error = "--loss needs a probability from 0 to 1";
        return false;
      }
    } else if (arg == "--loss-seed") {
      if (!ParseCount(value, out.lossSeed)) {
        error = "--loss-seed needs a number from 0 to 65535";
        return false;
      }
    } else if (arg == "--generate-text" || arg == "--generate-secure") {
      uint32_t& count = arg == "--generate-text" ? out.generateText : out.generateSecure;
      if (!ParseCount(value, count)) {
        error = std::string(arg) + " needs a count from 0 to 65535";
        return false;
      }
    } else {
      error = "unknown option " + std::string(arg);
      return false;
    }
  }
  if (out.iface.empty() || out.iface.size() > 15) {
    error = "--iface IFNAME is required (at most 15 characters)";
    return false;
  }
  if (out.configPath.empty() && out.generateText + out.generateSecure == 0) {
    error = "nothing to play: give --config or --generate-text/--generate-secure";
    return false;
  }
  return true;
}

}  // namespace mdspsim
