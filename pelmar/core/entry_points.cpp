#include "entry_points.h"

namespace pelmar {

const char* const kEntryPointNames[kEntryPointCount] = {
    "MDSP_GetNumberOfNics",
    "MDSP_GetNicInfo",
    "MDSP_SetNetworkDevice",
    "MDSP_RegisterCallBack",
    "SMDSP_RegisterCallBack",
    "MDSP_Start",
    "MDSP_Stop",
    "MDSP_SendModuleScan",
    "MDSP_GetResponse",
    "SMDSP_SendDiscover",
    "SMDSP_GetPayloadData",
    "SMDSP_GetPayloadDataAndSize",
    "SMDSP_GetPayloadString",
    "SMDSP_GetModuleMac",
    "MDSP_SendConfigure",
    "SMDSP_CreateConfigureRequest",
    "SMDSP_SetPayloadData",
    "SMDSP_SetPayloadString",
    "SMDSP_SendConfigure",
    "MDSP_SendWink",
    "SMDSP_SendWink",
    "SMDSP_SendPing",
    "SMDSP_SendRestart",
    "SMDSP_SendMassRestart",
    "DllGetVersion",
};

namespace {

// Visits the 25 members in the order of kEntryPointNames.
template <typename Api, typename F>
void ForEachEntry(Api& api, F&& f) {
  size_t i = 0;
  f(i++, api.MDSP_GetNumberOfNics);
  f(i++, api.MDSP_GetNicInfo);
  f(i++, api.MDSP_SetNetworkDevice);
  f(i++, api.MDSP_RegisterCallBack);
  f(i++, api.SMDSP_RegisterCallBack);
  f(i++, api.MDSP_Start);
  f(i++, api.MDSP_Stop);
  f(i++, api.MDSP_SendModuleScan);
  f(i++, api.MDSP_GetResponse);
  f(i++, api.SMDSP_SendDiscover);
  f(i++, api.SMDSP_GetPayloadData);
  f(i++, api.SMDSP_GetPayloadDataAndSize);
  f(i++, api.SMDSP_GetPayloadString);
  f(i++, api.SMDSP_GetModuleMac);
  f(i++, api.MDSP_SendConfigure);
  f(i++, api.SMDSP_CreateConfigureRequest);
  f(i++, api.SMDSP_SetPayloadData);
  f(i++, api.SMDSP_SetPayloadString);
  f(i++, api.SMDSP_SendConfigure);
  f(i++, api.MDSP_SendWink);
  f(i++, api.SMDSP_SendWink);
  f(i++, api.SMDSP_SendPing);
  f(i++, api.SMDSP_SendRestart);
  f(i++, api.SMDSP_SendMassRestart);
  f(i++, api.DllGetVersion);
}

}  // namespace

bool FillLibraryApi(LibraryApi& api, const std::function<void*(const char*)>& resolve) {
  bool all = true;
  ForEachEntry(api, [&](size_t i, auto& pointer) {
    void* symbol = resolve(kEntryPointNames[i]);
    pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(symbol);
    if (!symbol) all = false;
  });
  if (!all) ClearLibraryApi(api);
  return all;
}

void ClearLibraryApi(LibraryApi& api) {
  ForEachEntry(api, [](size_t, auto& pointer) { pointer = nullptr; });
}

size_t CountSetEntryPoints(const LibraryApi& api) {
  size_t count = 0;
  ForEachEntry(api, [&](size_t, const auto& pointer) { count += pointer != nullptr; });
  return count;
}

}  // namespace pelmar
