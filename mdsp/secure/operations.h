// Secure operations of the exports; each returns false with LastError set.
#pragma once

#include <cstdint>

#include "mdsp.h"

namespace mdsp {

class Client;
class Message;

inline constexpr uint32_t kAuthenticationWaitMs = 1000;

bool Discover(Client& client, void* context);
bool SecureWink(Client& client, uint32_t index, int32_t value, const SmdspCredentials* credentials);
bool SecureRestart(Client& client, uint32_t index, int32_t value,
                   const SmdspCredentials* credentials);
bool MassRestart(Client& client);
bool Ping(Client& client, uint32_t seconds);
bool SecureConfigure(Client& client, const SmdspCredentials* credentials);

// Handles an accepted reply on the worker thread; true when the message was
// kept (it became a module-table entry).
bool HandleReply(Client& client, Message* message);
// Raises the restart report once the ping window has passed. Caller holds
// the socket lock.
void RestartReportCheck(Client& client);

}  // namespace mdsp
