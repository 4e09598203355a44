// pelmar-dhcpd: the tool's recovery DHCP server in the foreground, for
// machines without a desktop. Prints one line per answer; ends on Ctrl-C or
// SIGTERM.
#include <pthread.h>
#include <signal.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "dhcp_poll_thread.h"
#include "dhcp_server.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStartFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "Usage: pelmar-dhcpd [--interface NAME]\n"
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
               "  -h, --help            show this text\n"
               "\n"
               "Listening on UDP port 67 needs root or the capability CAP_NET_BIND_SERVICE.\n"
               "Each answer is printed as one line: hardware address, address given and\n"
               "offer, ack or nak. Stop with Ctrl-C or SIGTERM.\n");
}

void PrintAnswer(const DhcpAnswer& answer, void*) {
  const uint8_t* m = answer.hardwareAddress;
  const uint8_t* a = answer.address;
  std::printf("%02X-%02X-%02X-%02X-%02X-%02X %u.%u.%u.%u %s\n", m[0], m[1], m[2], m[3], m[4],
              m[5], a[0], a[1], a[2], a[3], DhcpAnswerTypeName(answer.messageType));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const char* interfaceName = nullptr;
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
      interfaceName = argv[++i];
      continue;
    }
    if (std::strncmp(arg, "--interface=", 12) == 0 && arg[12] != '\0') {
      interfaceName = arg + 12;
      continue;
    }
    std::fprintf(stderr, "pelmar-dhcpd: unknown argument '%s' (see --help)\n", arg);
    return kExitUsage;
  }

  // Block the stop signals before any thread exists, so that only sigwait
  // below receives them and the poll thread is never interrupted.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  CDhcpServer server;
  int systemError = 0;
  DhcpStartError started = server.Start(interfaceName, &systemError);
  if (started != DhcpStartError::kNone) {
    std::fprintf(stderr, "pelmar-dhcpd: cannot start: %s", DhcpStartErrorText(started));
    if (started == DhcpStartError::kNoSuchInterface) std::fprintf(stderr, " (%s)", interfaceName);
    if (systemError != 0) std::fprintf(stderr, " [%s]", std::strerror(systemError));
    std::fprintf(stderr, "\n");
    return kExitStartFailed;
  }

  CDhcpPollThread poller;
  if (!poller.Start(&server, PrintAnswer, nullptr)) {
    std::fprintf(stderr, "pelmar-dhcpd: cannot start the poll thread\n");
    return kExitStartFailed;
  }
  std::fprintf(stderr, "pelmar-dhcpd: serving 10.200.1.x/24 to 02-A7-5E-xx-xx-xx on %s\n",
               interfaceName ? interfaceName : "all interfaces");

  int received = 0;
  sigwait(&stopSignals, &received);

  poller.Stop();
  server.Stop();
  std::fprintf(stderr, "pelmar-dhcpd: stopped (%s)\n", received == SIGINT ? "SIGINT" : "SIGTERM");
  return kExitOk;
}
