// Operations of the SMDSP_ exports; each returns false with LastError set.
#pragma once

#include <cstdint>

#include "mdsp.h"

namespace mdsp {

class Client;

bool Discover(Client& client, void* context);
bool SecureWink(Client& client, uint32_t index, int32_t value, const SmdspCredentials* credentials);
bool SecureRestart(Client& client, uint32_t index, int32_t value,
                   const SmdspCredentials* credentials);
bool MassRestart(Client& client);
bool Ping(Client& client, uint32_t seconds);
bool SecureConfigure(Client& client, const SmdspCredentials* credentials);

}  // namespace mdsp
