// What the receive step hands the text protocol: notices and scan answers;
// and the queue the answers wait in for MDSP_GetResponse.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "base/errors.h"
#include "base/log.h"
#include "state/callbacks.h"
#include "state/client_state.h"
#include "state/module_table.h"
#include "text/text_protocol.h"

namespace mdsp {
namespace {

struct Notice {
  const char* prefix;
  int32_t mdspEvent;   // 0 = dropped
  int32_t smdspEvent;
};

// Matched in this order; the first match decides.
constexpr Notice kNotices[] = {
    {"Module Scan", 0, 0},
    {"Reconfigured:", MDSP_EVENT_RECONFIGURED, SMDSP_EVENT_CONFIGURED},
    {"Invalid Password:", MDSP_EVENT_INVALID_PASSWORD, SMDSP_EVENT_INVALID_PASSWORD},
    {"Invalid Configuration:", MDSP_EVENT_INVALID_CONFIGURATION,
     SMDSP_EVENT_INVALID_CONFIGURATION},
    {"Configure:", 0, 0},
};

void ReadNoticeMac(const char* text, uint8_t mac[6]) {
  unsigned int parts[6] = {};
  int read = std::sscanf(text, "%x-%x-%x-%x-%x-%x", &parts[0], &parts[1], &parts[2], &parts[3],
                         &parts[4], &parts[5]);
  for (int i = 0; i < 6; ++i) mac[i] = i < read ? static_cast<uint8_t>(parts[i]) : 0;
}

// Appends the module-table entry; nullptr when it cannot be made (the
// answer then gets no entry and no SmdspCallback event).
MDSP_Message* AddModuleEntry(ClientState& client, MdspResponse* response) {
  auto* entry = new (std::nothrow) MDSP_Message(response);
  if (!entry || !client.modules.Append(entry)) {
    delete entry;
    ReportError(ERR_NO_MEMORY);
    return nullptr;
  }
  return entry;
}

}  // namespace

bool HandleNotice(ClientState&, const char* text) {
  for (const Notice& notice : kNotices) {
    if (!StartsWithIgnoringCase(text, notice.prefix)) continue;
    if (notice.mdspEvent == 0) return true;
    Report(kLogTrace, "Received %s", notice.prefix);
    uint8_t mac[6];
    ReadNoticeMac(text + std::strlen(notice.prefix), mac);
    RaiseMdsp(notice.mdspEvent, mac);
    RaiseSmdsp(notice.smdspEvent, 0, mac, 0, g_callbackContext.load());
    return true;
  }
  // Our own wink broadcasts come back to our sockets; no module answers in
  // this form, so a wink request from any host is not an answer.
  return IsWinkRequest(text);
}

void HandleTextAnswer(ClientState& client, const char* text) {
  auto* response = new (std::nothrow) MdspResponse{};
  if (!response) {
    ReportError(ERR_NO_MEMORY);
    return;
  }
  std::lock_guard<std::recursive_mutex> guard(client.queueLock);
  ParseAnswerHead(text, *response);
  if (response->macValid && client.responses.HoldsMac(response->mac)) {
    delete response;
    return;
  }
  bool unsupported = false;
  ParseAnswerTail(text, *response, &unsupported);
  // A callback may call back into the library (take the record out of the
  // queue, or start a new scan that empties it): copy what the second
  // callback needs before the first one runs. The head read the MAC from
  // the same first "mac = " the callback's copy would be read from.
  uint8_t mac[6] = {};
  if (response->macValid) std::memcpy(mac, response->mac, 6);
  bool owned = client.responses.Append(response);
  if (!owned) ReportError(ERR_NO_MEMORY);
  MDSP_Message* entry = unsupported ? nullptr : AddModuleEntry(client, response);
  if (!owned) delete response;  // the entry copied what it needs
  if (entry) {
    RaiseSmdsp(SMDSP_EVENT_MODULE_FOUND, static_cast<int32_t>(client.modules.count() - 1),
               entry->mac, 0, g_callbackContext.load());
  }
  RaiseMdsp(MDSP_EVENT_MODULE_ANSWERED, mac);
}

bool TakeResponse(ClientState& client, MdspResponse& out) {
  std::lock_guard<std::recursive_mutex> guard(client.queueLock);
  if (client.responses.count() == 0) return false;
  MdspResponse* oldest = client.responses.TakeFirst();
  std::memcpy(&out, oldest, sizeof out);
  delete oldest;
  return true;
}

}  // namespace mdsp
