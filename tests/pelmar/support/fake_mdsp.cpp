// A stand-in for libmdsp: the same 25 exports, scripted by the test through
// FakeMdsp_Control. Built in variants that differ in their version block and
// in one missing export.
#include <chrono>
#include <cstring>
#include <thread>

#include "fake_mdsp_control.h"

namespace {

fake::Control g_control;
std::thread g_worker;
bool g_stop = false;

uint64_t NowNs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void WorkerLoop() {
  fake::Control& c = g_control;
  std::unique_lock<std::mutex> lock(c.mutex);
  for (;;) {
    c.wake.wait(lock, [&] { return g_stop || (!c.paused && !c.queue.empty()); });
    if (g_stop) return;
    fake::Pending p = c.queue.front();
    c.queue.pop_front();
    int32_t index = p.index;
    int32_t event = p.event;
    uint8_t mac[6] = {};
    if (p.addModule) {
      c.table.push_back(p.module);
      index = static_cast<int32_t>(c.table.size() - 1);
      event = SMDSP_EVENT_MODULE_FOUND;
    }
    std::memcpy(mac, p.module.mac, 6);
    void* context = p.useDiscoverContext ? c.context : p.context;
    SmdspCallback callback = c.callback;
    // The real library raises callbacks holding its locks; so does this one.
    if (callback) callback(event, index, p.withoutMac ? nullptr : mac, 0, context);
    ++c.raised;
    c.lastRaiseNs = NowNs();
  }
}

const fake::Module* Entry(uint32_t index) {
  return index < g_control.table.size() ? &g_control.table[index] : nullptr;
}

}  // namespace

