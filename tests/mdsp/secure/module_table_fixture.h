// A started library whose module table the test fills by hand, with every
// callback event recorded. Nothing goes on a wire.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "client.h"
#include "event_recorder.h"
#include "library_reset.h"
#include "mdsp.h"
#include "secure/message.h"
#include "state/callbacks.h"
#include "state/tlv.h"

namespace mdsp_test {

class ModuleTableTest : public FreshLibrary {
 protected:
  void SetUp() override {
    FreshLibrary::SetUp();
    ASSERT_TRUE(mdsp::EnsureClient());
    client = mdsp::TheClient();
    events.Install();
  }

  // What the worker would have raised; nothing else raises events here.
  const std::vector<RecordedEvent>& recorded() const { return events.Smdsp(); }

  // A secure module's entry as a Discover reply leaves it: description tags
  // plus the secure-module marker.
  uint32_t AddSecureModule(uint8_t macLast, uint32_t ip = 0xC0A8000A) {
    auto* m = new mdsp::Message;
    uint8_t mac[6] = {0x02, 0, 0, 0, 0, macLast};
    std::memcpy(m->sourceMac, mac, 6);
    uint8_t address[4] = {static_cast<uint8_t>(ip), static_cast<uint8_t>(ip >> 8),
                          static_cast<uint8_t>(ip >> 16), static_cast<uint8_t>(ip >> 24)};
    const uint8_t one = 1;
    mdsp::TlvAppend(m->tlvs, SMDSP_TAG_VERSION_TEXT, 5, "2.0.4");
    mdsp::TlvAppend(m->tlvs, SMDSP_TAG_MODULE_TYPE, 7, "SEC-IO8");
    mdsp::TlvAppend(m->tlvs, SMDSP_TAG_IP, 4, address);
    mdsp::TlvAppend(m->tlvs, SMDSP_TAG_HOST_NAME, 6, "node-a");
    mdsp::TlvAppend(m->tlvs, SMDSP_TAG_SECURE_MODULE, 1, &one);
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
  EventRecorder events;
};

}  // namespace mdsp_test
