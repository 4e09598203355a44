// Reading module values by tag and building the pending configure request;
// each returns false with LastError set.
#pragma once

#include <cstdint>

namespace mdsp {

class Client;

bool GetPayloadData(Client& client, int32_t tag, uint32_t index, void* buffer, int32_t size);
bool GetPayloadDataAndSize(Client& client, int32_t tag, uint32_t index, void* buffer,
                           uint32_t* size);
bool GetPayloadString(Client& client, int32_t tag, uint32_t index, char* buffer, uint32_t size);
bool GetModuleMac(Client& client, uint32_t index, uint8_t* mac);
bool CreateConfigureRequest(Client& client, uint32_t index);
bool SetPayloadData(Client& client, int32_t tag, const void* data, int32_t size);
bool SetPayloadString(Client& client, int32_t tag, const char* text);

}  // namespace mdsp
