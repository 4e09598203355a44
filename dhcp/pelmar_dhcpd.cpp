// pelmar-dhcpd: the tool's recovery DHCP server in the foreground, for
// machines without a desktop. Prints one line per answer; ends on Ctrl-C or
// SIGTERM.
//
// It runs the tool's serving loop at another pace: the tool takes one
// datagram per 50 ms, this serves as soon as datagrams wait, up to 64 per
// cycle, so a stream of junk on port 67 cannot crowd out a real client.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "dhcp_poll_thread.h"
#include "dhcp_server.h"

namespace {

using namespace pelmar;

constexpr int kExitOk = 0;
constexpr int kExitStartFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 3;

// How often the main thread looks whether the serving thread gave up.
constexpr long kWatchIntervalNs = 200L * 1000 * 1000;

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "Usage: pelmar-dhcpd [--interface NAME] [--allow MAC]...\n"
               "\n"
               "Recovery DHCP server for Corvane modules that were switched to DHCP on a\n"
               "network without a DHCP server. A client whose hardware address begins with\n"
               "02-A7-5E is given 10.200.1.x/24, where x is the last byte of its hardware\n"
               "address; every other client is ignored. No lease is kept, no router and no\n"
               "lease time are handed out. Replies are broadcast to UDP port 68 out of the\n"
               "interface the request came in on.\n"
               "\n"
               "Options:\n"
               "  -i, --interface NAME  serve only this network interface (e.g. eth1);\n"
               "                        without it, requests on every interface are answered\n"
               "      --allow MAC       answer only this module (e.g. 02-A7-5E-0A-0B-2C);\n"
               "                        repeat it for several; without it every module is\n"
               "                        answered. Only 02-A7-5E addresses can be allowed\n"
               "  -h, --help            show this text\n"
               "\n"
               "Listening on UDP port 67 needs root or the capability CAP_NET_BIND_SERVICE.\n"
               "Each answer is printed as one line: offer, ack or nak, the hardware address,\n"
               "the address given and the interface it went out on, for example\n"
               "  offer 02-A7-5E-0A-0B-2C 10.200.1.44 on eth1\n"
               "Stop with Ctrl-C or SIGTERM.\n");
}

// Runs on the serving thread; flushed per line so that a pipe sees each
// answer as it happens.
void PrintAnswer(const DhcpAnswer& answer, void*) {
  char line[96];
  FormatDhcpAnswer(answer, line, sizeof line);
  std::printf("%s\n", line);
  std::fflush(stdout);
}

// Adds an --allow value to the scope; false (with the reason printed) when
// it is no module's hardware address.
bool AddAllowed(const char* text, DhcpScope* scope) {
  DhcpHardwareAddress address;
  if (!ParseDhcpHardwareAddress(text, &address)) {
    std::fprintf(stderr,
                 "pelmar-dhcpd: --allow needs a hardware address like 02-A7-5E-0A-0B-2C, "
                 "not '%s'\n",
                 text);
    return false;
  }
  if (!IsModuleFamilyAddress(address.data())) {
    std::fprintf(stderr,
                 "pelmar-dhcpd: --allow %s: only modules (02-A7-5E-xx-xx-xx) are ever answered\n",
                 text);
    return false;
  }
  scope->allowedClients.push_back(address);
  return true;
}

std::string Clients(const DhcpScope& scope) {
  if (scope.allowedClients.empty()) return "02-A7-5E-xx-xx-xx";
  std::string text;
  for (const DhcpHardwareAddress& a : scope.allowedClients) {
    char one[20];
    std::snprintf(one, sizeof one, "%02X-%02X-%02X-%02X-%02X-%02X", a[0], a[1], a[2], a[3], a[4],
                  a[5]);
    if (!text.empty()) text += ", ";
    text += one;
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  DhcpScope scope;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
      PrintUsage(stdout);
      return kExitOk;
    }
    if (std::strcmp(arg, "-i") == 0 || std::strcmp(arg, "--interface") == 0) {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        std::fprintf(stderr, "pelmar-dhcpd: %s needs an interface name\n", arg);
        return kExitUsage;
      }
      scope.interfaceName = argv[++i];
      continue;
    }
    if (std::strncmp(arg, "--interface=", 12) == 0 && arg[12] != '\0') {
      scope.interfaceName = arg + 12;
      continue;
    }
    if (std::strcmp(arg, "--allow") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "pelmar-dhcpd: --allow needs a hardware address\n");
        return kExitUsage;
      }
      if (!AddAllowed(argv[++i], &scope)) return kExitUsage;
      continue;
    }
    if (std::strncmp(arg, "--allow=", 8) == 0) {
      if (!AddAllowed(arg + 8, &scope)) return kExitUsage;
      continue;
    }
    std::fprintf(stderr, "pelmar-dhcpd: unknown argument '%s' (see --help)\n", arg);
    return kExitUsage;
  }

  // Blocked before the serving thread starts, so it inherits the block and
  // the stop signals reach only the wait below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  const char* interfaceName = scope.interfaceName.empty() ? nullptr : scope.interfaceName.c_str();
  CDhcpServer server;
  int systemError = 0;
  DhcpStartError started = server.Start(scope, &systemError);
  if (started != DhcpStartError::kNone) {
    std::fprintf(stderr, "pelmar-dhcpd: cannot start: %s", DhcpStartErrorText(started));
    if (started == DhcpStartError::kNoSuchInterface) std::fprintf(stderr, " (%s)", interfaceName);
    if (systemError != 0) std::fprintf(stderr, " [%s]", std::strerror(systemError));
    std::fprintf(stderr, "\n");
    return kExitStartFailed;
  }

  CDhcpPollThread serving;
  if (!serving.Start(&server, PrintAnswer, nullptr, kDhcpProgramPace)) {
    std::fprintf(stderr, "pelmar-dhcpd: cannot start: the serving thread could not be started\n");
    return kExitStartFailed;
  }
  std::fprintf(stderr, "pelmar-dhcpd: serving 10.200.1.x/24 to %s on %s\n",
               Clients(scope).c_str(), interfaceName ? interfaceName : "all interfaces");

  int stopSignal = 0;
  while (stopSignal == 0) {
    timespec watch{0, kWatchIntervalNs};
    int got = sigtimedwait(&stopSignals, nullptr, &watch);
    if (got == SIGINT || got == SIGTERM) stopSignal = got;
    if (stopSignal == 0 && serving.SocketFailed()) {
      std::fprintf(stderr, "pelmar-dhcpd: the socket can no longer be waited on\n");
      serving.Stop();
      server.Stop();
      return kExitFailed;
    }
  }

  serving.Stop();
  server.Stop();
  std::fprintf(stderr, "pelmar-dhcpd: stopped (%s)\n", stopSignal == SIGINT ? "SIGINT" : "SIGTERM");
  return kExitOk;
}
