// The library's 25 entry points as one table of pointers. The tool fills it
// by binding the library file at run time; every other part of the tool and
// the shared host code call the library only through such a table, so tests
// can hand in a table of their own.
#pragma once

#include <cstddef>

#include "mdsp.h"

namespace pelmar {

struct LibraryApi {
  decltype(&::MDSP_GetNumberOfNics) MDSP_GetNumberOfNics = nullptr;
  decltype(&::MDSP_GetNicInfo) MDSP_GetNicInfo = nullptr;
  decltype(&::MDSP_SetNetworkDevice) MDSP_SetNetworkDevice = nullptr;
  decltype(&::MDSP_RegisterCallBack) MDSP_RegisterCallBack = nullptr;
  decltype(&::SMDSP_RegisterCallBack) SMDSP_RegisterCallBack = nullptr;
  decltype(&::MDSP_Start) MDSP_Start = nullptr;
  decltype(&::MDSP_Stop) MDSP_Stop = nullptr;
  decltype(&::MDSP_SendModuleScan) MDSP_SendModuleScan = nullptr;
  decltype(&::MDSP_GetResponse) MDSP_GetResponse = nullptr;
  decltype(&::SMDSP_SendDiscover) SMDSP_SendDiscover = nullptr;
  decltype(&::SMDSP_GetPayloadData) SMDSP_GetPayloadData = nullptr;
  decltype(&::SMDSP_GetPayloadDataAndSize) SMDSP_GetPayloadDataAndSize = nullptr;
  decltype(&::SMDSP_GetPayloadString) SMDSP_GetPayloadString = nullptr;
  decltype(&::SMDSP_GetModuleMac) SMDSP_GetModuleMac = nullptr;
  decltype(&::MDSP_SendConfigure) MDSP_SendConfigure = nullptr;
  decltype(&::SMDSP_CreateConfigureRequest) SMDSP_CreateConfigureRequest = nullptr;
  decltype(&::SMDSP_SetPayloadData) SMDSP_SetPayloadData = nullptr;
  decltype(&::SMDSP_SetPayloadString) SMDSP_SetPayloadString = nullptr;
  decltype(&::SMDSP_SendConfigure) SMDSP_SendConfigure = nullptr;
  decltype(&::MDSP_SendWink) MDSP_SendWink = nullptr;
  decltype(&::SMDSP_SendWink) SMDSP_SendWink = nullptr;
  decltype(&::SMDSP_SendPing) SMDSP_SendPing = nullptr;
  decltype(&::SMDSP_SendRestart) SMDSP_SendRestart = nullptr;
  decltype(&::SMDSP_SendMassRestart) SMDSP_SendMassRestart = nullptr;
  decltype(&::DllGetVersion) DllGetVersion = nullptr;
};

inline constexpr size_t kEntryPointCount = 25;

}  // namespace pelmar
