#include "doctor_probes.h"

#include <linux/capability.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>

#include "firewall_rules.h"
#include "host_interfaces.h"
#include "module_texts.h"

namespace pelmar {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string ReadLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string LinkName(const std::string& path) {
  char target[4096];
  ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
  if (n <= 0) return "";
  target[n] = 0;
  std::string text = target;
  size_t slash = text.rfind('/');
  return slash == std::string::npos ? text : text.substr(slash + 1);
}

int CountEntries(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return 0;
  int count = 0;
  while (dirent* entry = readdir(dir))
    if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, "..")) ++count;
  closedir(dir);
  return count;
}

// The driver's name as this namespace's kernel tells it ("" when it does not).
std::string DriverOf(const std::string& name) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return "";
  ethtool_drvinfo info{};
  info.cmd = ETHTOOL_GDRVINFO;
  ifreq request{};
  std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
  request.ifr_data = reinterpret_cast<char*>(&info);
  std::string driver;
  if (ioctl(fd, SIOCETHTOOL, &request) == 0) driver = info.driver;
  close(fd);
  return driver;
}

// /sys shows the namespace it was mounted in, which need not be the calling
// thread's: its folder of an interface counts only when the index matches.
bool SysfsMatches(const std::string& name) {
  return std::atoi(ReadLine("/sys/class/net/" + name + "/ifindex").c_str()) ==
         static_cast<int>(if_nametoindex(name.c_str()));
}

InterfaceKind KindOf(const std::string& name, unsigned flags) {
  if (flags & IFF_LOOPBACK) return InterfaceKind::kLoopback;
  const std::string driver = DriverOf(name);
  if (driver == "bridge") return InterfaceKind::kBridge;
  if (driver == "tun" || driver == "wireguard" || driver == "ipip" || driver == "gre" ||
      driver == "sit" || driver == "ppp")
    return InterfaceKind::kTunnel;
  if (driver == "veth" || driver == "dummy" || driver == "macvlan" || driver == "ipvlan" ||
      driver == "vxlan" || driver == "802.1Q VLAN Support")
    return InterfaceKind::kVirtual;
  if (!SysfsMatches(name))
    return (flags & IFF_POINTOPOINT) ? InterfaceKind::kTunnel : InterfaceKind::kWired;
  const std::string sys = "/sys/class/net/" + name;
  if (Exists(sys + "/wireless") || Exists(sys + "/phy80211")) return InterfaceKind::kWireless;
  if (Exists(sys + "/bridge")) return InterfaceKind::kBridge;
  if (Exists(sys + "/tun_flags") || (flags & IFF_POINTOPOINT)) return InterfaceKind::kTunnel;
  int type = std::atoi(ReadLine(sys + "/type").c_str());
  // ARPHRD_NONE (wireguard), tunnels of the 768.. range, PPP.
  if (type == 65534 || type == 512 || (type >= 768 && type <= 778)) return InterfaceKind::kTunnel;
  char real[4096];
  if (realpath(sys.c_str(), real) && std::strstr(real, "/virtual/")) return InterfaceKind::kVirtual;
  return InterfaceKind::kWired;
}

// Output of a command and its exit status; -1 when it could not run.
int RunCapture(const std::string& command, std::string& output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string FindOnPath(const std::string& name) {
  for (const char* folder : {"/usr/sbin", "/sbin", "/usr/bin", "/bin"})
    if (access((std::string(folder) + "/" + name).c_str(), X_OK) == 0)
      return std::string(folder) + "/" + name;
  return "";
}

std::string OwnFolder() {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "";
  self[n] = 0;
  std::string path = self;
  return path.substr(0, path.rfind('/'));
}

std::string FindProgram(const std::string& name) {
  std::string beside = OwnFolder() + "/" + name;
  if (access(beside.c_str(), X_OK) == 0) return beside;
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty()) continue;
    std::string candidate = folder + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

// The socket inode of whoever listens on UDP port 67, or "" when no one does.
bool Port67Inode(std::string& inode) {
  std::ifstream in("/proc/net/udp");
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, node;
    fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >>
        node;
    size_t colon = local.find(':');
    if (colon == std::string::npos) continue;
    if (std::strtoul(local.substr(colon + 1).c_str(), nullptr, 16) == 67) {
      inode = node;
      return true;
    }
  }
  return false;
}

