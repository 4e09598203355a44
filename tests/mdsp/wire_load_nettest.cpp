// The receive path under load, on a host-and-peer wire: a request gets the
// socket lock while a backlog waits, and a crowd of modules of both
// protocols is listed whole, each once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "client.h"
#include "event_recorder.h"
#include "library_on_the_wire.h"
#include "manual_clock.h"
#include "mdsp.h"
#include "receive.h"
#include "state/module_table.h"
#include "state/socket_set.h"
#include "udp_probe.h"

namespace mdsp_test {
namespace {

using namespace mdsp;
class WireLoad : public mdsp_test::LibraryOnTheWire {
 protected:
  // A peer socket on p0, and the library's socket on h0 opened by a scan
  // sent while the worker is not running.
  void OpenSocketBesidePeer() {
    peer.emplace(lab_, peer_, "p0", host_);
    ASSERT_TRUE(peer->ok());
    ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
    std::lock_guard<SocketLock> guard(TheClient()->socketLock);
    ASSERT_TRUE(SendText(*TheClient()->sockets, "MODULE SCAN"));
  }

  std::optional<net_test::UdpProbe> peer;
};

TEST_F(WireLoad, RequestGetsTheSocketLockBeforeTheBacklogIsRead) {
  REQUIRE_LAB();
  constexpr int kBacklog = 20000;
  ASSERT_NO_FATAL_FAILURE(OpenSocketBesidePeer());
  Client& client = *TheClient();
  // Notices the receive step drops: a backlog that costs nothing to keep.
  const std::string notice("Module Scan", 12);
  for (int i = 0; i < kBacklog; ++i) ASSERT_TRUE(peer->Broadcast(notice)) << i;

  std::unique_lock<SocketLock> held(client.socketLock);
  ASSERT_EQ(MDSP_Start(), 1);  // the worker now waits for the lock
  const uint8_t mac[6] = {0x02, 0x00, 0x00, 0xbb, 0x00, 0x01};
  std::atomic<uint64_t> readAtLock{0};
  std::atomic<int> result{-1};
  std::thread caller([&] {
    // The caller queues for the lock as a request does, and counts what was
    // read once it holds it: the worker cannot read while the lock is held,
    // so the count does not depend on how the threads are scheduled after.
    std::lock_guard<SocketLock> request(client.socketLock);
    readAtLock = client.datagramsRead.load();
    result = MDSP_SendWink(mac);  // takes the same lock again
  });
  // Released only once the request is queued behind the lock.
  ASSERT_TRUE(net_test::WaitFor([&] { return client.socketLock.waiting() == 1; }));
  held.unlock();
  caller.join();

  EXPECT_EQ(result.load(), 1);
  // At most the step under way and the one after the release ran.
  EXPECT_LE(readAtLock.load(), 2 * kDatagramsPerStep);
  EXPECT_LT(readAtLock.load(), static_cast<uint64_t>(kBacklog));
  // The rest is read in the following steps: the backlog, the scan and the
  // wink that came back.
  EXPECT_TRUE(net_test::WaitFor(
      [&] { return client.datagramsRead.load() == static_cast<uint64_t>(kBacklog) + 2; },
      30000))
      << client.datagramsRead.load() << " read";
}

// The namespace's count of datagrams dropped for want of buffer room.
long ReceiveBufferDrops() {
  std::istringstream snmp(net_test::ReadFile("/proc/thread-self/net/snmp"));
  std::string names, values;
  while (std::getline(snmp, names)) {
    if (names.rfind("Udp:", 0) != 0 || !std::getline(snmp, values)) continue;
    std::istringstream n(names), v(values);
    std::string name, value;
    while (n >> name && v >> value)
      if (name == "RcvbufErrors") return std::stol(value);
  }
  return -1;
}

TEST_F(WireLoad, ReceiveBufferHoldsABurstOfTenThousandAnswers) {
  REQUIRE_LAB();
  constexpr int kBurst = 10000;
  ASSERT_NO_FATAL_FAILURE(OpenSocketBesidePeer());
  Client& client = *TheClient();
  long dropsBefore = ReceiveBufferDrops();
  ASSERT_GE(dropsBefore, 0);
  // As long as a full text answer; the worker is not running, so the whole
  // burst has to wait in the buffer.
  std::string answer("Module Scan");
  answer.resize(400, ';');
  for (int i = 0; i < kBurst; ++i) ASSERT_TRUE(peer->Broadcast(answer)) << i;
  ASSERT_EQ(MDSP_Start(), 1);
  EXPECT_TRUE(net_test::WaitFor(
      [&] { return client.datagramsRead.load() >= static_cast<uint64_t>(kBurst) + 1; }, 30000))
      << client.datagramsRead.load() << " read";
  EXPECT_EQ(ReceiveBufferDrops(), dropsBefore);
}

TEST_F(WireLoad, IdleSocketsCloseOnlyOnceTheBacklogIsRead) {
  REQUIRE_LAB();
  constexpr int kBacklog = 4 * static_cast<int>(kDatagramsPerStep);
  mdsp_test::ManualClock clock;
  ASSERT_NO_FATAL_FAILURE(OpenSocketBesidePeer());
  Client& client = *TheClient();
  const std::string notice("Module Scan", 12);
  for (int i = 0; i < kBacklog; ++i) ASSERT_TRUE(peer->Broadcast(notice)) << i;
  // The idle time is over before the worker's first step.
  clock.AdvanceMs(kIdleCloseMs + 1);
  ASSERT_EQ(MDSP_Start(), 1);
  EXPECT_TRUE(net_test::WaitFor([&] {
    std::lock_guard<SocketLock> guard(client.socketLock);
    return client.sockets->openCount == 0;
  }, 30000));
  // The scan that came back and every datagram behind it.
  EXPECT_EQ(client.datagramsRead.load(), static_cast<uint64_t>(kBacklog) + 1);
}

TEST_F(WireLoad, TwoThousandModulesOfBothProtocolsArriveEachOnce) {
  REQUIRE_LAB();
  constexpr int kText = 1000, kSecure = 1000;
  ASSERT_NE(net_.StartSimulator(MDSP_SIM_PATH, R"({"generate": {"text": 1000, "secure": 1000}})"),
            "");
  mdsp_test::EventRecorder events;
  events.Install();
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
  ASSERT_EQ(MDSP_Start(), 1);
  ASSERT_EQ(SMDSP_SendDiscover(nullptr), MDSP_RESULT_OK);
  ASSERT_TRUE(events.WaitForCount(SMDSP_EVENT_MODULE_FOUND, kText + kSecure, 60000))
      << events.Count(SMDSP_EVENT_MODULE_FOUND) << " found";
  // Every datagram read (the answers and our own two requests coming back),
  // so anything raised twice has been raised; the stop lets the worker
  // finish the one it handles.
  Client& client = *TheClient();
  EXPECT_TRUE(net_test::WaitFor(
      [&] { return client.datagramsRead.load() >= static_cast<uint64_t>(kText + kSecure) + 2; },
      30000));
  MDSP_Stop();

  std::lock_guard<SocketLock> socketGuard(client.socketLock);
  std::lock_guard<std::recursive_mutex> queueGuard(client.queueLock);
  std::vector<mdsp_test::RecordedEvent> found;
  for (const auto& e : events.Smdsp())
    if (e.event == SMDSP_EVENT_MODULE_FOUND) found.push_back(e);

  // Every module once, each found event once, with the index of its entry.
  ASSERT_EQ(found.size(), static_cast<size_t>(kText + kSecure));
  ASSERT_EQ(client.modules.count(), found.size());
  std::set<Mac> tableMacs;
  for (size_t i = 0; i < found.size(); ++i) {
    ASSERT_EQ(found[i].index, static_cast<int32_t>(i));
    Mac entryMac;
    client.modules[i]->GetMac(entryMac.data());
    EXPECT_EQ(entryMac, found[i].mac) << "entry " << i;
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
  std::set<Mac> queued, textEntries, answered;
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
  size_t answeredEvents = 0;
  for (const auto& e : events.Mdsp()) {
    if (e.event != MDSP_EVENT_MODULE_ANSWERED) continue;
    ++answeredEvents;
    answered.insert(e.mac);
  }
  EXPECT_EQ(answeredEvents, static_cast<size_t>(kText));
  EXPECT_EQ(answered, queued);
}

}  // namespace
}  // namespace mdsp_test
