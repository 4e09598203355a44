// The stand-in library's script: a file exporting the same 25 names as
// libmdsp whose interfaces, modules and events a test sets, loaded through
// the tool's own binding. The test reaches this object through the extra
// export FakeMdsp_Control of the same file.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "mdsp.h"

namespace pelmar_test::fake {

struct Nic {
  uint32_t address = 0;
  std::string description;
};

struct Module {
  uint8_t mac[6] = {};
  bool macReadable = true;
  std::map<int32_t, std::string> tags;  // value bytes (numbers little-endian)
};

// One event the worker raises: with `addModule` it first appends the module
// to the table and raises event 1 with its index; otherwise the event
// carries module.mac as the answering module's MAC.
struct Pending {
  bool addModule = false;
  Module module;
  int32_t event = 0;
  int32_t index = 0;
  bool useDiscoverContext = true;
  void* context = nullptr;
  bool withoutMac = false;  // the callback gets no MAC (a library that sends none)
};

struct Control {
  std::mutex mutex;
  std::condition_variable wake;

  // Script.
  std::vector<Nic> nics;
  bool nicCountFails = false;
  int nicInfoFailsAt = -1;
  std::vector<Module> answers;  // every discover queues one module-found per answer
  bool paused = false;          // the worker holds its queue while set
  bool startFails = false;      // MDSP_Start returns 0
  bool discoverFails = false;   // SMDSP_SendDiscover fails with MDSP_RESULT_SOCKET

  // State and record.
  SmdspCallback callback = nullptr;
  bool running = false;
  int starts = 0, stops = 0;
  std::vector<std::pair<uint32_t, std::string>> devices;  // MDSP_SetNetworkDevice calls
  std::vector<void*> discoverContexts;
  void* context = nullptr;  // of the latest discover
  std::vector<Module> table;
  std::deque<Pending> queue;
  uint64_t raised = 0;  // callbacks made
  // SMDSP_SendWink calls (index, password) and what they return.
  std::vector<std::pair<uint32_t, std::string>> winks;
  int32_t winkResult = MDSP_RESULT_FAILED;
  // How long a wink or configure of a secure entry (tag 255) waits, as the
  // real library waits for the module's seed. The lock is not held meanwhile.
  int secureWaitMs = 0;
  int winksInFlight = 0, mostWinksInFlight = 0;
  uint64_t lastRaiseNs = 0;  // steady clock of the last callback

  // Queues an event from a test (raised on the worker thread).
  void Inject(const Pending& pending) {
    std::lock_guard<std::mutex> lock(mutex);
    queue.push_back(pending);
    wake.notify_all();
  }
  void SetPaused(bool value) {
    std::lock_guard<std::mutex> lock(mutex);
    paused = value;
    wake.notify_all();
  }
  bool Idle() {
    std::lock_guard<std::mutex> lock(mutex);
    return queue.empty();
  }
};

// Helpers for scripts.
inline std::string U8(uint8_t v) { return std::string(1, static_cast<char>(v)); }
inline std::string U16(uint16_t v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
inline std::string U32(uint32_t v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                     static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}
inline std::string Text(const std::string& text) { return text + std::string(1, '\0'); }

// The library's reads of one table entry (nullptr: no entry at that index),
// shared by the stand-in library and the in-process stub.
inline int32_t ReadData(const Module* m, int32_t tag, void* buffer, int32_t size) {
  if (!m) return MDSP_RESULT_BAD_INDEX;
  auto it = m->tags.find(tag);
  if (it == m->tags.end()) return MDSP_RESULT_NOT_FOUND;
  if (static_cast<int32_t>(it->second.size()) != size || !buffer) return MDSP_RESULT_INVALID_TAG;
  std::memcpy(buffer, it->second.data(), it->second.size());
  return MDSP_RESULT_OK;
}
inline int32_t ReadString(const Module* m, int32_t tag, char* buffer, uint32_t size) {
  if (!m) return MDSP_RESULT_BAD_INDEX;
  auto it = m->tags.find(tag);
  if (it == m->tags.end()) return MDSP_RESULT_NOT_FOUND;
  if (!buffer || size == 0) return MDSP_RESULT_FAILED;
  size_t n = std::min<size_t>(strnlen(it->second.data(), it->second.size()), size - 1);
  std::memcpy(buffer, it->second.data(), n);
  buffer[n] = '\0';
  return MDSP_RESULT_OK;
}
inline int32_t ReadMac(const Module* m, uint8_t* mac) {
  if (!m) return MDSP_RESULT_BAD_INDEX;
  if (!m->macReadable || !mac) return MDSP_RESULT_FAILED;
  std::memcpy(mac, m->mac, 6);
  return MDSP_RESULT_OK;
}

}  // namespace pelmar_test::fake

extern "C" pelmar_test::fake::Control* FakeMdsp_Control();
using FakeControlFunction = pelmar_test::fake::Control* (*)();

// The short name the stand-in itself and the benchmarks use.
namespace fake = pelmar_test::fake;
