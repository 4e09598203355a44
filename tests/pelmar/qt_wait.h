// Waiting in the window thread of a test: events keep being handled.
#pragma once

#include <QApplication>
#include <QElapsedTimer>

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

}  // namespace pelmar_test
