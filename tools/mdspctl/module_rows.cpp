#include "module_rows.h"

#include <algorithm>
#include <cstdio>

#include "cli_args.h"
#include "mdsp.h"

namespace mdspctl {
namespace {

// Tags of a module's description.
constexpr int32_t kTagVersionText = 1;
constexpr int32_t kTagTypeText = 2;
constexpr int32_t kTagIp = 4;
constexpr int32_t kTagSubnet = 5;
constexpr int32_t kTagGateway = 6;
constexpr int32_t kTagDhcp = 9;
constexpr int32_t kTagHostName = 10;
constexpr int32_t kTagSeed = 244;
constexpr int32_t kTagModuleBuild = 249;
constexpr int32_t kTagModuleMinor = 250;
constexpr int32_t kTagModuleMajor = 251;
constexpr int32_t kTagFieldBusType = 252;
constexpr int32_t kTagSecureMarker = 255;
// Any configure tag from 8 up takes a value of any size on a secure entry.
constexpr int32_t kTagProbe = 8;

Cell ReadAddress(int32_t tag, uint32_t index) {
  uint8_t bytes[4];
  if (SMDSP_GetPayloadData(tag, index, bytes, 4) != MDSP_RESULT_OK) return std::nullopt;
  return AddressFromTlv(bytes);
}

bool ReadText(int32_t tag, uint32_t index, std::string& out) {
  char text[256];
  if (SMDSP_GetPayloadString(tag, index, text, sizeof text) != MDSP_RESULT_OK) return false;
  out = text;
  return true;
}

Cell ReadCell(int32_t tag, uint32_t index) {
  std::string text;
  if (!ReadText(tag, index, text)) return std::nullopt;
  return text;
}

Cell ModuleVersion(uint32_t index) {
  uint8_t major, minor;
  uint8_t build[2];
  if (SMDSP_GetPayloadData(kTagModuleMajor, index, &major, 1) != MDSP_RESULT_OK ||
      SMDSP_GetPayloadData(kTagModuleMinor, index, &minor, 1) != MDSP_RESULT_OK ||
      SMDSP_GetPayloadData(kTagModuleBuild, index, build, 2) != MDSP_RESULT_OK)
    return std::nullopt;
  return FormatTextVersion(major, minor, static_cast<uint32_t>(build[0] | build[1] << 8));
}

}  // namespace

std::string AddressFromTlv(const uint8_t b[4]) {
  return FormatIpv4(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                    static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
}

std::string FormatTextVersion(uint32_t major, uint32_t minor, uint32_t build) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%02u.%u", major, minor, build);
  return text;
}

bool ProbeSecure(uint32_t index, bool& secure) {
  if (SMDSP_CreateConfigureRequest(index) != MDSP_RESULT_OK) return false;
  const uint8_t probe[2] = {};
  int32_t result = SMDSP_SetPayloadData(kTagProbe, probe, 2);
  // Start again so the probe value is never sent.
  if (SMDSP_CreateConfigureRequest(index) != MDSP_RESULT_OK) return false;
  if (result == MDSP_RESULT_OK) {
    secure = true;
    return true;
  }
  if (result == MDSP_RESULT_FAILED) {
    secure = false;
    return true;
  }
  return false;
}

ModuleRow ReadModuleRow(uint32_t index) {
  ModuleRow row;
  row.index = index;
  if (!ProbeSecure(index, row.secure)) {
    uint8_t marker = 0;
    row.secure = SMDSP_GetPayloadData(kTagSecureMarker, index, &marker, 1) == MDSP_RESULT_OK &&
                 marker == 1;
  }
  row.ip = ReadAddress(kTagIp, index);
  row.sn = ReadAddress(kTagSubnet, index);
  row.gw = ReadAddress(kTagGateway, index);
  uint8_t dhcp;
  if (SMDSP_GetPayloadData(kTagDhcp, index, &dhcp, 1) == MDSP_RESULT_OK)
    row.dhcp = dhcp ? "On" : "Off";
  row.version = row.secure ? ReadCell(kTagVersionText, index) : ModuleVersion(index);
  row.type = ReadCell(kTagTypeText, index);
  if (!row.type) row.type = ReadCell(kTagFieldBusType, index);
  uint8_t mac[6];
  if (SMDSP_GetModuleMac(index, mac) == MDSP_RESULT_OK) row.mac = FormatMac(mac);
  // Present at all means seeded, even when the seed is short or empty.
  if (!row.secure) row.seedKnown = ReadText(kTagSeed, index, row.seed);
  row.hostNameKnown = ReadText(kTagHostName, index, row.hostName);
  return row;
}

std::string FormatTable(const std::vector<ModuleRow>& rows) {
  const char* headers[7] = {"IP", "SN", "GW", "DHCP", "Version", "Type", "MAC"};
  auto cells = [](const ModuleRow& r) {
    std::vector<std::string> v;
    for (const Cell* c : {&r.ip, &r.sn, &r.gw, &r.dhcp, &r.version, &r.type})
      v.push_back(*c && !(*c)->empty() ? **c : "N/A");
    v.push_back(r.mac.empty() ? "N/A" : r.mac);
    return v;
  };
  size_t width[7];
  for (int c = 0; c < 7; ++c) width[c] = std::char_traits<char>::length(headers[c]);
  for (const ModuleRow& r : rows) {
    auto v = cells(r);
    for (int c = 0; c < 7; ++c) width[c] = std::max(width[c], v[c].size());
  }
  auto line = [&](const std::vector<std::string>& v) {
    std::string out;
    for (int c = 0; c < 7; ++c) {
      out += v[c];
      if (c < 6) out += std::string(width[c] - v[c].size() + 2, ' ');
    }
    return out + "\n";
  };
  std::string out = line({headers, headers + 7});
  for (const ModuleRow& r : rows) out += line(cells(r));
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          // Module texts are not promised to be UTF-8: escape every byte
          // outside printable ASCII so the output stays valid JSON.
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string FormatJson(const std::vector<ModuleRow>& rows) {
  auto value = [](const Cell& c) { return c ? JsonString(*c) : std::string("null"); };
  std::string out = "[";
  for (size_t i = 0; i < rows.size(); ++i) {
    const ModuleRow& r = rows[i];
    out += i ? ",\n " : "\n ";
    out += "{\"ip\": " + value(r.ip) + ", \"sn\": " + value(r.sn) + ", \"gw\": " + value(r.gw) +
           ", \"dhcp\": " + value(r.dhcp) + ", \"version\": " + value(r.version) +
           ", \"type\": " + value(r.type) + ", \"mac\": " + JsonString(r.mac) +
           ", \"protocol\": " + JsonString(r.secure ? "secure" : "text") + "}";
  }
  return out + (rows.empty() ? "]\n" : "\n]\n");
}

}  // namespace mdspctl
