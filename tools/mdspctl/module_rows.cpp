#include "module_rows.h"

#include <algorithm>
#include <cstdio>

#include "cli_args.h"
#include "api.h"
#include "mdsp.h"
#include "module_record.h"
#include "visible_text.h"

namespace mdspctl {
namespace {

// Tags of a module's description.
constexpr int32_t kTagVersionText = SMDSP_TAG_VERSION_TEXT;
constexpr int32_t kTagTypeText = SMDSP_TAG_MODULE_TYPE;
constexpr int32_t kTagHostName = SMDSP_TAG_HOST_NAME;
constexpr int32_t kTagSeed = SMDSP_TAG_SEED;
constexpr int32_t kTagFieldBusType = SMDSP_TAG_FIELD_BUS_TYPE;
constexpr int32_t kTagSecureMarker = SMDSP_TAG_SECURE_MODULE;
// Any configure tag from 8 up takes a value of any size on a secure entry.
constexpr int32_t kTagProbe = 8;

Cell ReadCell(int32_t tag, uint32_t index) {
  std::string text;
  if (!pelmar::ReadTagText(Api(), tag, index, &text)) return std::nullopt;
  return text;
}

}  // namespace

std::string FormatTextVersion(uint32_t major, uint32_t minor, uint32_t build) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%02u.%u", major, minor, build);
  return text;
}

bool ProbeSecure(uint32_t index, bool& secure) {
  if (Api().SMDSP_CreateConfigureRequest(index) != MDSP_RESULT_OK) return false;
  const uint8_t probe[2] = {};
  int32_t result = Api().SMDSP_SetPayloadData(kTagProbe, probe, 2);
  // Start again so the probe value is never sent.
  if (Api().SMDSP_CreateConfigureRequest(index) != MDSP_RESULT_OK) return false;
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
  // The values as the host core reads them (the tool reads the same record);
  // texts through the core with mdspctl's 256-byte buffers.
  pelmar::ModuleRecord record;
  pelmar::ReadModuleRecord(Api(), index, &record);
  ModuleRow row;
  row.index = index;
  if (!ProbeSecure(index, row.secure)) {
    uint8_t marker = 0;
    row.secure = Api().SMDSP_GetPayloadData(kTagSecureMarker, index, &marker, 1) == MDSP_RESULT_OK &&
                 marker == 1;
  }
  if (record.ipValid) row.ip = FormatIpv4(record.ip);
  if (record.subnetValid) row.sn = FormatIpv4(record.subnet);
  if (record.gatewayValid) row.gw = FormatIpv4(record.gateway);
  if (record.dhcpValid) row.dhcp = record.dhcp ? "On" : "Off";
  if (row.secure)
    row.version = ReadCell(kTagVersionText, index);
  else if (record.versionValid)
    row.version = FormatTextVersion(record.versionMajor, record.versionMinor, record.versionBuild);
  row.type = ReadCell(kTagTypeText, index);
  if (!row.type) row.type = ReadCell(kTagFieldBusType, index);
  if (record.macValid) row.mac = FormatMac(record.mac);
  row.macValid = record.macValid &&
                 std::any_of(record.mac, record.mac + 6, [](uint8_t b) { return b != 0; });
  // Present at all means seeded, even when the seed is short or empty.
  if (!row.secure) row.seedKnown = pelmar::ReadTagText(Api(), kTagSeed, index, &row.seed);
  row.hostNameKnown = pelmar::ReadTagText(Api(), kTagHostName, index, &row.hostName);
  return row;
}

std::string FormatTable(const std::vector<ModuleRow>& rows) {
  const char* headers[7] = {"IP", "SN", "GW", "DHCP", "Version", "Type", "MAC"};
  auto cells = [](const ModuleRow& r) {
    std::vector<std::string> v;
    for (const Cell* c : {&r.ip, &r.sn, &r.gw, &r.dhcp, &r.version, &r.type})
      v.push_back(*c && !(*c)->empty() ? mdsp::VisibleText(**c) : "N/A");
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
