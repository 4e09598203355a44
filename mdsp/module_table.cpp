#include "module_table.h"

#include <cstdio>
#include <cstring>

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

// Appends the module-description TLVs of a text answer in their fixed order;
// false at the first append that fails (the entry keeps what it got).
bool EncodeResponse(TlvList& tlvs, const MdspResponse& r) {
  uint8_t bytes[4];
  if (r.protocolVersionValid) {
    if (!TlvAppend(tlvs, SMDSP_TAG_PROTOCOL_VERSION_MAJOR, 1, &r.protocolVersionMajor)) return false;
    if (!TlvAppend(tlvs, SMDSP_TAG_PROTOCOL_VERSION_MINOR, 1, &r.protocolVersionMinor)) return false;
  }
  if (r.fieldBusTypeValid &&
      !TlvAppend(tlvs, SMDSP_TAG_FIELD_BUS_TYPE, TextLength(r.fieldBusType, sizeof r.fieldBusType), r.fieldBusType))
    return false;
  if (r.moduleVersionValid) {
    if (!TlvAppend(tlvs, SMDSP_TAG_MODULE_VERSION_MAJOR, 1, &r.moduleVersionMajor)) return false;
    if (!TlvAppend(tlvs, SMDSP_TAG_MODULE_VERSION_MINOR, 1, &r.moduleVersionMinor)) return false;
    PutU16(bytes, r.moduleVersionBuild);
    if (!TlvAppend(tlvs, SMDSP_TAG_MODULE_VERSION_BUILD, 2, bytes)) return false;
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
    if (!TlvAppend(tlvs, a.tag, 4, bytes)) return false;
  }
  if (r.dhcpValid && !TlvAppend(tlvs, SMDSP_TAG_DHCP, 1, &r.dhcpOn)) return false;
  if (r.passwordValid && !TlvAppend(tlvs, SMDSP_TAG_PASSWORD_SET, 1, &r.passwordSet)) return false;
  if (r.hostNameValid &&
      !TlvAppend(tlvs, SMDSP_TAG_HOST_NAME, TextLength(r.hostName, sizeof r.hostName), r.hostName))
    return false;
  if (r.dns1Valid) {
    PutAddress(bytes, r.dns1);
    if (!TlvAppend(tlvs, SMDSP_TAG_DNS1, 4, bytes)) return false;
  }
  if (r.dns2Valid) {
    PutAddress(bytes, r.dns2);
    if (!TlvAppend(tlvs, SMDSP_TAG_DNS2, 4, bytes)) return false;
  }
  if (r.seedValid && !TlvAppend(tlvs, SMDSP_TAG_SEED, TextLength(r.seed, sizeof r.seed), r.seed))
    return false;
  if (r.kernelVersionValid) {
    if (!TlvAppend(tlvs, SMDSP_TAG_KERNEL_VERSION_MAJOR, 1, &r.kernelVersionMajor)) return false;
    if (!TlvAppend(tlvs, SMDSP_TAG_KERNEL_VERSION_MINOR, 1, &r.kernelVersionMinor)) return false;
    PutU16(bytes, r.kernelVersionBuild);
    if (!TlvAppend(tlvs, SMDSP_TAG_KERNEL_VERSION_BUILD, 2, bytes)) return false;
  }
  return true;
}

}  // namespace

BaseMessage::BaseMessage() : creationTime(platform::NowSeconds()) {}

MDSP_Message::MDSP_Message(const MdspResponse* r) {
  std::memcpy(mac, r->mac, 6);
  EncodeResponse(tlvs, *r);
}

void MDSP_Message::GetMac(uint8_t out[6]) const { std::memcpy(out, mac, 6); }

void MDSP_Message::FormatMac(char* out) const {
  std::snprintf(out, 18, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3],
                mac[4], mac[5]);
}

}  // namespace mdsp
