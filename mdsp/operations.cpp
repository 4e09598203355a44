// The operations behind the SMDSP_ exports: they read the module table,
// then speak the protocol of the chosen entry.
//
// Operations read what they need of a module-table entry under the queue
// lock and release it before authenticating or sending: the worker needs
// the lock to deliver the very reply they wait for.
#include "operations.h"

#include <cstring>
#include <mutex>
#include <new>

#include <openssl/crypto.h>

#include "base/errors.h"
#include "base/log.h"
#include "client.h"
#include "platform/clock.h"
#include "secure/message.h"
#include "secure/protocol.h"
#include "state/callbacks.h"
#include "state/tlv.h"
#include "text/text_protocol.h"

namespace mdsp {
namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

struct EntryView {
  uint8_t mac[6];
  bool isText;
};

// Reads MAC and kind of the entry at index; the caller holds the queue lock.
bool ViewEntry(Client& client, uint32_t index, EntryView& view) {
  if (index >= client.modules.count()) {
    ReportError(ERR_BAD_INDEX);
    return false;
  }
  const BaseMessage* entry = client.modules[index];
  entry->GetMac(view.mac);
  view.isText = entry->IsTextModule();
  return true;
}

bool CredentialsUsable(const SmdspCredentials* credentials) {
  if (!credentials || !credentials->password) {
    ReportError(ERR_BAD_VALUE);
    return false;
  }
  return true;
}

// Only a seed from the module asked, sent while this request waits, counts:
// a late seed of an abandoned request (maybe from another module) would
// sign this request wrongly, and the module would refuse it as a bad
// password.
bool Authenticate(Client& client, const uint8_t mac[6]) {
  Report(kLogTrace, "Authentication initiated");
  OpenSeedWait(client, mac);
  bool seeded = false;
  if (SecureSend(client, mac, kTypeAuthentication, nullptr, 0, nullptr)) {
    seeded = client.authEvent.Wait(kAuthenticationWaitMs);
    if (!seeded) ReportError(ERR_SYSTEM);
  }
  CloseSeedWait(client);
  return seeded;
}

void PingOne(Client& client, uint32_t index, const SmdspCredentials* credentials) {
  Report(kLogTrace, "Module smdsp ping initiated");
  EntryView view;
  {
    Guard guard(client.queueLock);
    if (!ViewEntry(client, index, view)) return;
  }
  if (view.isText || !credentials || !credentials->password) return;
  if (Authenticate(client, view.mac))
    SecureSend(client, view.mac, kTypePing, nullptr, 0, credentials->password);
}

}  // namespace

bool Discover(Client& client, void* context) {
  Report(kLogTrace, "Discover initiated");
  // Held until both requests are out: no worker step may list a late reply
  // between the two emptyings of the table (SendModuleScan empties it too).
  std::lock_guard<SocketLock> socketGuard(client.socketLock);
  {
    Guard guard(client.queueLock);
    g_callbackContext = context;
    ClearModuleLists(client);
  }
  if (!SendModuleScan(client)) return false;
  return SecureSend(client, kBroadcastMac, kTypeDiscover, nullptr, 0, nullptr);
}

bool SecureWink(Client& client, uint32_t index, int32_t value,
                const SmdspCredentials* credentials) {
  Report(kLogTrace, "Module smdsp wink initiated");
  if (!CredentialsUsable(credentials)) return false;
  EntryView view;
  {
    Guard guard(client.queueLock);
    if (!ViewEntry(client, index, view)) return false;
    g_callbackContext = credentials->context;
  }
  if (view.isText) return SendTextWink(client, view.mac);
  if (!Authenticate(client, view.mac)) return false;
  uint8_t payload = static_cast<uint8_t>(value & 0xFF);
  return SecureSend(client, view.mac, kTypeWink, &payload, 1, credentials->password);
}

