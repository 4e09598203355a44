// When a row's module is offered a recovery, what the scoped server may
// answer, and when the module counts as having taken its address.
#include <gtest/gtest.h>

#include <cstring>

#include "dhcp_message.h"
#include "dhcp_recovery.h"

namespace {

using pelmar::ModuleRecord;

ModuleRecord Record(const uint8_t mac[6], bool dhcpOn, uint32_t ip) {
  ModuleRecord record;
  std::memcpy(record.mac, mac, 6);
  record.macValid = record.dhcpValid = record.ipValid = true;
  record.dhcp = dhcpOn ? 1 : 0;
  record.ip = ip;
  return record;
}

const uint8_t kModule[6] = {0x02, 0xA7, 0x5E, 0x0A, 0x0B, 0x2C};
const uint8_t kSibling[6] = {0x02, 0xA7, 0x5E, 0x0A, 0x0B, 0x2D};
const uint8_t kStranger[6] = {0x02, 0x00, 0x00, 0x00, 0x10, 0x01};

TEST(DhcpRecovery, OfferedOnlyToAFamilyModuleAskingForAnAddress) {
  struct Case {
    const char* name;
    ModuleRecord record;
    bool offered;
  } cases[] = {
      {"DHCP on, 0.0.0.0", Record(kModule, true, 0), true},
      {"DHCP on, address missing", [] {
         ModuleRecord r = Record(kModule, true, 0);
         r.ipValid = false;
         return r;
       }(), true},
      {"DHCP on with an address", Record(kModule, true, 0x0A000005), false},
      {"DHCP off, 0.0.0.0", Record(kModule, false, 0), false},
      {"DHCP state unknown", [] {
         ModuleRecord r = Record(kModule, true, 0);
         r.dhcpValid = false;
         return r;
       }(), false},
      {"outside the family: the server would never answer", Record(kStranger, true, 0), false},
      {"no MAC", [] {
         ModuleRecord r = Record(kModule, true, 0);
         r.macValid = false;
         return r;
       }(), false},
  };
  for (const Case& c : cases) EXPECT_EQ(pelmar::NeedsDhcpRecovery(c.record), c.offered) << c.name;
}

pelmar::DhcpAnswer Answer(const uint8_t mac[6], uint8_t type) {
  pelmar::DhcpAnswer answer;
  std::memcpy(answer.hardwareAddress, mac, 6);
  const uint8_t address[4] = {10, 200, 1, mac[5]};
  std::memcpy(answer.address, address, 4);
  answer.messageType = type;
  std::strcpy(answer.interfaceName, "eth1");
  return answer;
}

TEST(DhcpRecovery, ScopeLogAndTakenAddress) {
  pelmar::SingleModuleRecovery recovery(kModule, "eth1");
  pelmar::DhcpScope scope = recovery.Scope();
  EXPECT_EQ(scope.interfaceName, "eth1");
  ASSERT_EQ(scope.allowedClients.size(), 1u);
  EXPECT_EQ(std::memcmp(scope.allowedClients[0].data(), kModule, 6), 0);

  const ModuleRecord withAddress = Record(kModule, true, 0x0AC8012C);  // 10.200.1.44
  // An offer is no lease: the module has not taken anything yet.
  EXPECT_EQ(recovery.Note(Answer(kModule, pelmar::kDhcpOffer)),
            "offer 02-A7-5E-0A-0B-2C 10.200.1.44 on eth1");
  EXPECT_FALSE(recovery.HasTakenAddress(withAddress));
  EXPECT_EQ(recovery.Note(Answer(kSibling, pelmar::kDhcpAck)), "");
  EXPECT_EQ(recovery.AcknowledgedAddress(), "");
  EXPECT_EQ(recovery.Note(Answer(kModule, pelmar::kDhcpAck)),
            "ack 02-A7-5E-0A-0B-2C 10.200.1.44 on eth1");
  EXPECT_EQ(recovery.AcknowledgedAddress(), "10.200.1.44");
  // Still answering with 0.0.0.0, another address, or another module: not yet.
  EXPECT_FALSE(recovery.HasTakenAddress(Record(kModule, true, 0)));
  EXPECT_FALSE(recovery.HasTakenAddress(Record(kModule, true, 0x0AC8012D)));
  EXPECT_FALSE(recovery.HasTakenAddress(Record(kSibling, true, 0x0AC8012C)));
  EXPECT_TRUE(recovery.HasTakenAddress(withAddress));
}

}  // namespace
