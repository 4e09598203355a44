// The worker's handling of every accepted secure reply, and the restart
// report at the end of a ping window.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "base/errors.h"
#include "base/log.h"
#include "platform/clock.h"
#include "secure/message.h"
#include "secure/protocol.h"
#include "state/callbacks.h"
#include "state/client_state.h"
#include "state/tlv.h"

namespace mdsp {
namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr uint8_t kZeroMac[6] = {};

// A status reply to a Ping: the newest restart entry of that module learns
// when the module answered. Caller holds the queue lock.
bool MatchPingReply(ClientState& client, const Message& reply) {
  for (size_t i = client.restarts.count(); i-- > 0;) {
    RestartEntry* entry = client.restarts[i];
    if (entry->moduleIndex >= client.modules.count()) continue;
    uint8_t mac[6];
    client.modules[entry->moduleIndex]->GetMac(mac);
    if (std::memcmp(mac, reply.sourceMac, 6) != 0) continue;
    // Seconds from the restart until the module answered; the first answer
    // counts, later pings of the same window do not move it.
    if (entry->elapsed < 0) {
      int64_t seconds = reply.creationTime - client.restartTime;
      entry->elapsed = static_cast<double>(seconds < 0 ? 0 : seconds);
    }
    return true;
  }
  return false;
}

}  // namespace

void OpenSeedWait(ClientState& client, const uint8_t mac[6]) {
  Guard guard(client.queueLock);
  client.seedWait.open = true;
  std::memcpy(client.seedWait.mac, mac, 6);
  client.authEvent.Reset();
}

void CloseSeedWait(ClientState& client) {
  Guard guard(client.queueLock);
  client.seedWait.open = false;
}

void HandleSecureDatagram(ClientState& client, const uint8_t* data, size_t length, uint32_t slot) {
  if (slot >= kMaxSlots) return;
  Message* message = Accept(data, length, client.sockets->interfaceMac[slot]);
  if (!message) return;
  if (!HandleReply(client, message)) delete message;
}

// The caller discards m unless it was kept.
bool HandleReply(ClientState& client, Message* m) {
  void* context = g_callbackContext;
  const bool status = (m->flags & kFlagStatus) != 0;
  const bool hasByte = status && m->length != 0;
  const int32_t s = hasByte ? m->payload[0] : 0;
  const uint8_t* mac = m->sourceMac;

  if (m->type == kTypeAuthentication && !status) {
    Report(kLogTrace, "Received Authentication message");
    Guard guard(client.queueLock);
    if (!client.seedWait.open || std::memcmp(client.seedWait.mac, mac, 6) != 0) {
      Report(kLogTrace, "Seed not asked for: dropped");
      return false;
    }
    // Bytes beyond the received length are zero in the payload area.
    // Held in memory order, so requests carry the bytes exactly as received.
    std::memcpy(&client.seed, m->payload, 4);
    // Signalled under the lock, so that a wait closed and opened again for
    // the next request cannot be released by this reply.
    client.authEvent.Set();
    return false;
  }

  if (status && m->type != kTypeAuthentication && m->type != kTypePing &&
      (!hasByte || s <= SMDSP_STATUS_3)) {
    static constexpr int32_t kEventForStatus[SMDSP_STATUS_3 + 1] = {SMDSP_EVENT_UNABLE, SMDSP_EVENT_INVALID_PASSWORD,
                                                   SMDSP_EVENT_INVALID_PASSWORD_2,
                                                   SMDSP_EVENT_STATUS_3};
    Guard guard(client.queueLock);
    RaiseSmdsp(kEventForStatus[s], 0, mac, s, context);
    return false;
  }

  if (m->type == kTypeDiscover) {
    Report(kLogTrace, "Received Discover message");
    size_t length = m->length < kPayloadArea ? m->length : kPayloadArea;
    // Only a wholly parsed description earns the secure-module marker.
    if (TlvParse(m->payload, length, m->tlvs)) {
      const uint8_t marker = 1;
      TlvAppend(m->tlvs, SMDSP_TAG_SECURE_MODULE, 1, &marker);
    }
    Guard guard(client.queueLock);
    if (!client.modules.Append(m)) {
      ReportError(ERR_NO_MEMORY);
      return false;
    }
    RaiseSmdsp(SMDSP_EVENT_MODULE_FOUND, static_cast<int32_t>(client.modules.count() - 1), mac, 0,
               context);
    return true;
  }

  if (m->type == kTypeConfigure) {
    Guard guard(client.queueLock);
    DiscardPendingConfiguration(client);
    if (status) {
      // These statuses share their event's number.
      int32_t event = s == SMDSP_STATUS_HOSTNAME_TOO_LONG || s == SMDSP_STATUS_PASSWORD_TOO_LONG ||
                              s == SMDSP_STATUS_INVALID_CONFIGURATION
                          ? s
                          : SMDSP_EVENT_INVALID_CONFIGURATION;
      RaiseSmdsp(event, 0, mac, s, context);
    } else {
      Report(kLogTrace, "Received configuration received message");
      RaiseSmdsp(SMDSP_EVENT_CONFIGURED, 0, mac, 0, context);
    }
    return false;
  }

  if (status) {
    Guard guard(client.queueLock);
    if (!(m->type == kTypePing && MatchPingReply(client, *m)))
      RaiseSmdsp(SMDSP_EVENT_UNABLE, 0, mac, s, context);
    return false;
  }

  if (m->type == kTypeWink || m->type == kTypeRestart) {
    Guard guard(client.queueLock);
    RaiseSmdsp(m->type == kTypeWink ? SMDSP_EVENT_WINKED : SMDSP_EVENT_RESTARTED, 0, mac, 0,
               context);
  }
  return false;
}

void RestartReportCheck(ClientState& client) {
  Guard guard(client.queueLock);
  if (client.pingWindow == 0) return;
  if (platform::NowSeconds() - client.restartTime <= static_cast<int64_t>(client.pingWindow))
    return;
  size_t count = client.restarts.count();
  // At least one element, so that even an empty report is a pointer the
  // callback can free().
  auto* report = static_cast<SmdspRestartReport*>(
      std::malloc((count ? count : 1) * sizeof(SmdspRestartReport)));
  if (!report) {
    ReportError(ERR_NO_MEMORY);
  } else {
    for (size_t i = 0; i < count; ++i) {
      report[i].moduleIndex = client.restarts[i]->moduleIndex;
      report[i].elapsed = client.restarts[i]->elapsed;
    }
    if (!RaiseSmdsp(SMDSP_EVENT_RESTART_REPORT, 0, kZeroMac, 0, report))
      std::free(report);  // nobody to hand it to
  }
  client.restarts.Clear();
  client.pingWindow = 0;
}

}  // namespace mdsp
