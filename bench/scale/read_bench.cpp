// Cost of reading a module's value through the export on a table of 500
// modules (250 of each kind, filled the way discovery fills it).
#include <benchmark/benchmark.h>

#include <cstring>
#include <mutex>

#include "client.h"
#include "mdsp.h"
#include "secure/message.h"
#include "state/tlv.h"

namespace {

constexpr uint32_t kModules = 500;

void FillTable() {
  static std::once_flag once;
  std::call_once(once, [] {
    mdsp::EnsureClient();
    mdsp::Client& client = *mdsp::TheClient();
    std::lock_guard<std::recursive_mutex> guard(client.queueLock);
    for (uint32_t i = 0; i < kModules; ++i) {
      if (i % 2 == 0) {
        auto* r = new MdspResponse{};
        r->mac[5] = static_cast<uint8_t>(i);
        r->macValid = r->protocolVersionValid = r->fieldBusTypeValid = r->moduleVersionValid = 1;
        std::strcpy(r->fieldBusType, "SIM-IO 16DI");
        r->ip = 0x0A000000u + i;
        r->ipValid = r->subnetMaskValid = r->gatewayValid = r->dhcpValid = r->passwordValid = 1;
        std::strcpy(r->hostName, "sim-module");
        r->hostNameValid = r->dns1Valid = r->dns2Valid = r->kernelVersionValid = 1;
        client.responses.Append(r);
        client.modules.Append(new mdsp::MDSP_Message(r));
      } else {
        auto* m = new mdsp::Message;
        m->sourceMac[5] = static_cast<uint8_t>(i);
        uint8_t address[4] = {static_cast<uint8_t>(i), 0, 0, 10};
        const uint8_t one = 1;
        mdsp::TlvAppend(m->tlvs, 0, 1, &one);
        mdsp::TlvAppend(m->tlvs, 1, 5, "3.1.7");
        mdsp::TlvAppend(m->tlvs, 2, 11, "SIM-IO 16DI");
        for (uint8_t tag = 4; tag <= 8; ++tag) mdsp::TlvAppend(m->tlvs, tag, 4, address);
        mdsp::TlvAppend(m->tlvs, 9, 1, &one);
        mdsp::TlvAppend(m->tlvs, 10, 10, "sim-module");
        mdsp::TlvAppend(m->tlvs, 255, 1, &one);
        client.modules.Append(m);
      }
    }
  });
}

// The IP address: near the front of either kind's list.
void GetPayloadDataIp(benchmark::State& state) {
  FillTable();
  uint8_t out[4];
  uint32_t index = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(SMDSP_GetPayloadData(4, index, out, 4));
    index = (index + 1) % kModules;
  }
}
BENCHMARK(GetPayloadDataIp);

// The marker: the last item of a secure entry, absent from a text entry
// (a full walk of its list).
void GetPayloadDataMarker(benchmark::State& state) {
  FillTable();
  uint8_t out;
  uint32_t index = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(SMDSP_GetPayloadData(255, index, &out, 1));
    index = (index + 1) % kModules;
  }
}
BENCHMARK(GetPayloadDataMarker);

// A whole scan row: the eight reads the tool makes per module.
void ReadScanRow(benchmark::State& state) {
  FillTable();
  uint8_t bytes[4];
  char text[256];
  uint32_t index = 0;
  for (auto _ : state) {
    SMDSP_GetPayloadData(255, index, bytes, 1);
    for (int32_t tag = 4; tag <= 6; ++tag) SMDSP_GetPayloadData(tag, index, bytes, 4);
    SMDSP_GetPayloadData(9, index, bytes, 1);
    SMDSP_GetPayloadString(2, index, text, sizeof text);
    SMDSP_GetPayloadString(10, index, text, sizeof text);
    SMDSP_GetModuleMac(index, bytes);
    index = (index + 1) % kModules;
  }
}
BENCHMARK(ReadScanRow);

}  // namespace

BENCHMARK_MAIN();
