#include "dhcp_wire_lab.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace pelmar_test {

bool MakeServerAndClient(net_test::Lab& lab, std::string* server, std::string* client,
                         const std::string& clientCidr, const std::string& clientMac) {
  *server = lab.AddNamespace("s");
  *client = lab.AddNamespace("c");
  if (server->empty() || client->empty()) return false;
  if (!lab.Link(*server, "s0", "10.200.1.1/24", "", *client, "c0", clientCidr, clientMac))
    return false;
  return clientCidr.empty() || lab.Run(*client, "ip route add default dev c0");
}

bool MakePlant(net_test::Lab& lab, Plant* plant) {
  plant->server = lab.AddNamespace("s");
  std::string hub = lab.AddNamespace("h");
  const char* tags[3] = {"a", "b", "d"};
  for (int i = 0; i < 3; ++i) plant->modules[i] = lab.AddNamespace(tags[i]);
  if (plant->server.empty() || hub.empty() || plant->modules[0].empty() ||
      plant->modules[1].empty() || plant->modules[2].empty())
    return false;
  return lab.Link(plant->server, "s0", "10.200.1.1/24", "", hub, "h0", "", "") &&
         lab.Link(plant->modules[0], "c0", "", kPlantMacs[0], hub, "h1", "", "") &&
         lab.Link(plant->modules[1], "c0", "", kPlantMacs[1], hub, "h2", "", "") &&
         lab.Run(hub,
                 "ip link add br0 type bridge && ip link set h0 master br0 && "
                 "ip link set h1 master br0 && ip link set h2 master br0 && ip link set br0 up") &&
         lab.Link(plant->server, "s1", "10.201.1.1/24", "", plant->modules[2], "c0", "",
                  kPlantMacs[2]);
}

void AnswerLog::Sink(const pelmar::DhcpAnswer& answer, void* context) {
  auto* log = static_cast<AnswerLog*>(context);
  std::lock_guard<std::mutex> hold(log->lock);
  log->answers.push_back(answer);
}

bool AnswerLog::Has(uint8_t messageType) {
  std::lock_guard<std::mutex> hold(lock);
  for (const pelmar::DhcpAnswer& a : answers)
    if (a.messageType == messageType) return true;
  return false;
}

bool BusyboxInstalled() { return std::system("command -v busybox >/dev/null 2>&1") == 0; }

std::string WriteLeaseScript(net_test::Lab& lab) {
  std::string path = lab.tempDir() + "/apply-lease.sh";
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return "";
  std::fputs("#!/bin/sh\n"
             "case \"$1\" in\n"
             "  bound|renew) ip addr add \"$ip/$subnet\" dev \"$interface\" ;;\n"
             "esac\n"
             "exit 0\n",
             f);
  std::fclose(f);
  return chmod(path.c_str(), 0755) == 0 ? path : "";
}

bool RunUdhcpc(net_test::Lab& lab, const std::string& ns, const std::string& iface,
               const std::string& script, std::string* output) {
  return lab.Run(ns, "busybox udhcpc -f -q -n -i " + iface + " -t 10 -T 1 -s " + script, output);
}

pid_t SpawnUdhcpc(net_test::Lab& lab, const std::string& ns, const std::string& iface,
                  const std::string& script, int tries, const std::string& logFile) {
  return lab.Spawn(ns,
                   {"busybox", "udhcpc", "-f", "-q", "-n", "-i", iface, "-t",
                    std::to_string(tries), "-T", "1", "-s", script},
                   logFile);
}

bool Ipv4Addresses(net_test::Lab& lab, const std::string& ns, const std::string& iface,
                   std::string* addresses) {
  return lab.Run(ns, "ip -4 addr show dev " + iface, addresses);
}

}  // namespace pelmar_test
