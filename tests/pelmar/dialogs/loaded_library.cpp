#include "loaded_library.h"

#include <dlfcn.h>

#include <cstring>
#include <mutex>

#include "netns.h"

namespace pelmar_test {
namespace {

std::mutex g_lock;
std::vector<ModuleEvent> g_events;

int32_t MDSP_CALL OnEvent(int32_t event, int32_t index, uint8_t* mac, int32_t, void*) {
  ModuleEvent e{event, index, {}};
  if (mac) std::memcpy(e.mac, mac, 6);
  std::lock_guard<std::mutex> guard(g_lock);
  g_events.push_back(e);
  return 0;
}

template <typename T>
bool Resolve(void* handle, const char* name, T& slot, std::string& error) {
  slot = reinterpret_cast<T>(dlsym(handle, name));
  if (!slot) error = std::string("missing export ") + name;
  return slot != nullptr;
}

}  // namespace

LoadedLibrary::~LoadedLibrary() {
  if (started_) api_.MDSP_Stop();
  if (api_.SMDSP_RegisterCallBack) api_.SMDSP_RegisterCallBack(nullptr);
  if (handle_) dlclose(handle_);
  ClearEvents();
}

bool LoadedLibrary::Load(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    error_ = dlerror();
    return false;
  }
  pelmar::LibraryApi& a = api_;
  std::string& e = error_;
  void* h = handle_;
  return Resolve(h, "MDSP_GetNumberOfNics", a.MDSP_GetNumberOfNics, e) &&
         Resolve(h, "MDSP_GetNicInfo", a.MDSP_GetNicInfo, e) &&
         Resolve(h, "MDSP_SetNetworkDevice", a.MDSP_SetNetworkDevice, e) &&
         Resolve(h, "MDSP_RegisterCallBack", a.MDSP_RegisterCallBack, e) &&
         Resolve(h, "SMDSP_RegisterCallBack", a.SMDSP_RegisterCallBack, e) &&
         Resolve(h, "MDSP_Start", a.MDSP_Start, e) && Resolve(h, "MDSP_Stop", a.MDSP_Stop, e) &&
         Resolve(h, "MDSP_SendModuleScan", a.MDSP_SendModuleScan, e) &&
         Resolve(h, "MDSP_GetResponse", a.MDSP_GetResponse, e) &&
         Resolve(h, "SMDSP_SendDiscover", a.SMDSP_SendDiscover, e) &&
         Resolve(h, "SMDSP_GetPayloadData", a.SMDSP_GetPayloadData, e) &&
         Resolve(h, "SMDSP_GetPayloadDataAndSize", a.SMDSP_GetPayloadDataAndSize, e) &&
         Resolve(h, "SMDSP_GetPayloadString", a.SMDSP_GetPayloadString, e) &&
         Resolve(h, "SMDSP_GetModuleMac", a.SMDSP_GetModuleMac, e) &&
         Resolve(h, "MDSP_SendConfigure", a.MDSP_SendConfigure, e) &&
         Resolve(h, "SMDSP_CreateConfigureRequest", a.SMDSP_CreateConfigureRequest, e) &&
         Resolve(h, "SMDSP_SetPayloadData", a.SMDSP_SetPayloadData, e) &&
         Resolve(h, "SMDSP_SetPayloadString", a.SMDSP_SetPayloadString, e) &&
         Resolve(h, "SMDSP_SendConfigure", a.SMDSP_SendConfigure, e) &&
         Resolve(h, "MDSP_SendWink", a.MDSP_SendWink, e) &&
         Resolve(h, "SMDSP_SendWink", a.SMDSP_SendWink, e) &&
         Resolve(h, "SMDSP_SendPing", a.SMDSP_SendPing, e) &&
         Resolve(h, "SMDSP_SendRestart", a.SMDSP_SendRestart, e) &&
         Resolve(h, "SMDSP_SendMassRestart", a.SMDSP_SendMassRestart, e) &&
         Resolve(h, "DllGetVersion", a.DllGetVersion, e);
}

bool LoadedLibrary::Start(const std::string& interfaceAddress) {
  if (api_.MDSP_SetNetworkDevice(0, interfaceAddress.c_str()) != 1) {
    error_ = "no interface " + interfaceAddress;
    return false;
  }
  api_.SMDSP_RegisterCallBack(OnEvent);
  started_ = api_.MDSP_Start() == 1;
  if (!started_) error_ = "worker did not start";
  return started_;
}

std::vector<ModuleEvent> LoadedLibrary::Events() const {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_events;
}

void LoadedLibrary::ClearEvents() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_events.clear();
}

bool LoadedLibrary::WaitEvent(int32_t event, const uint8_t mac[6], int timeoutMs) const {
  return net_test::WaitFor(
      [&] {
        for (const ModuleEvent& e : Events())
          if (e.event == event && std::memcmp(e.mac, mac, 6) == 0) return true;
        return false;
      },
      timeoutMs);
}

std::vector<pelmar::ModuleRecord> LoadedLibrary::Scan(size_t count, int timeoutMs) {
  ClearEvents();
  std::vector<pelmar::ModuleRecord> records;
  if (api_.SMDSP_SendDiscover(nullptr) != MDSP_RESULT_OK) return records;
  size_t seen = 0;
  net_test::WaitFor(
      [&] {
        std::vector<ModuleEvent> events = Events();
        for (; seen < events.size(); ++seen) {
          if (events[seen].event != SMDSP_EVENT_MODULE_FOUND) continue;
          pelmar::ModuleRecord r;
          if (ReadRecord(api_, static_cast<uint32_t>(events[seen].index), &r) && r.macValid)
            records.push_back(r);
        }
        return records.size() >= count;
      },
      timeoutMs);
  return records;
}

bool ReadRecord(const pelmar::LibraryApi& api, uint32_t index, pelmar::ModuleRecord* r) {
  *r = pelmar::ModuleRecord{};
  r->moduleIndex = index;
  auto data = [&](int32_t tag, void* out, int32_t size) {
    return api.SMDSP_GetPayloadData(tag, index, out, size) == MDSP_RESULT_OK;
  };
  auto text = [&](int32_t tag, char* out, uint32_t size) {
    return api.SMDSP_GetPayloadString(tag, index, out, size) == MDSP_RESULT_OK;
  };
  uint8_t marker;
  r->secure = data(255, &marker, 1);
  r->macValid = api.SMDSP_GetModuleMac(index, r->mac) == MDSP_RESULT_OK;
  r->ipValid = data(4, &r->ip, 4);
  r->subnetValid = data(5, &r->subnet, 4);
  r->gatewayValid = data(6, &r->gateway, 4);
  r->dhcpValid = data(9, &r->dhcp, 1);
  r->passwordFlagValid = data(248, &r->passwordFlag, 1);
  r->hostNameValid = text(10, r->hostName, sizeof(r->hostName));
  r->dns1Valid = data(7, &r->dns1, 4);
  r->dns2Valid = data(8, &r->dns2, 4);
  r->seedValid = text(244, r->seedText, sizeof(r->seedText));
  r->typeValid = text(252, r->typeText, sizeof(r->typeText));
  bool product = text(2, r->productText, sizeof(r->productText));
  data(0, &r->authRequired, 1);
  return r->typeValid || product;
}

}  // namespace pelmar_test