bool SecureRestart(Client& client, uint32_t index, int32_t value,
                   const SmdspCredentials* credentials) {
  Report(kLogTrace, "Module restart initiated");
  if (!CredentialsUsable(credentials)) return false;
  EntryView view;
  {
    Guard guard(client.queueLock);
    if (!ViewEntry(client, index, view)) return false;
    g_callbackContext = credentials->context;
    auto* entry = new (std::nothrow) RestartEntry{index, credentials, -1.0};
    if (!entry || !client.restarts.Append(entry)) {
      delete entry;
      ReportError(ERR_NO_MEMORY);
      return false;
    }
    client.restartTime = platform::NowSeconds();
  }
  // Text-protocol entries are restarted the secure way as well.
  if (!Authenticate(client, view.mac)) return false;
  uint8_t payload = static_cast<uint8_t>(value & 0xFF);
  return SecureSend(client, view.mac, kTypeRestart, &payload, 1, credentials->password);
}

bool MassRestart(Client& client) {
  Report(kLogTrace, "Mass restart initiated");
  {
    Guard guard(client.queueLock);
    client.restartTime = platform::NowSeconds();
  }
  return SecureSend(client, kBroadcastMac, kTypeMassRestart, nullptr, 0, nullptr);
}

bool Ping(Client& client, uint32_t seconds) {
  size_t count;
  {
    std::lock_guard<SocketLock> socketGuard(client.socketLock);
    Guard guard(client.queueLock);
    count = client.restarts.count();
    client.pingWindow = seconds;
  }
  // The worker keeps the sockets open while the window is open; make an
  // idle worker notice now.
  client.Wake();
  for (size_t i = 0; i < count; ++i) {
    uint32_t index;
    const SmdspCredentials* credentials;
    {
      // Read each entry under the lock: the report or a discover on another
      // thread may empty the list while earlier pings wait for their seeds.
      Guard guard(client.queueLock);
      if (i >= client.restarts.count()) break;
      index = client.restarts[i]->moduleIndex;
      credentials = client.restarts[i]->credentials;
    }
    PingOne(client, index, credentials);  // single failures do not count
  }
  return true;
}

bool SecureConfigure(Client& client, const SmdspCredentials* credentials) {
  Report(kLogTrace, "Configure initiated");
  if (!CredentialsUsable(credentials)) return false;
  EntryView view;
  MdspConfigureRequest textRequest;
  uint8_t payload[kPayloadArea];
  size_t payloadLength = 0;
  bool tooLong = false;
  {
    Guard guard(client.queueLock);
    if (!client.pending.list) {
      ReportError(ERR_OUT_OF_RANGE);
      return false;
    }
    if (client.pending.moduleIndex < 0 ||
        !ViewEntry(client, static_cast<uint32_t>(client.pending.moduleIndex), view)) {
      if (client.pending.moduleIndex < 0) ReportError(ERR_BAD_INDEX);
      return false;
    }
    if (view.isText) {
      size_t length = std::strlen(credentials->password);
      MdspConfigureRequest& request = client.pending.request;
      if (length >= sizeof request.password) {
        ReportError(ERR_TEXT_TOO_LONG);
        return false;
      }
      std::memcpy(request.password, credentials->password, length + 1);
      textRequest = request;
    } else {
      // A list too long for one datagram is not cut: it fails after the
      // authentication, as a too long Send would.
      tooLong = TlvEncodedSize(*client.pending.list) > kMaxAuthPayload;
      if (!tooLong) payloadLength = TlvConcatenate(*client.pending.list, payload, sizeof payload);
      g_callbackContext = credentials->context;
    }
  }
  if (view.isText) {
    bool sent = SendTextConfigure(client, textRequest);
    // Every send copies the password in again: none is kept between sends.
    // The stack copy goes whole (it holds the new password too).
    OPENSSL_cleanse(&textRequest, sizeof textRequest);
    Guard guard(client.queueLock);
    OPENSSL_cleanse(client.pending.request.password, sizeof client.pending.request.password);
    return sent;
  }

  // The payload may carry a new password: no copy stays on the stack.
  bool sent = false;
  if (Authenticate(client, view.mac)) {
    if (tooLong) ReportError(ERR_MESSAGE_TOO_LONG);
    sent = !tooLong && SecureSend(client, view.mac, kTypeConfigure, payload, payloadLength,
                                  credentials->password);
    if (!sent) {
      Guard guard(client.queueLock);
      DiscardPendingConfiguration(client);
    }
  }
  OPENSSL_cleanse(payload, sizeof payload);
  return sent;
}

}  // namespace mdsp
