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

// Once the window's next step has opened the Settings dialog: ticks its
// DHCP server box and presses OK.
inline void TickDhcpServerInSettings() {
  test_support::AnswerModal<QWidget>("the Settings dialog", [](QWidget& modal) {
    modal.findChild<QCheckBox*>("dhcpServer")->click();
    modal.findChild<QPushButton*>("ok")->click();
  });
}

}  // namespace pelmar_test
