// The receive path under load, between namespaces made by each test: a
// request gets the socket lock while a backlog waits, and a crowd of modules
// of both protocols is listed whole, each once.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "client.h"
#include "library_reset.h"
#include "mdsp.h"
#include "module_table.h"
#include "netns.h"
#include "receive.h"
#include "socket_set.h"

namespace {

using namespace mdsp;
using Mac = std::array<uint8_t, 6>;

class WireLoad : public mdsp_test::FreshLibrary {
 protected:
  void SetUp() override {
    FreshLibrary::SetUp();
    if (!lab_.ok()) return;
    host_ = lab_.addNamespace("h");
    peer_ = lab_.addNamespace("p");
    ready_ = !host_.empty() && !peer_.empty() &&
             lab_.link(host_, "h0", "10.77.0.1/24", "02:00:00:aa:00:01", peer_, "p0",
                       "10.77.0.2/24", "02:00:00:bb:00:01") &&
             lab_.enter(host_);
  }
  void TearDown() override {
    MDSP_Stop();
    FreshLibrary::TearDown();
  }

  testnet::Lab lab_;
  std::string host_, peer_;
  bool ready_ = false;
};

#define REQUIRE_LAB()  \
  NETNS_REQUIRE(lab_); \
  ASSERT_TRUE(ready_) << lab_.error()

// Broadcasts `count` copies of a datagram from inside a namespace.
bool BroadcastFrom(testnet::Lab& lab, const std::string& ns, const std::string& returnTo,
                   const std::string& datagram, int count) {
  if (!lab.enter(ns)) return false;
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, "p0", 2);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kMdspPort);
  to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  int sent = 0;
  for (int i = 0; i < count; ++i)
    if (sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to),
               sizeof to) == static_cast<ssize_t>(datagram.size()))
      ++sent;
  close(fd);
  return lab.enter(returnTo) && sent == count;
}

TEST_F(WireLoad, RequestGetsTheSocketLockBeforeTheBacklogIsRead) {
  REQUIRE_LAB();
  constexpr int kBacklog = 20000;
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
  Client& client = *TheClient();
  {
    std::lock_guard<SocketLock> guard(client.socketLock);
    ASSERT_TRUE(SendText(*client.sockets, "MODULE SCAN"));  // opens the socket
  }
  // Notices the receive step drops: a backlog that costs nothing to keep.
  ASSERT_TRUE(BroadcastFrom(lab_, peer_, host_, std::string("Module Scan", 12), kBacklog));

  std::unique_lock<SocketLock> held(client.socketLock);
  ASSERT_EQ(MDSP_Start(), 1);  // the worker now waits for the lock
  const uint8_t mac[6] = {0x02, 0x00, 0x00, 0xbb, 0x00, 0x01};
  std::atomic<uint64_t> readAtReturn{0};
  std::atomic<int> result{-1};
  std::thread caller([&] {
    result = MDSP_SendWink(mac);
    readAtReturn = client.datagramsRead.load();
  });
  // Release only once the request is queued behind the lock.
  ASSERT_TRUE(testnet::waitFor([&] { return client.socketLock.waiting() == 1; }));
  held.unlock();
  caller.join();

  EXPECT_EQ(result.load(), 1);
  // At most the step under way and one more ran before the request returned.
  EXPECT_LE(readAtReturn.load(), 2 * kDatagramsPerStep);
  EXPECT_LT(readAtReturn.load(), static_cast<uint64_t>(kBacklog));
  // The rest is read in the following steps: the backlog, the scan and the
  // wink that came back.
  EXPECT_TRUE(testnet::waitFor(
      [&] { return client.datagramsRead.load() == static_cast<uint64_t>(kBacklog) + 2; },
      30000))
      << client.datagramsRead.load() << " read";
}

struct Found {
  int32_t index;
  Mac mac;
};

std::mutex g_eventsLock;
std::vector<Found> g_found;
std::vector<Mac> g_answered;

int32_t OnSmdsp(int32_t event, int32_t index, uint8_t* mac, int32_t, void*) {
  if (event != SMDSP_EVENT_MODULE_FOUND) return 0;
  std::lock_guard<std::mutex> guard(g_eventsLock);
  Found found{index, {}};
  std::memcpy(found.mac.data(), mac, 6);
  g_found.push_back(found);
  return 0;
}

