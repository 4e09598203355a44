// The window's longest event-loop stall during a wink of a secure module
// whose seed arrives late: the stand-in library holds SMDSP_SendWink for
// the seed wait (900 ms by default) while a 1 ms timer on the window thread
// records the longest gap between its ticks. Meanwhile the stand-in's
// worker goes on announcing modules, so the report also says how many rows
// were listed during the wait.
//
// With --inline the wink is sent on the window thread itself, as the window
// once did, for comparison.
//
//   pelmar_bench_wink_stall [--inline] [WAIT_MS]      (default 900)
#include <dlfcn.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fake_mdsp_control.h"
#include "main_dlg.h"
#include "message_box.h"
#include "module_cells.h"
#include "wink_flow.h"

namespace {

fake::Module SecureModule(uint32_t n) {
  fake::Module m;
  const uint8_t mac[6] = {0x02, 0x00, 0x00, 0x00, 0x20, static_cast<uint8_t>(n)};
  std::memcpy(m.mac, mac, 6);
  m.tags[SMDSP_TAG_IP] = fake::U32(0x0A000000u | n);
  m.tags[SMDSP_TAG_SECURE_MODULE] = fake::U8(1);
  m.tags[SMDSP_TAG_MODULE_TYPE] = fake::Text("SIM-GW secure");
  m.tags[SMDSP_TAG_VERSION_TEXT] = fake::Text("4.0.2");
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int waitMs = 900;
  bool inlineWink = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--inline") == 0)
      inlineWink = true;
    else
      waitMs = std::atoi(argv[i]);
  }
  void* handle = dlopen(FAKE_MDSP, RTLD_NOW | RTLD_LOCAL);
  auto control = handle ? reinterpret_cast<FakeControlFunction>(dlsym(handle, "FakeMdsp_Control"))
                        : nullptr;
  if (!control) {
    std::fprintf(stderr, "cannot load the stand-in library %s\n", FAKE_MDSP);
    return 1;
  }
  fake::Control& c = *control();
  {
    std::lock_guard<std::mutex> lock(c.mutex);
    c.nics = {{0x0A000001, "bench0"}};
    c.answers = {SecureModule(1)};
    c.secureWaitMs = waitMs;
    c.winkResult = MDSP_RESULT_OK;
  }
  pelmar::SetMessageRecorder([](const pelmar::ShownMessage& m) {
    std::fprintf(stderr, "message: %s\n", m.text.toUtf8().constData());
  });
  char folder[] = "/tmp/pelmar-bench-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  pelmar::MainDlgOptions options;
  options.libraryPath = FAKE_MDSP;
  options.settingsPath = std::string(folder) + "/settings.dat";
  pelmar::CMainDlg window("", options);
  if (!window.Initialise()) return 1;
  window.show();
  QElapsedTimer clock;
  clock.start();
  while (window.moduleList()->rowCount() < 1 && clock.elapsed() < 5000)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  if (window.moduleList()->rowCount() < 1) return 1;

  // Modules that answer during the wait, one every 10 ms.
  QTimer announcer;
  uint32_t next = 2;
  QObject::connect(&announcer, &QTimer::timeout, [&] {
    fake::Pending p;
    p.addModule = true;
    p.module = SecureModule(next++);
    c.Inject(p);
  });
  qint64 last = 0, longest = 0, longestAt = 0;
  QElapsedTimer ticks;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = ticks.elapsed();
    if (now - last > longest) {
      longest = now - last;
      longestAt = now;
    }
    last = now;
  });
  const std::array<uint8_t, 6> mac = {0x02, 0x00, 0x00, 0x00, 0x20, 0x01};
  const int rowsBefore = window.moduleList()->rowCount();
  ticks.start();
  ticker.start(1);
  announcer.start(10);
  QTimer::singleShot(20, [&] {
    if (!inlineWink) {
      window.WinkModule(mac);
      return;
    }
    const pelmar::ModuleRecord* record =
        pelmar::FirstRecordWithMac(window.moduleList()->listModel()->records(), mac.data());
    if (record) pelmar::SendWink(window.libraryApi(), *record, "", window.currentScanContext());
  });
  QElapsedTimer total;
  total.start();
  auto winked = [&] {
    std::lock_guard<std::mutex> lock(c.mutex);
    return !c.winks.empty();
  };
  while ((!winked() || total.elapsed() < waitMs + 100) && total.elapsed() < waitMs + 5000)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  ticker.stop();
  announcer.stop();
  if (std::getenv("BENCH_VERBOSE"))
    std::fprintf(stderr, "longest stall ended %lld ms after the start\n",
                 static_cast<long long>(longestAt));
  std::printf("seed wait %d ms, wink %s: longest event-loop stall %lld ms, %d rows listed "
              "during the wink\n",
              waitMs, inlineWink ? "on the window thread" : "off the window thread",
              static_cast<long long>(longest),
              window.moduleList()->rowCount() - rowsBefore);
  std::system(("rm -rf '" + std::string(folder) + "'").c_str());
  return winked() ? 0 : 1;
}
