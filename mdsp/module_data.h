// Reading module values by tag and building the pending configure request;
// each returns false with LastError set.
#pragma once

#include <cstdint>

namespace mdsp {

struct ClientState;

bool GetPayloadData(ClientState& client, int32_t tag, uint32_t index, void* buffer, int32_t size);
bool GetPayloadDataAndSize(ClientState& client, int32_t tag, uint32_t index, void* buffer,
                           uint32_t* size);
bool GetPayloadString(ClientState& client, int32_t tag, uint32_t index, char* buffer,
                      uint32_t size);
bool GetModuleMac(ClientState& client, uint32_t index, uint8_t* mac);
bool CreateConfigureRequest(ClientState& client, uint32_t index);
bool SetPayloadData(ClientState& client, int32_t tag, const void* data, int32_t size);
bool SetPayloadString(ClientState& client, int32_t tag, const char* text);

}  // namespace mdsp
