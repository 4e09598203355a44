#include "cli_args.h"

#include <cctype>
#include <set>

namespace mdspctl {
namespace {

struct OptionSpec {
  const char* name;
  bool takesValue;
};

// Options every command accepts.
const OptionSpec kCommonOptions[] = {{"nic", true}, {"timeout", true}};

const std::map<std::string, std::vector<OptionSpec>>& CommandOptions() {
  static const std::map<std::string, std::vector<OptionSpec>> table = {
      {"nics", {}},
      {"scan", {{"json", false}, {"csv", false}, {"rounds", true}, {"interval", true},
                {"remember", false}}},
      {"wink", {{"mac", true}, {"value", true}}},
      {"configure",
       {{"mac", true},
        {"ip", true},
        {"mask", true},
        {"gateway", true},
        {"dhcp", true},
        {"dns1", true},
        {"dns2", true},
        {"hostname", true},
        {"new-password", false}}},
      {"restart", {{"mac", true}, {"value", true}, {"ping-window", true}}},
      {"name", {{"mac", true}, {"note", true}, {"clear", false}}},
      {"doctor", {{"json", false}, {"no-scan", false}}},
      {"apply", {{"dry-run", false}, {"password-file", true}, {"json", false}}},
  };
  return table;
}

const OptionSpec* FindOption(const std::string& command, const std::string& name) {
  for (const OptionSpec& spec : kCommonOptions)
    if (name == spec.name) return &spec;
  for (const OptionSpec& spec : CommandOptions().at(command))
    if (name == spec.name) return &spec;
  return nullptr;
}

const char kProgramUsage[] =
    "usage: mdspctl [--verbose] COMMAND [OPTIONS]\n"
    "\n"
    "Finds network modules of both protocols and configures them.\n"
    "\n"
    "Commands:\n"
    "  nics        list the host's network interfaces\n"
    "  scan        list every module that answers a discover\n"
    "  wink        make a module signal its position\n"
    "  configure   change a module's addresses, DHCP, host name or password\n"
    "  restart     restart a module and report when it answers again\n"
    "  name        show or set a module's name and note (kept on this computer)\n"
    "  doctor      check this computer's interfaces, firewall and DHCP rights\n"
    "  apply       configure several modules from a plan file and read them back\n"
    "\n"
    "Common options:\n"
    "  --nic ADDRESS   use the interface with this IPv4 address (repeatable;\n"
    "                  default: every listed interface)\n"
    "  --timeout MS    how long to wait for answers\n"
    "  --verbose       write the library's log to standard error\n"
    "                  (the same as running with MDSP_LOG_STDERR=1)\n"
    "  --help          show help; 'mdspctl COMMAND --help' for one command\n"
    "  --version       show the version\n"
    "\n"
    "Passwords are never taken from the command line: they are asked for on\n"
    "the terminal, or read line by line from standard input when that is not\n"
    "a terminal.\n"
    "\n"
    "Exit codes: 0 success, 1 bad command line, 2 interface or library failure\n"
    "(name: the names file cannot be written), 3 no such module, 4 request\n"
    "refused, 5 wrong password, 6 time-out,\n"
    "7 accepted, but the read-back differs;\n"
    "8 the doctor found something wrong.\n";

}  // namespace

std::string CommandLine::value(const std::string& name, const std::string& fallback) const {
  auto it = options.find(name);
  return it == options.end() || it->second.empty() ? fallback : it->second.back();
}

bool ParseCommandLine(int argc, const char* const* argv, CommandLine& out, std::string& error) {
  out = CommandLine{};
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      out.help = true;
      continue;
    }
    if (arg == "--version") {
      out.version = true;
      continue;
    }
    if (arg == "--verbose" || arg == "-v") {
      out.verbose = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0) {
      if (out.command.empty()) {
        if (!CommandOptions().count(arg)) {
          error = "unknown command '" + arg + "'";
          return false;
        }
        out.command = arg;
        continue;
      }
      if (out.command == "name" && out.arguments.empty()) {
        out.arguments.push_back(arg);
        continue;
      }
      // apply takes its plan file as its one argument.
      if (out.command == "apply" && !out.has("file")) {
        out.options["file"].push_back(arg);
        continue;
      }
      error = "unexpected argument '" + arg + "'";
      return false;
    }
    if (out.command.empty()) {
      error = "option " + arg + " before the command";
      return false;
    }
    std::string name = arg.substr(2);
    std::string inlineValue;
    bool hasInline = false;
    if (size_t eq = name.find('='); eq != std::string::npos) {
      inlineValue = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasInline = true;
    }
    const OptionSpec* spec = FindOption(out.command, name);
    if (!spec) {
      error = "unknown option --" + name + " for '" + out.command + "'";
      return false;
    }
    if (!spec->takesValue) {
      if (hasInline) {
        error = "--" + name + " takes no value";
        return false;
      }
      out.options[name].push_back("");
      continue;
    }
    if (!hasInline) {
      if (i + 1 >= argc) {
        error = "missing value after --" + name;
        return false;
      }
      inlineValue = argv[++i];
    }
    out.options[name].push_back(inlineValue);
  }
  return true;
}

