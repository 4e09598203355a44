// Module-table entries: one TLV view of a module, whichever protocol it
// speaks. Both protocols add entries; the module-data calls read them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/owned_array.h"
#include "mdsp.h"
#include "state/tlv.h"

namespace mdsp {

// Entries are destroyed through the virtual destructor.
class BaseMessage {
 public:
  BaseMessage();
  virtual ~BaseMessage() = default;
  BaseMessage(const BaseMessage&) = delete;
  BaseMessage& operator=(const BaseMessage&) = delete;
  virtual bool IsTextModule() const { return false; }
  virtual void GetMac(uint8_t mac[6]) const = 0;

  TlvList tlvs;
  int64_t creationTime;  // seconds since the epoch
};

// Entry of a module that answered the text scan; its TLVs are re-encoded
// from the answer in a fixed order, so callers read it like a secure module.
class MDSP_Message : public BaseMessage {
 public:
  // Copies what it needs; does not take ownership of the response.
  explicit MDSP_Message(const MdspResponse* response);
  bool IsTextModule() const override { return true; }
  void GetMac(uint8_t mac[6]) const override;
  // "%02X-%02X-%02X-%02X-%02X-%02X" into out (at least 18 bytes).
  void FormatMac(char* out) const;

  uint8_t mac[6];
};

}  // namespace mdsp