// The process holding that socket, as far as this user may look.
void FindHolder(const std::string& inode, DhcpFacts& facts) {
  const std::string wanted = "socket:[" + inode + "]";
  DIR* proc = opendir("/proc");
  if (!proc) return;
  while (dirent* entry = readdir(proc)) {
    int pid = std::atoi(entry->d_name);
    if (pid <= 0) continue;
    std::string fdFolder = "/proc/" + std::to_string(pid) + "/fd";
    DIR* fds = opendir(fdFolder.c_str());
    if (!fds) continue;
    bool found = false;
    while (dirent* fd = readdir(fds)) {
      char target[256];
      ssize_t n = readlink((fdFolder + "/" + fd->d_name).c_str(), target, sizeof target - 1);
      if (n > 0 && std::string(target, static_cast<size_t>(n)) == wanted) {
        found = true;
        break;
      }
    }
    closedir(fds);
    if (found) {
      facts.port67HolderPid = pid;
      facts.port67Holder =
          ReadLine("/proc/" + std::to_string(pid) + "/comm") + " (pid " + std::to_string(pid) + ")";
      break;
    }
  }
  closedir(proc);
}

}  // namespace

std::vector<InterfaceFacts> ProbeInterfaces() {
  std::string defaultVia;
  const auto routes = platform::ReadDefaultRoutes();
  if (!routes.empty()) defaultVia = routes.front().interfaceName;
  std::vector<InterfaceFacts> out;
  for (const platform::HostInterface& host : platform::ListInterfaces()) {
    InterfaceFacts nic;
    nic.name = host.name;
    nic.up = (host.flags & IFF_UP) != 0;
    nic.kind = KindOf(nic.name, host.flags);
    nic.ethernetAddress = host.ethernetAddress;
    nic.defaultRoute = nic.name == defaultVia;
    if (SysfsMatches(nic.name)) {
      if (nic.kind == InterfaceKind::kBridge)
        nic.bridgeMembers = CountEntries("/sys/class/net/" + nic.name + "/brif");
      std::string master = LinkName("/sys/class/net/" + nic.name + "/master");
      if (!master.empty() && Exists("/sys/class/net/" + master + "/bridge")) nic.bridgeOf = master;
    } else if (nic.kind == InterfaceKind::kBridge) {
      nic.bridgeMembers = -1;  // unknown here
    }
    if (!host.ipv4.empty()) {
      nic.address = Ipv4Text(host.ipv4.front().address);
      if (host.ipv4.front().hasMask) nic.mask = Ipv4Text(host.ipv4.front().mask);
    }
    out.push_back(std::move(nic));
  }
  return out;
}

FirewallFacts ProbeFirewall() {
  FirewallFacts facts;
  std::string nft = FindOnPath("nft");
  if (nft.empty()) {
    facts.unreadableWhy = "nft is not installed (Debian package nftables)";
    return facts;
  }
  std::string output;
  int status = RunCapture(nft + " -j list ruleset 2>&1", output);
  if (status != 0) {
    std::string first = output.substr(0, output.find('\n'));
    facts.unreadableWhy = "nft: " + (first.empty() ? "exit status " + std::to_string(status) : first);
    if (geteuid() != 0) facts.unreadableWhy += "; reading it needs root";
    return facts;
  }
  if (output.find_first_not_of(" \n") == std::string::npos) {
    facts.readable = true;  // no ruleset at all: nothing drops
    return facts;
  }
  return AnalyseNftRuleset(output);
}

bool FileHasBindCapability(const std::string& path) {
  vfs_ns_cap_data data{};
  ssize_t n = getxattr(path.c_str(), "security.capability", &data, sizeof data);
  if (n < static_cast<ssize_t>(sizeof(uint32_t) * 3)) return false;
  uint32_t magic = data.magic_etc;
  bool effective = (magic & VFS_CAP_FLAGS_EFFECTIVE) != 0;
  uint32_t permitted = data.data[0].permitted;
  return effective && (permitted & (1u << CAP_NET_BIND_SERVICE)) != 0;
}

DhcpFacts ProbeDhcp(const std::vector<std::string>& programNames) {
  DhcpFacts facts;
  facts.root = geteuid() == 0;
  std::string start = ReadLine("/proc/sys/net/ipv4/ip_unprivileged_port_start");
  if (!start.empty()) facts.unprivilegedPortStart = std::atoi(start.c_str());
  for (const std::string& name : programNames) {
    ProgramBindFacts program;
    program.name = name;
    program.path = FindProgram(name);
    if (!program.path.empty()) program.capability = FileHasBindCapability(program.path);
    facts.programs.push_back(program);
  }
  std::string inode;
  facts.port67Busy = Port67Inode(inode);
  if (facts.port67Busy) FindHolder(inode, facts);
  return facts;
}

}  // namespace pelmar
