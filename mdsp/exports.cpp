// The exported functions: each checks its preconditions, forwards to the
// client and maps the outcome onto its result. No protocol logic lives here.
#include "base/errors.h"
#include "base/log.h"
#include "client.h"
#include "dll_version.h"
#include "mdsp.h"
#include "module_data.h"
#include "operations.h"
#include "state/callbacks.h"
#include "state/nic_table.h"
#include "text/text_protocol.h"

using namespace mdsp;

namespace {

// The common frame of an export that needs the client: a missing client is
// ERR_NOT_STARTED.
Client* NeedClient() {
  Client* client = TheClient();
  if (!client) ReportError(ERR_NOT_STARTED);
  return client;
}

int32_t Boolean(bool ok) { return ok ? 1 : 0; }
int32_t Result(bool ok) { return ok ? MDSP_RESULT_OK : FailureResult(); }

template <typename Operation>
int32_t CodeExport(Operation operation) {
  Client* client = NeedClient();
  if (!client) return MDSP_RESULT_NOT_STARTED;
  return Result(operation(*client));
}

bool NotNull(const void* pointer) {
  if (pointer) return true;
  ReportError(ERR_BAD_VALUE);
  return false;
}

}  // namespace

extern "C" {

MDSP_API int32_t MDSP_GetNumberOfNics(int32_t* count) {
  if (!EnsureClient()) return MDSP_RESULT_NOT_STARTED;
  Client& client = *TheClient();
  std::lock_guard<std::recursive_mutex> guard(client.nics.lock);
  if (!EnumerateNics(client.nics)) return FailureResult();
  if (!NotNull(count)) return FailureResult();
  *count = static_cast<int32_t>(client.nics.count);
  return MDSP_RESULT_OK;
}

MDSP_API int32_t MDSP_GetNicInfo(uint32_t index, uint32_t* address, uint8_t* mac,
                                 char* description, int32_t size) {
  return CodeExport([&](Client& client) {
    return GetNicInfo(client.nics, index, address, mac, description, size);
  });
}

MDSP_API int32_t MDSP_SetNetworkDevice(uint32_t slot, const char* address) {
  if (!EnsureClient()) return 0;
  return Boolean(SetNetworkDevice(*TheClient(), slot, address));
}

MDSP_API MdspCallback MDSP_RegisterCallBack(MdspCallback callback) {
  g_mdspCallback.store(callback);
  return callback;
}

MDSP_API SmdspCallback SMDSP_RegisterCallBack(SmdspCallback callback) {
  g_smdspCallback.store(callback);
  return callback;
}

MDSP_API int32_t MDSP_Start(void) {
  if (!EnsureClient()) return 0;
  return Boolean(TheClient()->Start());
}

MDSP_API int32_t MDSP_Stop(void) {
  if (Client* client = TheClient()) client->Stop(true);
  return 1;
}

MDSP_API int32_t MDSP_SendModuleScan(void) {
  Client* client = NeedClient();
  return client ? Boolean(SendModuleScan(*client)) : 0;
}

MDSP_API int32_t MDSP_GetResponse(MdspResponse* response) {
  if (!EnsureClient()) return 0;
  Client& client = *TheClient();
  Report(kLogTrace, "Getting response message");
  if (!NotNull(response)) return 0;
  return Boolean(TakeResponse(client, *response));
}

MDSP_API int32_t MDSP_SendConfigure(const MdspConfigureRequest* request) {
  Client* client = NeedClient();
  if (!client || !NotNull(request)) return 0;
  return Boolean(SendTextConfigure(*client, *request));
}

MDSP_API int32_t MDSP_SendWink(const uint8_t* mac) {
  Client* client = NeedClient();
  if (!client || !NotNull(mac)) return 0;
  return Boolean(SendTextWink(*client, mac));
}

MDSP_API int32_t SMDSP_SendDiscover(void* context) {
  return CodeExport([&](Client& client) { return Discover(client, context); });
}

MDSP_API int32_t SMDSP_GetPayloadData(int32_t tag, uint32_t index, void* buffer, int32_t size) {
  return CodeExport(
      [&](Client& client) { return GetPayloadData(client, tag, index, buffer, size); });
}

MDSP_API int32_t SMDSP_GetPayloadDataAndSize(int32_t tag, uint32_t index, void* buffer,
                                             uint32_t* size) {
  return CodeExport(
      [&](Client& client) { return GetPayloadDataAndSize(client, tag, index, buffer, size); });
}

MDSP_API int32_t SMDSP_GetPayloadString(int32_t tag, uint32_t index, char* buffer,
                                        uint32_t size) {
  return CodeExport(
      [&](Client& client) { return GetPayloadString(client, tag, index, buffer, size); });
}

MDSP_API int32_t SMDSP_GetModuleMac(uint32_t index, uint8_t* mac) {
  return CodeExport([&](Client& client) { return GetModuleMac(client, index, mac); });
}

MDSP_API int32_t SMDSP_CreateConfigureRequest(uint32_t index) {
  return CodeExport([&](Client& client) { return CreateConfigureRequest(client, index); });
}

MDSP_API int32_t SMDSP_SetPayloadData(int32_t tag, const void* data, int32_t size) {
  return CodeExport([&](Client& client) { return SetPayloadData(client, tag, data, size); });
}

MDSP_API int32_t SMDSP_SetPayloadString(int32_t tag, const char* text) {
  return CodeExport([&](Client& client) { return SetPayloadString(client, tag, text); });
}

MDSP_API int32_t SMDSP_SendConfigure(const SmdspCredentials* credentials) {
  return CodeExport([&](Client& client) { return SecureConfigure(client, credentials); });
}

MDSP_API int32_t SMDSP_SendWink(uint32_t index, int32_t value,
                                const SmdspCredentials* credentials) {
  return CodeExport(
      [&](Client& client) { return SecureWink(client, index, value, credentials); });
}

MDSP_API int32_t SMDSP_SendPing(uint32_t seconds) {
  return CodeExport([&](Client& client) { return Ping(client, seconds); });
}

MDSP_API int32_t SMDSP_SendRestart(uint32_t index, int32_t value,
                                   const SmdspCredentials* credentials) {
  return CodeExport(
      [&](Client& client) { return SecureRestart(client, index, value, credentials); });
}

MDSP_API int32_t SMDSP_SendMassRestart(void) {
  return CodeExport([&](Client& client) { return MassRestart(client); });
}

MDSP_API int32_t DllGetVersion(DLLVERSIONINFO* info) {
  if (info) FillDllVersion(*info);
  return 0;
}

}  // extern "C"
