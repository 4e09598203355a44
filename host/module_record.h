// The tool's copy of one module of the library's module table, read through
// the exported tag interface when the module answers a scan.
#pragma once

#include <cstdint>
#include <string>

namespace pelmar {

struct LibraryApi;

// Zero-filled when created. Numbers hold the tag's value bytes read as
// little-endian; texts are NUL-terminated.
struct ModuleRecord {
  uint32_t moduleIndex = 0;
  bool secure = false;
  uint8_t authRequired = 0;
  uint8_t protocolMajor = 0;
  uint8_t protocolMinor = 0;
  bool protocolValid = false;
  char typeText[256] = {};
  bool typeValid = false;
  uint8_t versionMajor = 0;
  uint8_t versionMinor = 0;
  uint16_t versionBuild = 0;
  bool versionValid = false;
  uint8_t mac[6] = {};
  bool macValid = false;
  uint32_t ip = 0;  // first octet in the most significant byte, as are the others
  bool ipValid = false;
  uint32_t subnet = 0;
  bool subnetValid = false;
  uint32_t gateway = 0;
  bool gatewayValid = false;
  uint8_t dhcp = 0;
  bool dhcpValid = false;
  uint8_t passwordFlag = 0;
  bool passwordFlagValid = false;
  char hostName[256] = {};
  bool hostNameValid = false;
  uint32_t dns1 = 0;
  bool dns1Valid = false;
  uint32_t dns2 = 0;
  bool dns2Valid = false;
  char seedText[128] = {};
  bool seedValid = false;
  uint8_t kernelMajor = 0;
  uint8_t kernelMinor = 0;
  uint16_t kernelBuild = 0;
  bool kernelValid = false;
  char productText[128] = {};  // a secure module's type name
  char firmwareText[16] = {};  // a secure module's version text
  // Added for the host core (the tool's cells do not use them): whether tags 2, 1 and 0 were read.
  bool productValid = false;
  bool firmwareValid = false;
  bool authRequiredValid = false;
};

// Reads module-table entry `index` into *record. Returns whether the entry
// may be listed (it carried a type text, tag 252 or tag 2).
bool ReadModuleRecord(const LibraryApi& api, uint32_t index, ModuleRecord* record);

// How far IsSecureModule may go.
enum class SecureCheck {
  // The marker the library adds to every wholly parsed secure description
  // (tag 255): what the list shows and what a record's `secure` holds.
  ReadOnly,
  // A secure module whose description was broken has no marker; only the
  // configure interface tells it then, since just a secure entry takes a
  // 2-byte value of tag 8. That starts a pending configure request for the
  // entry (left empty), so only a caller about to send it a request may ask.
  MayStartRequest,
};

// Whether module-table entry `index` is a secure module; false also when the
// entry cannot be read.
bool IsSecureModule(const LibraryApi& api, uint32_t index, SecureCheck check);

// Whether entry record.moduleIndex still holds the module the record was
// read from: the same MAC and the same protocol. A re-scan renumbers the
// table, and a module speaking both protocols has two entries with one MAC.
bool StillSameModule(const LibraryApi& api, const ModuleRecord& record);

}  // namespace pelmar

namespace pelmar {

// One tag's text read through the table (SMDSP_GetPayloadString with a
// buffer of bufferSize bytes); false when the entry does not hold it.
bool ReadTagText(const LibraryApi& api, int32_t tag, uint32_t index, std::string* out,
                 uint32_t bufferSize = 256);

}  // namespace pelmar
