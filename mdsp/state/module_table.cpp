#include "state/module_table.h"

#include <cstdio>
#include <cstring>

#include "base/errors.h"
#include "base/log.h"
#include "platform/clock.h"

namespace mdsp {
namespace {

void PutAddress(uint8_t out[4], uint32_t address) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(address >> (8 * i));
}

void PutU16(uint8_t out[2], uint16_t value) {
  out[0] = static_cast<uint8_t>(value);
  out[1] = static_cast<uint8_t>(value >> 8);
}

size_t TextLength(const char* text, size_t field) { return strnlen(text, field); }

// The TLVs of one text answer in wire form, gathered before they go into the
// entry's list, so that the list is made once at its exact size.
struct AnswerTlvs {
  // Room for all 18: 3 text fields, 5 addresses, 2 builds, 8 single bytes.
  uint8_t bytes[3 * (2 + MDSP_TEXT_SIZE) + 5 * (2 + 4) + 2 * (2 + 2) + 8 * (2 + 1)];
  size_t used = 0;

  bool Put(uint8_t tag, size_t length, const void* value) {
    if (length > kTlvMaxValue || sizeof bytes - used < 2 + length) {
      ReportError(ERR_OUT_OF_RANGE);
      return false;
    }
    bytes[used] = tag;
    bytes[used + 1] = static_cast<uint8_t>(length);
    std::memcpy(bytes + used + 2, value, length);
    used += 2 + length;
    return true;
  }
};

// Puts the module-description TLVs of a text answer in their fixed order;
// false at the first that fails (the entry keeps those before it).
bool EncodeResponse(AnswerTlvs& tlvs, const MdspResponse& r) {
  uint8_t bytes[4];
  if (r.protocolVersionValid) {
    if (!tlvs.Put(SMDSP_TAG_PROTOCOL_VERSION_MAJOR, 1, &r.protocolVersionMajor)) return false;
    if (!tlvs.Put(SMDSP_TAG_PROTOCOL_VERSION_MINOR, 1, &r.protocolVersionMinor)) return false;
  }
  if (r.fieldBusTypeValid &&
      !tlvs.Put(SMDSP_TAG_FIELD_BUS_TYPE, TextLength(r.fieldBusType, sizeof r.fieldBusType), r.fieldBusType))
    return false;
  if (r.moduleVersionValid) {
    if (!tlvs.Put(SMDSP_TAG_MODULE_VERSION_MAJOR, 1, &r.moduleVersionMajor)) return false;
    if (!tlvs.Put(SMDSP_TAG_MODULE_VERSION_MINOR, 1, &r.moduleVersionMinor)) return false;
    PutU16(bytes, r.moduleVersionBuild);
    if (!tlvs.Put(SMDSP_TAG_MODULE_VERSION_BUILD, 2, bytes)) return false;
  }
  const struct {
    uint8_t valid;
    uint32_t value;
    uint8_t tag;
  } addresses[] = {{r.ipValid, r.ip, SMDSP_TAG_IP},
                   {r.subnetMaskValid, r.subnetMask, SMDSP_TAG_SUBNET_MASK},
                   {r.gatewayValid, r.gateway, SMDSP_TAG_GATEWAY}};
  for (const auto& a : addresses) {
    if (!a.valid) continue;
    PutAddress(bytes, a.value);
    if (!tlvs.Put(a.tag, 4, bytes)) return false;
  }
  if (r.dhcpValid && !tlvs.Put(SMDSP_TAG_DHCP, 1, &r.dhcpOn)) return false;
  if (r.passwordValid && !tlvs.Put(SMDSP_TAG_PASSWORD_SET, 1, &r.passwordSet)) return false;
  if (r.hostNameValid &&
      !tlvs.Put(SMDSP_TAG_HOST_NAME, TextLength(r.hostName, sizeof r.hostName), r.hostName))
    return false;
  if (r.dns1Valid) {
    PutAddress(bytes, r.dns1);
    if (!tlvs.Put(SMDSP_TAG_DNS1, 4, bytes)) return false;
  }
  if (r.dns2Valid) {
    PutAddress(bytes, r.dns2);
    if (!tlvs.Put(SMDSP_TAG_DNS2, 4, bytes)) return false;
  }
  if (r.seedValid && !tlvs.Put(SMDSP_TAG_SEED, TextLength(r.seed, sizeof r.seed), r.seed))
    return false;
  if (r.kernelVersionValid) {
    if (!tlvs.Put(SMDSP_TAG_KERNEL_VERSION_MAJOR, 1, &r.kernelVersionMajor)) return false;
    if (!tlvs.Put(SMDSP_TAG_KERNEL_VERSION_MINOR, 1, &r.kernelVersionMinor)) return false;
    PutU16(bytes, r.kernelVersionBuild);
    if (!tlvs.Put(SMDSP_TAG_KERNEL_VERSION_BUILD, 2, bytes)) return false;
  }
  return true;
}

}  // namespace

BaseMessage::BaseMessage() : creationTime(platform::NowSeconds()) {}

MDSP_Message::MDSP_Message(const MdspResponse* r) {
  std::memcpy(mac, r->mac, 6);
  AnswerTlvs answer;
  EncodeResponse(answer, *r);
  TlvParse(answer.bytes, answer.used, tlvs);
}

void MDSP_Message::GetMac(uint8_t out[6]) const { std::memcpy(out, mac, 6); }

void MDSP_Message::FormatMac(char* out) const {
  std::snprintf(out, 18, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3],
                mac[4], mac[5]);
}

}  // namespace mdsp
