// Shared by the window tests: a QApplication, the stand-in library held
// loaded with its script reset, and the message recorder.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "event_relay.h"
#include "fake_mdsp_control.h"
#include "main_dlg.h"
#include "message_box.h"
#include "window_steps.h"

namespace pelmar_test {

inline fake::Module MakeModule(uint32_t n, const std::string& ip, const std::string& type,
                               bool secure = false) {
  fake::Module m;
  const uint8_t mac[6] = {0x02, 0x00, static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                          static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
  std::memcpy(m.mac, mac, 6);
  if (!ip.empty()) {
    unsigned a, b, c, d;
    std::sscanf(ip.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d);
    m.tags[4] = fake::U32(a << 24 | b << 16 | c << 8 | d);
  }
  if (secure) {
    m.tags[255] = fake::U8(1);
    m.tags[2] = fake::Text(type);
    m.tags[1] = fake::Text("4.0." + std::to_string(n % 10));
  } else {
    m.tags[252] = fake::Text(type);
    m.tags[251] = fake::U8(1);
    m.tags[250] = fake::U8(static_cast<uint8_t>(n % 20));
    m.tags[249] = fake::U16(0);
  }
  m.tags[5] = fake::U32(0xFFFFFF00);
  m.tags[9] = fake::U8(n & 1);
  return m;
}

inline pelmar::Mac MacOf(const fake::Module& m) {
  pelmar::Mac mac;
  std::memcpy(mac.data(), m.mac, 6);
  return mac;
}

// Waits, without handling any event, until the relay has posted `count`
// events in all: every callback up to then has been made.
inline bool PostedReaches(uint64_t count, int timeoutMs = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (pelmar::ModuleEventRelay::Instance().posted() < count) {
    if (timer.elapsed() > timeoutMs) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class StandInLibrary {
 public:
  explicit StandInLibrary(const char* path = FAKE_MDSP) : path_(path) {
    handle_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle_) return;
    auto get = reinterpret_cast<FakeControlFunction>(dlsym(handle_, "FakeMdsp_Control"));
    control_ = get ? get() : nullptr;
    Reset();
  }
  ~StandInLibrary() {
    if (handle_) dlclose(handle_);
  }
  void Reset() {
    if (!control_) return;
    std::lock_guard<std::mutex> lock(control_->mutex);
    control_->nics = {{0x0A4D0001, "veth-a"}, {0x0A4E0001, "veth-b"}};
    control_->nicCountFails = false;
    control_->nicInfoFailsAt = -1;
    control_->answers.clear();
    control_->paused = false;
    control_->startFails = control_->discoverFails = false;
    control_->devices.clear();
    control_->discoverContexts.clear();
    control_->context = nullptr;
    control_->table.clear();
    control_->queue.clear();
    control_->raised = 0;
    control_->starts = control_->stops = 0;
    control_->winks.clear();
    control_->winkResult = MDSP_RESULT_FAILED;
    control_->secureWaitMs = 0;
    control_->winksInFlight = control_->mostWinksInFlight = 0;
  }
  fake::Control* operator->() { return control_; }
  fake::Control* control() { return control_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  void* handle_ = nullptr;
  fake::Control* control_ = nullptr;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(lib.control(), nullptr);
    messages.clear();
    pelmar::SetMessageRecorder([this](const pelmar::ShownMessage& m) { messages.push_back(m); });
    char pattern[] = "/tmp/pelmar-window-XXXXXX";
    folder = mkdtemp(pattern);
    options.libraryPath = lib.path();
    options.settingsPath = folder + "/settings.dat";
    options.collatorLocale = "C";
  }
  void TearDown() override {
    pelmar::SetMessageRecorder(nullptr);
    std::system(("rm -rf '" + folder + "'").c_str());
  }
  void SetAnswers(const std::vector<fake::Module>& answers) {
    std::lock_guard<std::mutex> lock(lib->mutex);
    lib->answers = answers;
  }
  size_t Discovers() {
    std::lock_guard<std::mutex> lock(lib->mutex);
    return lib->discoverContexts.size();
  }

  StandInLibrary lib;
  std::vector<pelmar::ShownMessage> messages;
  std::string folder;
  pelmar::MainDlgOptions options;
};

}  // namespace pelmar_test
