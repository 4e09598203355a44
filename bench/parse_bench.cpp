// Parse rates of the receive path: text answers and secure datagrams per
// second, each as far as the receive step takes it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <mutex>
#include <vector>

#include "client.h"
#include "lifecycle.h"
#include "secure/message.h"
#include "state/tlv.h"
#include "text/text_protocol.h"

namespace {

const char kAnswer[] =
    "protocol version = 2.1;fb type = Corvane IO-Link;module version = 3.4.1025;"
    "mac = 02-00-00-12-34-AB;ip = 192.168.0.10;sn = 255.255.255.0;gw = 192.168.0.1;"
    "dhcp = off;pswd = on;hn = line-7;dns1 = 8.8.8.8;dns2 = 1.1.1.1;seed = 5A3C;"
    "kernel version = 4.19.300;";

constexpr uint8_t kSlotMac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};

// Parser alone: the text into an MdspResponse.
void ParseTextAnswer(benchmark::State& state) {
  for (auto _ : state) {
    MdspResponse response{};
    bool unsupported;
    mdsp::ParseAnswerHead(kAnswer, response);
    mdsp::ParseAnswerTail(kAnswer, response, &unsupported);
    benchmark::DoNotOptimize(response);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ParseTextAnswer);

// The whole text path: notice check, parse, duplicate test against the
// queue, queue entry, MDSP_Message entry. Each answer carries its own MAC;
// the lists are emptied every 256 answers, as a scan would.
void HandleTextAnswers(benchmark::State& state) {
  mdsp::LibraryLoad();
  mdsp::EnsureClient();
  mdsp::Client& client = *mdsp::TheClient();
  std::vector<std::vector<char>> answers(256);
  for (size_t i = 0; i < answers.size(); ++i) {
    std::string text = kAnswer;
    char mac[8];
    std::snprintf(mac, sizeof mac, "%02X", static_cast<unsigned>(i & 0xFF));
    text.replace(text.find("34-AB") + 3, 2, mac);
    answers[i].assign(text.begin(), text.end());
    answers[i].push_back('\0');
  }
  size_t next = 0;
  std::lock_guard<mdsp::SocketLock> guard(client.socketLock);
  for (auto _ : state) {
    const char* text = answers[next].data();
    if (!mdsp::HandleNotice(client, text)) mdsp::HandleTextAnswer(client, text);
    if (++next == answers.size()) {
      next = 0;
      state.PauseTiming();
      {
        std::lock_guard<std::recursive_mutex> queueGuard(client.queueLock);
        mdsp::ClearModuleLists(client);
      }
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations());
  mdsp::LibraryUnload();
}
BENCHMARK(HandleTextAnswers);

std::vector<uint8_t> DiscoverReply() {
  std::vector<uint8_t> payload;
  auto add = [&](uint8_t tag, const void* value, uint8_t length) {
    payload.push_back(tag);
    payload.push_back(length);
    const auto* bytes = static_cast<const uint8_t*>(value);
    payload.insert(payload.end(), bytes, bytes + length);
  };
  const uint8_t ip[4] = {0x0A, 0x00, 0xA8, 0xC0}, mask[4] = {0, 0xFF, 0xFF, 0xFF};
  const uint8_t one = 1, zero = 0;
  add(0, &one, 1);
  add(1, "3.4.1025", 8);
  add(2, "Corvane IO-Link", 15);
  add(4, ip, 4);
  add(5, mask, 4);
  add(6, ip, 4);
  add(7, ip, 4);
  add(8, ip, 4);
  add(9, &zero, 1);
  add(10, "line-7", 6);
  std::vector<uint8_t> d = {0xC1, 0xAB};
  d.insert(d.end(), kSlotMac, kSlotMac + 6);
  const uint8_t module[6] = {0x02, 0x00, 0x00, 0x12, 0x34, 0xAB};
  d.insert(d.end(), module, module + 6);
  d.push_back(mdsp::kFlagReply);
  d.push_back(mdsp::kTypeDiscover);
  d.push_back(static_cast<uint8_t>(payload.size()));
  d.push_back(static_cast<uint8_t>(payload.size() >> 8));
  d.insert(d.end(), payload.begin(), payload.end());
  return d;
}

// A Discover reply accepted and its TLVs parsed, as the reply handling does
// before it enters the module.
void AcceptSecureDatagram(benchmark::State& state) {
  const std::vector<uint8_t> datagram = DiscoverReply();
  for (auto _ : state) {
    mdsp::Message* message = mdsp::Accept(datagram.data(), datagram.size(), kSlotMac);
    mdsp::TlvParse(message->payload, message->length, message->tlvs);
    benchmark::DoNotOptimize(message);
    delete message;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(AcceptSecureDatagram);

// Rejection of a datagram addressed elsewhere: the cost of foreign traffic.
void RejectForeignDatagram(benchmark::State& state) {
  std::vector<uint8_t> datagram = DiscoverReply();
  datagram[7] ^= 0xFF;
  for (auto _ : state) benchmark::DoNotOptimize(mdsp::Accept(datagram.data(), datagram.size(), kSlotMac));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(RejectForeignDatagram);

}  // namespace

BENCHMARK_MAIN();
