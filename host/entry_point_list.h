// The library's 25 entry points in binding order, written once. The table of
// pointers, the names, the binding walk and the linked table are all made
// from this list, and a test holds the library's export map to it.
// X(name) is called once for each entry point.
#pragma once

#define MDSP_ENTRY_POINTS(X)       \
  X(MDSP_GetNumberOfNics)          \
  X(MDSP_GetNicInfo)               \
  X(MDSP_SetNetworkDevice)         \
  X(MDSP_RegisterCallBack)         \
  X(SMDSP_RegisterCallBack)        \
  X(MDSP_Start)                    \
  X(MDSP_Stop)                     \
  X(MDSP_SendModuleScan)           \
  X(MDSP_GetResponse)              \
  X(SMDSP_SendDiscover)            \
  X(SMDSP_GetPayloadData)          \
  X(SMDSP_GetPayloadDataAndSize)   \
  X(SMDSP_GetPayloadString)        \
  X(SMDSP_GetModuleMac)            \
  X(MDSP_SendConfigure)            \
  X(SMDSP_CreateConfigureRequest)  \
  X(SMDSP_SetPayloadData)          \
  X(SMDSP_SetPayloadString)        \
  X(SMDSP_SendConfigure)           \
  X(MDSP_SendWink)                 \
  X(SMDSP_SendWink)                \
  X(SMDSP_SendPing)                \
  X(SMDSP_SendRestart)             \
  X(SMDSP_SendMassRestart)         \
  X(DllGetVersion)
