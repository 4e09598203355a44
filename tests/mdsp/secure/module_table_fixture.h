// A started library whose module table the test fills by hand, and a
// callback that records every SmdspCallback event. Nothing goes on a wire.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "callbacks.h"
#include "client.h"
#include "library_reset.h"
#include "mdsp.h"
#include "secure/message.h"
#include "secure/tlv.h"

namespace mdsp_test {

struct RecordedEvent {
  int32_t event;
  int32_t index;
  uint8_t mac[6];
  int32_t argument;
  void* context;
};

class ModuleTableTest : public FreshLibrary {
 protected:
  void SetUp() override {
    FreshLibrary::SetUp();
    recorded().clear();
    ASSERT_TRUE(mdsp::EnsureClient());
    client = mdsp::TheClient();
    SMDSP_RegisterCallBack(&Record);
  }
  void TearDown() override {
    SMDSP_RegisterCallBack(nullptr);
    for (auto* report : reports()) std::free(report);
    reports().clear();
    FreshLibrary::TearDown();
  }

  static std::vector<RecordedEvent>& recorded() {
    static std::vector<RecordedEvent> events;
    return events;
  }
  static std::vector<void*>& reports() {
    static std::vector<void*> arrays;
    return arrays;
  }
  static int32_t Record(int32_t event, int32_t index, uint8_t* mac, int32_t argument,
                        void* context) {
    RecordedEvent e{event, index, {}, argument, context};
    std::memcpy(e.mac, mac, 6);
    recorded().push_back(e);
    if (event == SMDSP_EVENT_RESTART_REPORT) reports().push_back(context);
    return 0;
  }

  // A secure module's entry as a Discover reply leaves it: description tags
  // plus the secure-module marker.
  uint32_t AddSecureModule(uint8_t macLast, uint32_t ip = 0xC0A8000A) {
    auto* m = new mdsp::Message;
    uint8_t mac[6] = {0x02, 0, 0, 0, 0, macLast};
    std::memcpy(m->sourceMac, mac, 6);
    uint8_t address[4] = {static_cast<uint8_t>(ip), static_cast<uint8_t>(ip >> 8),
                          static_cast<uint8_t>(ip >> 16), static_cast<uint8_t>(ip >> 24)};
    const uint8_t one = 1;
    mdsp::TlvAppend(m->tlvs, 1, 5, "2.0.4");
    mdsp::TlvAppend(m->tlvs, 2, 7, "SEC-IO8");
    mdsp::TlvAppend(m->tlvs, 4, 4, address);
    mdsp::TlvAppend(m->tlvs, 10, 6, "node-a");
    mdsp::TlvAppend(m->tlvs, 255, 1, &one);
    return Append(m);
  }

  // A text-protocol module's entry made from its scan answer.
  uint32_t AddTextModule(uint8_t macLast, const char* seed = "") {
    auto* r = new MdspResponse{};
    uint8_t mac[6] = {0x02, 0, 0, 0, 1, macLast};
    std::memcpy(r->mac, mac, 6);
    r->macValid = 1;
    r->ip = 0xC0A8000B;
    r->ipValid = 1;
    std::strcpy(r->fieldBusType, "TXT-IO");
    r->fieldBusTypeValid = 1;
    r->moduleVersionMajor = 3;
    r->moduleVersionMinor = 1;
    r->moduleVersionBuild = 7;
    r->moduleVersionValid = 1;
    if (*seed) {
      std::strcpy(r->seed, seed);
      r->seedValid = 1;
    }
    EXPECT_TRUE(client->responses.Append(r));
    return Append(new mdsp::MDSP_Message(r));
  }

  uint32_t Append(mdsp::BaseMessage* entry) {
    std::lock_guard<std::recursive_mutex> guard(client->queueLock);
    EXPECT_TRUE(client->modules.Append(entry));
    return static_cast<uint32_t>(client->modules.count() - 1);
  }

  mdsp::Client* client = nullptr;
};

}  // namespace mdsp_test
