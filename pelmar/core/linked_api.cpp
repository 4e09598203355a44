// The entry-point table of a program that links libmdsp (mdspctl): the same
// table the tool fills by run-time binding, filled here by the linker.
#include "entry_points.h"

namespace pelmar {

const LibraryApi& LinkedLibraryApi() {
  static const LibraryApi api = [] {
    LibraryApi a;
    a.MDSP_GetNumberOfNics = &::MDSP_GetNumberOfNics;
    a.MDSP_GetNicInfo = &::MDSP_GetNicInfo;
    a.MDSP_SetNetworkDevice = &::MDSP_SetNetworkDevice;
    a.MDSP_RegisterCallBack = &::MDSP_RegisterCallBack;
    a.SMDSP_RegisterCallBack = &::SMDSP_RegisterCallBack;
    a.MDSP_Start = &::MDSP_Start;
    a.MDSP_Stop = &::MDSP_Stop;
    a.MDSP_SendModuleScan = &::MDSP_SendModuleScan;
    a.MDSP_GetResponse = &::MDSP_GetResponse;
    a.SMDSP_SendDiscover = &::SMDSP_SendDiscover;
    a.SMDSP_GetPayloadData = &::SMDSP_GetPayloadData;
    a.SMDSP_GetPayloadDataAndSize = &::SMDSP_GetPayloadDataAndSize;
    a.SMDSP_GetPayloadString = &::SMDSP_GetPayloadString;
    a.SMDSP_GetModuleMac = &::SMDSP_GetModuleMac;
    a.MDSP_SendConfigure = &::MDSP_SendConfigure;
    a.SMDSP_CreateConfigureRequest = &::SMDSP_CreateConfigureRequest;
    a.SMDSP_SetPayloadData = &::SMDSP_SetPayloadData;
    a.SMDSP_SetPayloadString = &::SMDSP_SetPayloadString;
    a.SMDSP_SendConfigure = &::SMDSP_SendConfigure;
    a.MDSP_SendWink = &::MDSP_SendWink;
    a.SMDSP_SendWink = &::SMDSP_SendWink;
    a.SMDSP_SendPing = &::SMDSP_SendPing;
    a.SMDSP_SendRestart = &::SMDSP_SendRestart;
    a.SMDSP_SendMassRestart = &::SMDSP_SendMassRestart;
    a.DllGetVersion = &::DllGetVersion;
    return a;
  }();
  return api;
}

}  // namespace pelmar
