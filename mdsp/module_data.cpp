// Reading module values by tag and building the one pending configure
// request. Argument checks come first; everything else runs under the queue
// lock so a read never sees the table half emptied by a new scan.
#include "module_data.h"

#include <cstring>
#include <mutex>
#include <new>

#include "base/errors.h"
#include "base/log.h"
#include "state/client_state.h"
#include "state/module_table.h"
#include "state/tlv.h"

namespace mdsp {
namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// The entry at index, or nullptr with ERR_BAD_INDEX reported.
BaseMessage* EntryAt(ClientState& client, uint32_t index) {
  if (index >= client.modules.count()) {
    ReportError(ERR_BAD_INDEX);
    return nullptr;
  }
  return client.modules[index];
}

// Tags are compared as one byte.
const TlvItem* FindTag(const BaseMessage& entry, int32_t tag) {
  return TlvFind(entry.tlvs, static_cast<uint8_t>(tag));
}

// The entry the pending configuration is for, or nullptr with the failure
// reported (no pending configuration, or its index no longer in the table).
BaseMessage* PendingEntry(ClientState& client) {
  if (!client.pending.list) {
    ReportError(ERR_OUT_OF_RANGE);
    return nullptr;
  }
  if (client.pending.moduleIndex < 0 ||
      static_cast<size_t>(client.pending.moduleIndex) >= client.modules.count()) {
    ReportError(ERR_BAD_INDEX);
    return nullptr;
  }
  return client.modules[static_cast<size_t>(client.pending.moduleIndex)];
}

// Tags above 12 have no fixed width in the table, so any of them may be text.
bool TagAllowedAsString(int32_t tag) {
  return tag == SMDSP_TAG_VERSION_TEXT || tag == SMDSP_TAG_MODULE_TYPE ||
         tag == SMDSP_TAG_HOST_NAME || tag == SMDSP_TAG_FIELD_BUS_TYPE || tag > 12;
}

bool TagAllowedForSize(int32_t tag, int32_t size) {
  if (tag >= SMDSP_CONFIGURE_TAG_FREE && tag <= 255) return true;
  if (size == 4) return tag >= SMDSP_CONFIGURE_TAG_IP && tag <= SMDSP_CONFIGURE_TAG_DNS2;
  if (size == 1) return tag == SMDSP_CONFIGURE_TAG_DHCP;
  return false;
}

// Configure values arrive as the caller's 32-bit value in memory, least
// significant byte first.
uint32_t ReadLe32(const void* data) {
  const auto* b = static_cast<const uint8_t*>(data);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

bool SetTextModuleValue(MdspConfigureRequest& request, int32_t tag, const void* data,
                        int32_t size) {
  if (size == 1 && tag == SMDSP_CONFIGURE_TAG_DHCP) {
    request.dhcp = *static_cast<const uint8_t*>(data);
    return true;
  }
  if (size != 4 || tag < SMDSP_CONFIGURE_TAG_IP || tag > SMDSP_CONFIGURE_TAG_DNS2) {
    ReportError(ERR_FAILED);
    return false;
  }
  uint32_t value = ReadLe32(data);
  switch (tag) {
    case SMDSP_CONFIGURE_TAG_IP: request.ip = value; break;
    case SMDSP_CONFIGURE_TAG_SUBNET_MASK: request.subnetMask = value; break;
    case SMDSP_CONFIGURE_TAG_GATEWAY: request.gateway = value; break;
    case SMDSP_CONFIGURE_TAG_DNS1: request.dns1 = value; break;
    default: request.dns2 = value; break;
  }
  return true;
}

bool SetTextModuleString(MdspConfigureRequest& request, int32_t tag, const char* text) {
  char* field = tag == SMDSP_CONFIGURE_TAG_HOST_NAME ? request.hostName
                : tag == SMDSP_CONFIGURE_TAG_PASSWORD ? request.newPassword
                                                      : nullptr;
  if (!field) {
    ReportError(ERR_FAILED);
    return false;
  }
  // The field holds 127 characters and the NUL.
  size_t length = std::strlen(text);
  if (length >= sizeof request.hostName) {
    ReportError(ERR_TEXT_TOO_LONG);
    return false;
  }
  std::memcpy(field, text, length + 1);
  if (tag == SMDSP_CONFIGURE_TAG_PASSWORD) request.changePassword = 1;
  return true;
}

}  // namespace

bool GetPayloadData(ClientState& client, int32_t tag, uint32_t index, void* buffer, int32_t size) {
  if (!buffer) {
    ReportError(ERR_BAD_VALUE);
    return false;
  }
  Guard guard(client.queueLock);
  BaseMessage* entry = EntryAt(client, index);
  if (!entry) return false;
  const TlvItem* item = FindTag(*entry, tag);
  if (!item) return false;  // ERR_NOT_FOUND recorded by the lookup
  if (size != item->length) {
    ReportError(ERR_INVALID_TAG);
    return false;
  }
  std::memcpy(buffer, item->value, item->length);
  return true;
}

bool GetPayloadDataAndSize(ClientState& client, int32_t tag, uint32_t index, void* buffer,
                           uint32_t* size) {
  if (!buffer || !size) {
    ReportError(ERR_BAD_VALUE);
    return false;
  }
  Guard guard(client.queueLock);
  BaseMessage* entry = EntryAt(client, index);
  if (!entry) return false;
  const TlvItem* item = FindTag(*entry, tag);
  if (!item) return false;
  if (item->length > *size) {
    ReportError(ERR_INVALID_TAG);
    return false;
  }
  *size = item->length;
  std::memcpy(buffer, item->value, item->length);
  return true;
}

bool GetPayloadString(ClientState& client, int32_t tag, uint32_t index, char* buffer,
                      uint32_t size) {
  if (!TagAllowedAsString(tag)) {
    ReportError(ERR_INVALID_TAG);
    return false;
  }
  // Without room for the NUL there is nothing safe to write.
  if (!buffer || size == 0) {
    ReportError(!buffer ? ERR_BAD_VALUE : ERR_OUT_OF_RANGE);
    return false;
  }
  Guard guard(client.queueLock);
  BaseMessage* entry = EntryAt(client, index);
  if (!entry) return false;
  const TlvItem* item = FindTag(*entry, tag);
  if (!item) return false;
  size_t n = item->length < size - 1 ? item->length : size - 1;
  std::memcpy(buffer, item->value, n);
  buffer[n] = '\0';
  return true;
}

bool GetModuleMac(ClientState& client, uint32_t index, uint8_t* mac) {
  if (!mac) {
    ReportError(ERR_BAD_VALUE);
    return false;
  }
  Guard guard(client.queueLock);
  BaseMessage* entry = EntryAt(client, index);
  if (!entry) return false;
  entry->GetMac(mac);
  return true;
}

bool CreateConfigureRequest(ClientState& client, uint32_t index) {
  Report(kLogTrace, "Create configuration request initiated");
  Guard guard(client.queueLock);
  BaseMessage* entry = EntryAt(client, index);
  if (!entry) return false;
  // Make the new list before dropping the old one, so a failure leaves the
  // earlier pending configuration as it was.
  TlvList* list = new (std::nothrow) TlvList;
  if (!list) {
    ReportError(ERR_NO_MEMORY);
    return false;
  }
  delete client.pending.list;
  client.pending.list = list;
  client.pending.moduleIndex = static_cast<int32_t>(index);
  // Zeroed, not "unchanged": a text module configured without address values
  // gets 0.0.0.0, DHCP off and an empty host name.
  std::memset(&client.pending.request, 0, sizeof client.pending.request);
  entry->GetMac(client.pending.request.mac);
  return true;
}

bool SetPayloadData(ClientState& client, int32_t tag, const void* data, int32_t size) {
  if (!TagAllowedForSize(tag, size)) {
    ReportError(ERR_INVALID_TAG);
    return false;
  }
  if (!data) {
    ReportError(ERR_BAD_VALUE);
    return false;
  }
  Guard guard(client.queueLock);
  BaseMessage* entry = PendingEntry(client);
  if (!entry) return false;
  if (entry->IsTextModule()) return SetTextModuleValue(client.pending.request, tag, data, size);
  if (size < 0) {
    ReportError(ERR_OUT_OF_RANGE);
    return false;
  }
  return TlvAppend(*client.pending.list, static_cast<uint32_t>(tag), static_cast<size_t>(size),
                   data);
}

bool SetPayloadString(ClientState& client, int32_t tag, const char* text) {
  // Configure tags are one byte on the wire.
  if (tag < SMDSP_CONFIGURE_TAG_HOST_NAME || tag > 255) {
    ReportError(ERR_INVALID_TAG);
    return false;
  }
  if (!text) {
    ReportError(ERR_BAD_VALUE);
    return false;
  }
  Guard guard(client.queueLock);
  BaseMessage* entry = PendingEntry(client);
  if (!entry) return false;
  if (entry->IsTextModule()) return SetTextModuleString(client.pending.request, tag, text);
  return TlvAppend(*client.pending.list, static_cast<uint32_t>(tag), std::strlen(text), text);
}

}  // namespace mdsp