void OnMdsp(int32_t event, uint8_t* mac) {
  if (event != MDSP_EVENT_MODULE_ANSWERED) return;
  std::lock_guard<std::mutex> guard(g_eventsLock);
  g_answered.emplace_back();
  std::memcpy(g_answered.back().data(), mac, 6);
}

size_t FoundCount() {
  std::lock_guard<std::mutex> guard(g_eventsLock);
  return g_found.size();
}

TEST_F(WireLoad, TwoThousandModulesOfBothProtocolsArriveEachOnce) {
  REQUIRE_LAB();
  constexpr int kText = 1000, kSecure = 1000;
  std::string simLog = lab_.tempDir() + "/sim.log";
  ASSERT_GT(lab_.spawn(peer_, {MDSP_SIM_PATH, "--iface", "p0", "--generate-text",
                               std::to_string(kText), "--generate-secure",
                               std::to_string(kSecure)},
                       simLog),
            0);
  ASSERT_TRUE(testnet::waitFor(
      [&] { return testnet::readFile(simLog).find("ready") != std::string::npos; }, 10000));
  {
    std::lock_guard<std::mutex> guard(g_eventsLock);
    g_found.clear();
    g_answered.clear();
  }
  SMDSP_RegisterCallBack(OnSmdsp);
  MDSP_RegisterCallBack(OnMdsp);
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
  ASSERT_EQ(MDSP_Start(), 1);
  ASSERT_EQ(SMDSP_SendDiscover(nullptr), MDSP_RESULT_OK);
  ASSERT_TRUE(testnet::waitFor([] { return FoundCount() >= kText + kSecure; }, 60000))
      << FoundCount() << " found";
  // Anything raised twice would come right behind the last answer.
  testnet::sleepMs(300);
  MDSP_Stop();

  Client& client = *TheClient();
  std::lock_guard<SocketLock> socketGuard(client.socketLock);
  std::lock_guard<std::recursive_mutex> queueGuard(client.queueLock);
  std::lock_guard<std::mutex> guard(g_eventsLock);

  // Every module once, each found event once, with the index of its entry.
  ASSERT_EQ(g_found.size(), static_cast<size_t>(kText + kSecure));
  ASSERT_EQ(client.modules.count(), static_cast<size_t>(kText + kSecure));
  std::set<Mac> tableMacs;
  for (size_t i = 0; i < g_found.size(); ++i) {
    ASSERT_EQ(g_found[i].index, static_cast<int32_t>(i));
    Mac entryMac;
    client.modules[i]->GetMac(entryMac.data());
    EXPECT_EQ(entryMac, g_found[i].mac) << "entry " << i;
    EXPECT_TRUE(tableMacs.insert(entryMac).second) << "entry " << i << " listed twice";
  }
  for (int i = 1; i <= kText + kSecure; ++i) {
    Mac expected{0x02, 0x00, 0x01, static_cast<uint8_t>(i >> 16), static_cast<uint8_t>(i >> 8),
                 static_cast<uint8_t>(i)};
    EXPECT_EQ(tableMacs.count(expected), 1u) << "module " << i << " missing";
  }

  // The queue holds exactly the text modules, each once, and agrees with the
  // table's text entries and with the answered events.
  ASSERT_EQ(client.responses.count(), static_cast<size_t>(kText));
  std::set<Mac> queued, textEntries, answered(g_answered.begin(), g_answered.end());
  for (size_t i = 0; i < client.responses.count(); ++i) {
    Mac mac;
    std::memcpy(mac.data(), client.responses[i]->mac, 6);
    ASSERT_TRUE(client.responses[i]->macValid);
    EXPECT_TRUE(queued.insert(mac).second) << "answer " << i << " queued twice";
    EXPECT_TRUE(client.responses.HoldsMac(mac.data()));
  }
  for (size_t i = 0; i < client.modules.count(); ++i) {
    if (!client.modules[i]->IsTextModule()) continue;
    Mac mac;
    client.modules[i]->GetMac(mac.data());
    textEntries.insert(mac);
  }
  EXPECT_EQ(queued, textEntries);
  EXPECT_EQ(g_answered.size(), static_cast<size_t>(kText));
  EXPECT_EQ(answered, queued);
}

}  // namespace