std::string UsageText(const std::string& command) {
  if (command == "nics")
    return "usage: mdspctl nics\n"
           "\n"
           "Lists the interfaces the library can use: index, IPv4 address, MAC and\n"
           "description.\n";
  if (command == "scan")
    return "usage: mdspctl scan [--nic ADDRESS]... [--timeout MS] [--json | --csv]\n"
           "                    [--rounds N [--interval MS]] [--remember]\n"
           "\n"
           "Broadcasts a discover in both protocols and lists every module that\n"
           "answers within the time-out (default 2000 ms): IP, SN, GW, DHCP,\n"
           "Version, Type, MAC and Status (the marks, then the module's name; see\n"
           "'mdspctl name'). A module that speaks both protocols is listed twice.\n"
           "--json prints {\"modules\": [...], \"gone\": [...]} instead of the table;\n"
           "each module has its \"marks\" list, its \"name\" and \"note\" (null\n"
           "without one). --csv prints the list as CSV with the columns IP, SN, GW,\n"
           "DHCP, Version, Type, MAC, Status, Name and Note.\n"
           "\n"
           "--rounds N (1 to 5, default 1) sends N discovers, --interval MS apart\n"
           "(default 200, at most 10000); the time-out runs after the last one.\n"
           "The answers are merged by MAC and protocol: a module that answered\n"
           "any round is listed once, with its latest answer. More rounds find\n"
           "modules whose answer was lost on a busy or lossy network.\n"
           "\n"
           "Status marks what is wrong with a module, and how to fix it:\n"
           "  duplicate IP   two or more modules answer with one address (0.0.0.0\n"
           "                 aside): give all but one another address (configure --ip)\n"
           "  other network  the address is outside the subnet of every interface\n"
           "                 used: 'mdspctl configure --mac MAC --ip auto' moves it\n"
           "  no address     0.0.0.0 or 169.254.x.x (DHCP without a server): --ip auto\n"
           "                 as well, or pelmar-dhcpd\n"
           "  new            not in the list kept by the last 'scan --remember'\n"
           "Modules of that list that did not answer are not rows; a last line\n"
           "(the \"gone\" list in JSON) counts them: check their cable and power.\n"
           "--remember keeps this scan's list for the next comparison, in\n"
           "$XDG_STATE_HOME/Tordal/Corvane Pelmar/last-scan (default\n"
           "~/.local/state/...). Without a kept list nothing is new or gone.\n"
           "\n"
           "Exit codes: 0 also when no module answered, 1 bad command line,\n"
           "2 interface or library failure, or the list cannot be kept.\n";
  if (command == "wink")
    return "usage: mdspctl wink --mac MAC [--value N] [--nic ADDRESS]... [--timeout MS]\n"
           "\n"
           "Makes the module with that MAC signal its position. A secure module asks\n"
           "for its password (prompt, or one line on standard input) and must\n"
           "confirm the wink within the time-out (default 2000 ms). --value is the\n"
           "byte sent to a secure module (default 1).\n";
  if (command == "configure")
    return "usage: mdspctl configure --mac MAC [--ip A] [--mask A] [--gateway A]\n"
           "                         [--dhcp on|off] [--dns1 A] [--dns2 A]\n"
           "                         [--hostname NAME] [--new-password]\n"
           "                         [--nic ADDRESS]... [--timeout MS]\n"
           "\n"
           "Changes the given values of the module with that MAC; values not given\n"
           "stay as they are. The current password is asked for on the terminal, or\n"
           "read as the first line of standard input; with --new-password the new\n"
           "password follows (asked twice on a terminal, the second line of\n"
           "standard input). Waits up to the time-out (default 3000 ms) for the\n"
           "module to accept or refuse.\n"
           "\n"
           "After the module accepted, it is scanned again and what it reports is\n"
           "compared with what it was sent (not the password, which no module\n"
           "reports): 'read back: confirmed', or 'read back: differs: gateway reads\n"
           "10.0.0.1' naming every field that differs, and exit code 7.\n"
           "\n"
           "Host names take only A-Z, a-z, 0-9, '_' and '-'. --ip may not end in .0\n"
           "or .255 (0.0.0.0 only with --dhcp on). A text-protocol module reads\n"
           "255.255.255.255 as \"unchanged\", so it cannot be set there, and one that\n"
           "did not report its host name needs --hostname.\n"
           "\n"
           "--ip auto moves a module marked \"other network\" or \"no address\" to\n"
           "the network of the interface used (--nic ADDRESS when there are several):\n"
           "the first address that no listed module and no host interface has and\n"
           "for which nothing on the link answers, that interface's mask and gateway\n"
           "(0.0.0.0 when it has none; --mask and --gateway override them) and DHCP\n"
           "off; DNS servers and host name stay. The address is printed before the\n"
           "password is asked for. Exit code 1 when the module is not marked so or\n"
           "the interface is not clear, 2 when no free address was found.\n";
  if (command == "restart")
    return "usage: mdspctl restart --mac MAC [--value N] [--ping-window S]\n"
           "                       [--nic ADDRESS]... [--timeout MS]\n"
           "\n"
           "Restarts the secure-protocol module with that MAC (password as for\n"
           "configure), then pings it until the ping window (default 10 s after the\n"
           "restart) closes, and reports after how many seconds it answered again.\n"
           "Exit code 6 when it did not answer within the window.\n";
  if (command == "name")
    return "usage: mdspctl name --mac MAC [TEXT] [--note TEXT]\n"
           "       mdspctl name --mac MAC --clear\n"
           "\n"
           "Shows the name and note kept for the module with that MAC, or sets\n"
           "them: TEXT becomes its name, --note its note (\"\" empties either),\n"
           "--clear removes both. Nothing is sent to the network. They are kept\n"
           "in names.txt beside the tool's settings.dat\n"
           "($XDG_CONFIG_HOME/Tordal/Corvane Pelmar/) and shown by the tool and\n"
           "by 'mdspctl scan'. A damaged names file is ignored with a warning and\n"
           "kept as names.txt.damaged when a name is next set.\n"
           "Exit codes: 0 success, 1 bad command line, 2 the names file cannot be\n"
           "written.\n";
  if (command == "doctor")
    return "usage: mdspctl doctor [--json] [--no-scan] [--nic ADDRESS]... [--timeout MS]\n"
           "\n"
           "Checks why modules might not show up, and whether the recovery DHCP\n"
           "server can run here. Run it when a scan lists fewer modules than you\n"
           "expect, or before recovering a module by DHCP.\n"
           "\n"
           "  - every network interface: up or down, IPv4 address and mask, kind\n"
           "    (wired, wireless, bridge, virtual, VPN/tunnel, loopback), whether\n"
           "    scans use it, and a remark where its kind is known to mislead;\n"
           "  - one scan through each interface that scans use (waiting --timeout,\n"
           "    default 1500 ms each), with the number of modules that answered;\n"
           "    when one sees none, whether the firewall drops the answers (read\n"
           "    with 'nft -j list ruleset', which needs root);\n"
           "  - whether pelmar and pelmar-dhcpd may open UDP port 67 (root or the\n"
           "    capability cap_net_bind_service) and whether another program\n"
           "    already holds it.\n"
           "\n"
           "Each finding names what is wrong and the one command that fixes it.\n"
           "--no-scan skips the scans (nothing is sent); --nic scans only through\n"
           "the interfaces with those addresses; --json prints the report as one\n"
           "JSON object.\n"
           "\n"
           "Exit codes: 0 nothing wrong found, 8 at least one finding, 1 bad\n"
           "command line.\n";
  if (command == "apply")
    return "usage: mdspctl apply FILE [--dry-run] [--password-file F] [--json]\n"
           "                     [--nic ADDRESS]... [--timeout MS]\n"
           "\n"
           "Configures several modules from FILE, one line per module:\n"
           "  mac,ip,mask,gateway,dns1,dns2,dhcp,hostname\n"
           "(a first line naming the columns is skipped, as are blank lines and\n"
           "lines starting with '#'; an empty cell keeps the module's value; dhcp is\n"
           "on or off). It discovers the modules, prints the plan one line per\n"
           "module and what stands in its way: a bad value, an address planned\n"
           "twice, the address of another listed module, an address outside the\n"
           "interface's subnet, a module that did not answer. While one stands,\n"
           "nothing is applied (exit code 1). --dry-run stops after the plan.\n"
           "\n"
           "Then it configures one module at a time, waiting for each answer\n"
           "(--timeout, default 3000 ms), scans once and reads every accepted module\n"
           "back: one line per module ('accepted', 'wrong password', 'no answer\n"
           "within 3000 ms', ...), then 'read back: confirmed' or 'read back:\n"
           "differs: ...'. --json prints one object per module instead: mac, line,\n"
           "plan, problems (list) and result (the read-back text, or null when not\n"
           "sent).\n"
           "\n"
           "One password serves every module (asked on the terminal, or the first\n"
           "line of standard input), unless --password-file F gives lines\n"
           "'MAC password' (one per module of the plan; F is refused unless only its\n"
           "owner may read and write it, e.g. chmod 600).\n"
           "\n"
           "Exit code 0 only when every module is confirmed; otherwise that of the\n"
           "first module that was not: 3 did not answer the discover, 4 refused,\n"
           "5 wrong password, 6 no answer, 7 read-back differs, 2 not sent.\n";
  return kProgramUsage;
}

bool ParseUnsigned(const std::string& text, uint32_t max, uint32_t& value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t result = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    result = result * 10 + static_cast<uint64_t>(c - '0');
  }
  if (result > max) return false;
  value = static_cast<uint32_t>(result);
  return true;
}

bool ParseOnOff(const std::string& text, bool& on) {
  std::string lower;
  for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const std::set<std::string> kOn = {"on", "1", "yes"}, kOff = {"off", "0", "no"};
  if (kOn.count(lower)) {
    on = true;
    return true;
  }
  if (kOff.count(lower)) {
    on = false;
    return true;
  }
  return false;
}

}  // namespace mdspctl
