// pelmar-dhcpd: the tool's recovery DHCP server in the foreground, for
// machines without a desktop. Prints one line per answer; ends on Ctrl-C or
// SIGTERM.
//
// Unlike the tool's poll thread (one datagram per 50 ms), this waits on the
// socket and serves every waiting datagram, so a stream of junk on port 67
// cannot crowd out a real client.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dhcp_server.h"
#include "program_version.h"

namespace {

using namespace pelmar;

constexpr int kExitOk = 0;
constexpr int kExitStartFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 3;

// Datagrams served between two looks at the stop signals.
constexpr int kServeBatch = 64;

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
               "      --version         show the version\n"
               "\n"
               "Listening on UDP port 67 needs root or the capability CAP_NET_BIND_SERVICE.\n"
               "Each answer is printed as one line: hardware address, address given and\n"
               "offer, ack or nak. Stop with Ctrl-C or SIGTERM.\n");
}

void PrintAnswer(const DhcpAnswer& answer) {
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
    if (std::strcmp(arg, "--version") == 0) return versioning::PrintProgramVersion("pelmar-dhcpd");
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

  // The stop signals are blocked and read from a descriptor, so that the
  // wait on the socket also ends on them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (signalFd < 0) {
    std::fprintf(stderr, "pelmar-dhcpd: cannot watch for stop signals [%s]\n",
                 std::strerror(errno));
    return kExitStartFailed;
  }

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

  std::fprintf(stderr, "pelmar-dhcpd: serving 10.200.1.x/24 to 02-A7-5E-xx-xx-xx on %s\n",
               interfaceName ? interfaceName : "all interfaces");

  for (;;) {
    DhcpWaitResult woke = server.Wait(signalFd);
    if (woke == DhcpWaitResult::kWake) break;
    if (woke == DhcpWaitResult::kError) {
      std::fprintf(stderr, "pelmar-dhcpd: the socket can no longer be waited on\n");
      server.Stop();
      return kExitFailed;
    }
    // Bounded, so that a stop signal is looked at even while datagrams keep
    // coming faster than they are served.
    for (int served = 0; served < kServeBatch; ++served) {
      DhcpAnswer answer;
      DhcpServeResult result = server.ServeOne(&answer);
      if (result == DhcpServeResult::kIdle) break;
      if (result == DhcpServeResult::kAnswered) PrintAnswer(answer);
    }
  }

  signalfd_siginfo stop{};
  ssize_t got = read(signalFd, &stop, sizeof stop);
  server.Stop();
  close(signalFd);
  std::fprintf(stderr, "pelmar-dhcpd: stopped (%s)\n",
               got == static_cast<ssize_t>(sizeof stop) && stop.ssi_signo == SIGINT ? "SIGINT"
                                                                                   : "SIGTERM");
  return kExitOk;
}
