// The module list at scale through the real event path, offscreen: the
// stand-in library's worker raises event 1 for N modules as fast as it can;
// the callback posts, the relay hands on, the window reads each record
// through the bound entry points and inserts the row at its sorted place.
// Reports the time from the last callback to the N-th row listed.
//
//   pelmar_bench_list [N ...]      (default 1000 10000)
#include <dlfcn.h>

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "fake_mdsp_control.h"
#include "main_dlg.h"
#include "message_box.h"

namespace {

uint64_t NowNs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

fake::Module Module(uint32_t n, std::mt19937& random) {
  fake::Module m;
  const uint8_t mac[6] = {0x02, 0x00, 0x01, static_cast<uint8_t>(n >> 16),
                          static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
  std::memcpy(m.mac, mac, 6);
  uint32_t ip = 0x0A000000u | (random() & 0xFFFFFF);
  m.tags[SMDSP_TAG_IP] = fake::U32(ip);
  m.tags[SMDSP_TAG_SUBNET_MASK] = fake::U32(0xFFFF0000);
  m.tags[SMDSP_TAG_GATEWAY] = fake::U32(0x0A000001);
  m.tags[SMDSP_TAG_DHCP] = fake::U8(n & 1);
  if (n & 1) {
    m.tags[SMDSP_TAG_SECURE_MODULE] = fake::U8(1);
    m.tags[SMDSP_TAG_MODULE_TYPE] = fake::Text("SIM-GW secure");
    m.tags[SMDSP_TAG_VERSION_TEXT] = fake::Text("4.0." + std::to_string(n % 17));
  } else {
    m.tags[SMDSP_TAG_FIELD_BUS_TYPE] = fake::Text("SIM-IO 16DI");
    m.tags[SMDSP_TAG_MODULE_VERSION_MAJOR] = fake::U8(3);
    m.tags[SMDSP_TAG_MODULE_VERSION_MINOR] = fake::U8(static_cast<uint8_t>(n % 13));
    m.tags[SMDSP_TAG_MODULE_VERSION_BUILD] = fake::U16(static_cast<uint16_t>(n));
    m.tags[SMDSP_TAG_HOST_NAME] = fake::Text("module-" + std::to_string(n));
  }
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::vector<uint32_t> counts;
  for (int i = 1; i < argc; ++i) {
    char* end = nullptr;
    unsigned long n = std::strtoul(argv[i], &end, 10);
    if (end == argv[i] || *end != '\0' || n == 0 || n > 1000000) {
      std::fprintf(stderr, "usage: %s [MODULES...]  (each 1 to 1000000; default 1000 10000)\n",
                   argv[0]);
      return 2;
    }
    counts.push_back(static_cast<uint32_t>(n));
  }
  if (counts.empty()) counts = {1000, 10000};

  void* handle = dlopen(FAKE_MDSP, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "cannot load %s\n", FAKE_MDSP);
    return 1;
  }
  auto controlFunction = reinterpret_cast<FakeControlFunction>(dlsym(handle, "FakeMdsp_Control"));
  if (!controlFunction) {
    std::fprintf(stderr, "%s has no FakeMdsp_Control\n", FAKE_MDSP);
    return 1;
  }
  fake::Control* control = controlFunction();
  pelmar::SetMessageRecorder([](const pelmar::ShownMessage&) {});

  std::printf("%8s %14s %14s %14s\n", "modules", "last->listed", "first->listed", "per row");
  for (uint32_t n : counts) {
    std::mt19937 random(n);
    {
      std::lock_guard<std::mutex> lock(control->mutex);
      control->nics = {{0x0A000002, "bench"}};
      control->answers.clear();
      for (uint32_t i = 0; i < n; ++i) control->answers.push_back(Module(i, random));
      control->raised = 0;
    }
    pelmar::MainDlgOptions options;
    options.libraryPath = FAKE_MDSP;
    options.settingsPath = "/nonexistent/settings.dat";
    pelmar::CMainDlg window("", options);
    window.show();
    const uint64_t start = NowNs();
    if (!window.Initialise()) return 1;
    while (window.moduleList()->rowCount() < static_cast<int>(n))
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    const uint64_t listed = NowNs();
    QApplication::processEvents();  // one paint with every row
    uint64_t last;
    {
      std::lock_guard<std::mutex> lock(control->mutex);
      last = control->lastRaiseNs;
    }
    const double afterLast = (listed > last ? listed - last : 0) / 1e9;
    const double total = (listed - start) / 1e9;
    std::printf("%8u %12.3f s %12.3f s %11.2f us\n", n, afterLast, total, total * 1e6 / n);
    std::fflush(stdout);
  }
  dlclose(handle);
  return 0;
}
