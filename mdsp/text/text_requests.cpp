// The three text requests, byte for byte, each broadcast with its NUL from
// every configured interface.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <openssl/crypto.h>

#include "base/errors.h"
#include "base/log.h"
#include "state/client_state.h"
#include "state/socket_set.h"
#include "text/text_protocol.h"

namespace mdsp {
namespace {

constexpr size_t kPieceCapacity = 256;

bool Send(ClientState& client, const char* text) {
  std::lock_guard<SocketLock> guard(client.socketLock);
  return SendText(*client.sockets, text);
}

// Appends one formatted piece; false when it or the whole text would not
// fit, leaving out untouched behind its current end.
bool AppendPiece(char* out, size_t* used, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
bool AppendPiece(char* out, size_t* used, const char* format, ...) {
  char piece[kPieceCapacity];
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(piece, sizeof piece, format, args);
  va_end(args);
  if (length < 0 || static_cast<size_t>(length) >= sizeof piece ||
      *used + static_cast<size_t>(length) >= kConfigureTextCapacity)
    return false;
  std::memcpy(out + *used, piece, static_cast<size_t>(length) + 1);
  *used += static_cast<size_t>(length);
  return true;
}

int FieldLength(const char* field, size_t size) {
  return static_cast<int>(strnlen(field, size));
}

// A ';' ends a piece: inside a value it would cut the request into pieces
// the caller never wrote, and the log's mask would stop short of the value.
bool HoldsSeparator(const char* field, size_t size) {
  return std::memchr(field, ';', strnlen(field, size)) != nullptr;
}

}  // namespace

bool FormatConfigureText(const MdspConfigureRequest& r, char* out) {
  constexpr uint32_t kOmit = MDSP_ADDRESS_UNCHANGED;
  size_t used = 0;
  out[0] = '\0';
  if (HoldsSeparator(r.password, sizeof r.password) ||
      (r.changePassword && HoldsSeparator(r.newPassword, sizeof r.newPassword)) ||
      HoldsSeparator(r.hostName, sizeof r.hostName)) {
    ReportError(ERR_BAD_VALUE);
    return false;
  }
  const uint8_t* m = r.mac;
  bool ok = AppendPiece(out, &used, "Configure: %02X-%02X-%02X-%02X-%02X-%02X;", m[0], m[1],
                        m[2], m[3], m[4], m[5]);
  int passwordLength = FieldLength(r.password, sizeof r.password);
  if (ok && passwordLength > 0)
    ok = AppendPiece(out, &used, "Password: %.*s;", passwordLength, r.password);
  if (ok && r.changePassword)
    ok = AppendPiece(out, &used, "New Password = %.*s;",
                     FieldLength(r.newPassword, sizeof r.newPassword), r.newPassword);
  const struct {
    const char* name;
    uint32_t value;
  } addresses[] = {{"IP", r.ip}, {"SN", r.subnetMask}, {"GW", r.gateway}};
  for (const auto& a : addresses)
    if (ok && a.value != kOmit)
      ok = AppendPiece(out, &used, "%s = %u.%u.%u.%u;", a.name, a.value >> 24,
                       (a.value >> 16) & 0xFFu, (a.value >> 8) & 0xFFu, a.value & 0xFFu);
  if (ok && r.dhcp == MDSP_DHCP_OFF) ok = AppendPiece(out, &used, "DHCP = OFF;");
  if (ok && r.dhcp == MDSP_DHCP_ON) ok = AppendPiece(out, &used, "DHCP = ON;");
  int hostLength = FieldLength(r.hostName, sizeof r.hostName);
  // Always sent: an empty field clears the module's host name.
  if (ok) {
    ok = hostLength > 0 ? AppendPiece(out, &used, "HN = %.*s;", hostLength, r.hostName)
                        : AppendPiece(out, &used, "HN =;");
  }
  const struct {
    const char* name;
    uint32_t value;
  } servers[] = {{"DNS1", r.dns1}, {"DNS2", r.dns2}};
  for (const auto& a : servers)
    if (ok && a.value != kOmit)
      ok = AppendPiece(out, &used, "%s = %u.%u.%u.%u;", a.name, a.value >> 24,
                       (a.value >> 16) & 0xFFu, (a.value >> 8) & 0xFFu, a.value & 0xFFu);
  if (!ok) ReportError(ERR_OUT_OF_RANGE);
  return ok;
}

void FormatWinkText(const uint8_t mac[6], char* out) {
  std::snprintf(out, kWinkTextCapacity, "To: %02X-%02X-%02X-%02X-%02X-%02X;WINK;", mac[0],
                mac[1], mac[2], mac[3], mac[4], mac[5]);
}

bool SendModuleScan(ClientState& client) {
  Report(kLogTrace, "Module scan initiated");
  {
    // The worker reads the ping window under the socket lock alone.
    std::lock_guard<SocketLock> socketGuard(client.socketLock);
    std::lock_guard<std::recursive_mutex> queueGuard(client.queueLock);
    ClearModuleLists(client);
  }
  return Send(client, "MODULE SCAN");
}

bool SendTextConfigure(ClientState& client, const MdspConfigureRequest& request) {
  Report(kLogTrace, "Send mdsp configure");
  char text[kConfigureTextCapacity];
  bool sent = FormatConfigureText(request, text) && Send(client, text);
  // The text holds the passwords; not left behind on the stack.
  OPENSSL_cleanse(text, sizeof text);
  return sent;
}

bool SendTextWink(ClientState& client, const uint8_t mac[6]) {
  Report(kLogTrace, "Module wink initiated");
  char text[kWinkTextCapacity];
  FormatWinkText(mac, text);
  return Send(client, text);
}

}  // namespace mdsp
