#include "loaded_library.h"

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

}  // namespace

LoadedLibrary::~LoadedLibrary() {
  const pelmar::LibraryApi& api = binding_.api();
  if (started_) api.MDSP_Stop();
  if (api.SMDSP_RegisterCallBack) api.SMDSP_RegisterCallBack(nullptr);
  binding_.Unbind();
  ClearEvents();
}

bool LoadedLibrary::Load(const std::string& path) {
  if (binding_.Bind(path)) return true;
  error_ = "cannot bind " + path;
  return false;
}

bool LoadedLibrary::Start(const std::string& interfaceAddress) {
  if (binding_.api().MDSP_SetNetworkDevice(0, interfaceAddress.c_str()) != 1) {
    error_ = "no interface " + interfaceAddress;
    return false;
  }
  binding_.api().SMDSP_RegisterCallBack(OnEvent);
  started_ = binding_.api().MDSP_Start() == 1;
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
  if (binding_.api().SMDSP_SendDiscover(nullptr) != MDSP_RESULT_OK) return records;
  size_t seen = 0;
  net_test::WaitFor(
      [&] {
        std::vector<ModuleEvent> events = Events();
        for (; seen < events.size(); ++seen) {
          if (events[seen].event != SMDSP_EVENT_MODULE_FOUND) continue;
          pelmar::ModuleRecord r;
          if (pelmar::ReadModuleRecord(binding_.api(), static_cast<uint32_t>(events[seen].index),
                                       &r) &&
              r.macValid)
            records.push_back(r);
        }
        return records.size() >= count;
      },
      timeoutMs);
  return records;
}

}  // namespace pelmar_test
