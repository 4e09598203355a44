// Steps of the window tests: waiting in the window thread with events
// handled meanwhile, and answering the dialog the next step opens.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include "dialog_answer.h"
#include "main_dlg.h"
#include "module_cells.h"

namespace pelmar_test {

// Processes events until pred holds or timeoutMs passes.
template <typename Pred>
bool Until(Pred pred, int timeoutMs = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!pred()) {
    if (timer.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

// The MAC of a text as the list shows it.
inline pelmar::Mac MacOf(const char* text) {
  pelmar::Mac mac{};
  EXPECT_TRUE(pelmar::ParseMacText(text, mac.data())) << text;
  return mac;
}

// Waits until the wink or configuration the window sent off its thread has
// come back (and its message, if any, was shown).
inline bool SendingEnds(const pelmar::CMainDlg& w, int timeoutMs = 10000) {
  return Until([&] { return !w.sending(); }, timeoutMs);
}

// Once the window's next step has opened the Settings dialog: ticks its
// DHCP server box and presses OK.
inline void TickDhcpServerInSettings() {
  test_support::AnswerModal<QWidget>("the Settings dialog", [](QWidget& modal) {
    modal.findChild<QCheckBox*>("dhcpServer")->click();
    modal.findChild<QPushButton*>("ok")->click();
  });
}

}  // namespace pelmar_test