extern "C" {

MDSP_API pelmar_test::fake::Control* FakeMdsp_Control() { return &g_control; }

MDSP_API int32_t MDSP_GetNumberOfNics(int32_t* count) {
  std::lock_guard<std::mutex> lock(g_control.mutex);
  if (g_control.nicCountFails || !count) return MDSP_RESULT_FAILED;
  *count = static_cast<int32_t>(g_control.nics.size());
  return MDSP_RESULT_OK;
}

MDSP_API int32_t MDSP_GetNicInfo(uint32_t index, uint32_t* address, uint8_t*, char* description,
                                 int32_t size) {
  std::lock_guard<std::mutex> lock(g_control.mutex);
  if (static_cast<int>(index) == g_control.nicInfoFailsAt || index >= g_control.nics.size())
    return MDSP_RESULT_FAILED;
  if (address) *address = g_control.nics[index].address;
  if (description && size > 0) {
    std::strncpy(description, g_control.nics[index].description.c_str(), size - 1);
    description[size - 1] = '\0';
  }
  return MDSP_RESULT_OK;
}

MDSP_API int32_t MDSP_SetNetworkDevice(uint32_t slot, const char* address) {
  std::lock_guard<std::mutex> lock(g_control.mutex);
  g_control.devices.emplace_back(slot, address ? address : "");
  return 1;
}

MDSP_API MdspCallback MDSP_RegisterCallBack(MdspCallback callback) { return callback; }

MDSP_API SmdspCallback SMDSP_RegisterCallBack(SmdspCallback callback) {
  std::lock_guard<std::mutex> lock(g_control.mutex);
  SmdspCallback old = g_control.callback;
  g_control.callback = callback;
  return old;
}

MDSP_API int32_t MDSP_Start(void) {
  std::lock_guard<std::mutex> lock(g_control.mutex);
  ++g_control.starts;
  if (g_control.startFails) return 0;
  if (g_control.running) return 1;
  g_stop = false;
  g_control.running = true;
  g_worker = std::thread(WorkerLoop);
  return 1;
}

MDSP_API int32_t MDSP_Stop(void) {
  {
    std::lock_guard<std::mutex> lock(g_control.mutex);
    ++g_control.stops;
    if (!g_control.running) return 1;
    g_stop = true;
    g_control.running = false;
    g_control.wake.notify_all();
  }
  g_worker.join();  // a plain join, as the real library's
  return 1;
}

MDSP_API int32_t MDSP_SendModuleScan(void) { return 1; }
MDSP_API int32_t MDSP_GetResponse(MdspResponse*) { return 0; }

MDSP_API int32_t SMDSP_SendDiscover(void* context) {
  std::lock_guard<std::mutex> lock(g_control.mutex);
  if (!g_control.running) return MDSP_RESULT_NOT_STARTED;
  if (g_control.discoverFails) return MDSP_RESULT_SOCKET;
  g_control.discoverContexts.push_back(context);
  g_control.context = context;
  g_control.table.clear();
  // Like the real library: answers of the earlier scan not yet raised are gone.
  std::deque<fake::Pending> kept;
  for (const fake::Pending& p : g_control.queue)
    if (!p.addModule) kept.push_back(p);
  g_control.queue.swap(kept);
  for (const fake::Module& m : g_control.answers) {
    fake::Pending p;
    p.addModule = true;
    p.module = m;
    p.useDiscoverContext = false;
    p.context = context;
    g_control.queue.push_back(p);
  }
  g_control.wake.notify_all();
  return MDSP_RESULT_OK;
}

MDSP_API int32_t SMDSP_GetPayloadData(int32_t tag, uint32_t index, void* buffer, int32_t size) {
  std::lock_guard<std::mutex> lock(g_control.mutex);
  return fake::ReadData(Entry(index), tag, buffer, size);
}

MDSP_API int32_t SMDSP_GetPayloadDataAndSize(int32_t tag, uint32_t index, void* buffer,
                                             uint32_t* size) {
  std::lock_guard<std::mutex> lock(g_control.mutex);
  const fake::Module* m = Entry(index);
  if (!m) return MDSP_RESULT_BAD_INDEX;
  auto it = m->tags.find(tag);
  if (it == m->tags.end()) return MDSP_RESULT_NOT_FOUND;
  if (size) *size = static_cast<uint32_t>(it->second.size());
  if (buffer) std::memcpy(buffer, it->second.data(), it->second.size());
  return MDSP_RESULT_OK;
}

MDSP_API int32_t SMDSP_GetPayloadString(int32_t tag, uint32_t index, char* buffer, uint32_t size) {
  std::lock_guard<std::mutex> lock(g_control.mutex);
  return fake::ReadString(Entry(index), tag, buffer, size);
}

MDSP_API int32_t SMDSP_GetModuleMac(uint32_t index, uint8_t* mac) {
  std::lock_guard<std::mutex> lock(g_control.mutex);
  return fake::ReadMac(Entry(index), mac);
}

MDSP_API int32_t MDSP_SendConfigure(const MdspConfigureRequest*) { return 0; }
MDSP_API int32_t SMDSP_CreateConfigureRequest(uint32_t) { return MDSP_RESULT_FAILED; }
MDSP_API int32_t SMDSP_SetPayloadData(int32_t, const void*, int32_t) { return MDSP_RESULT_FAILED; }
MDSP_API int32_t SMDSP_SetPayloadString(int32_t, const char*) { return MDSP_RESULT_FAILED; }
MDSP_API int32_t SMDSP_SendConfigure(const SmdspCredentials*) { return MDSP_RESULT_FAILED; }
MDSP_API int32_t MDSP_SendWink(const uint8_t*) { return 0; }
MDSP_API int32_t SMDSP_SendWink(uint32_t index, int32_t, const SmdspCredentials* credentials) {
  std::unique_lock<std::mutex> lock(g_control.mutex);
  if (!credentials || !credentials->password) return MDSP_RESULT_FAILED;
  const fake::Module* m = Entry(index);
  const int wait = m && m->tags.count(SMDSP_TAG_SECURE_MODULE) ? g_control.secureWaitMs : 0;
  g_control.mostWinksInFlight = std::max(g_control.mostWinksInFlight, ++g_control.winksInFlight);
  if (wait > 0) {
    // The seed wait: the worker goes on raising events meanwhile.
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    lock.lock();
  }
  --g_control.winksInFlight;
  g_control.winks.emplace_back(index, credentials->password);
  return g_control.winkResult;
}
MDSP_API int32_t SMDSP_SendPing(uint32_t) { return MDSP_RESULT_FAILED; }
MDSP_API int32_t SMDSP_SendRestart(uint32_t, int32_t, const SmdspCredentials*) {
  return MDSP_RESULT_FAILED;
}
#ifndef FAKE_OMIT_MASS_RESTART
MDSP_API int32_t SMDSP_SendMassRestart(void) { return MDSP_RESULT_FAILED; }
#endif
MDSP_API int32_t DllGetVersion(DLLVERSIONINFO* info) {
  if (info) {
    info->dwMajorVersion = 3;
    info->dwMinorVersion = 1;
  }
  return 0;
}

}  // extern "C"
