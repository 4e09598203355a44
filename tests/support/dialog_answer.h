// Answering the dialog or menu a step of a test opens, with a deadline.
//
// The answer waits for the widget instead of looking once: a dialog that
// opens a little later is still answered. One that does not open in time, or
// stays open after its answer, fails the test with a message that names it
// and is closed, so the step that opened it returns: the test ends with that
// message well inside CTest's time-out instead of hanging until it.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

namespace test_support {

// Well inside the shortest time-out of a window test (120 s).
inline constexpr int kDialogDeadlineMs = 20000;

class NextWidgetAnswer : public QObject {
 public:
  NextWidgetAnswer(std::string what, std::function<QWidget*()> find,
                   std::function<void(QWidget&)> act, int deadlineMs)
      : QObject(qApp),
        what_(std::move(what)),
        find_(std::move(find)),
        act_(std::move(act)),
        deadlineMs_(deadlineMs),
        test_(::testing::UnitTest::GetInstance()->current_test_info()),
        openBefore_(find_()) {
    clock_.start();
    connect(&timer_, &QTimer::timeout, this, &NextWidgetAnswer::Tick);
    timer_.start(10);
  }

 private:
  enum class Phase { kWaiting, kAnswered, kLate };

  void Tick() {
    // Never touches the widgets of a later test.
    if (::testing::UnitTest::GetInstance()->current_test_info() != test_) return Finish();
    switch (phase_) {
      case Phase::kWaiting:
        if (QWidget* widget = Next()) {
          widget_ = widget;
          phase_ = Phase::kAnswered;
          clock_.restart();
          // Posted, so that this timer keeps running while the answer runs
          // (a timer does not fire again inside its own handler).
          QPointer<QWidget> target = widget;
          auto act = act_;
          QTimer::singleShot(0, widget, [target, act] {
            if (target) act(*target);
          });
        } else if (clock_.elapsed() > deadlineMs_) {
          ADD_FAILURE() << what_ << " did not appear within " << deadlineMs_ / 1000 << " s";
          phase_ = Phase::kLate;
          clock_.restart();
        }
        return;
      case Phase::kAnswered:
        if (!widget_ || !widget_->isVisible()) return Finish();
        if (clock_.elapsed() > deadlineMs_) {
          ADD_FAILURE() << what_ << " was still open " << deadlineMs_ / 1000
                        << " s after it was answered";
          Dismiss(widget_);
          Finish();
        }
        return;
      case Phase::kLate:
        // One that opens after the deadline must not hang the test either.
        if (QWidget* widget = Next()) Dismiss(widget);
        if (clock_.elapsed() > deadlineMs_) Finish();
        return;
    }
  }

  // The one the next step opens, not one open already when it was asked for.
  QWidget* Next() {
    QWidget* widget = find_();
    return widget && widget != openBefore_ ? widget : nullptr;
  }

  static void Dismiss(QWidget* widget) {
    if (auto* dialog = qobject_cast<QDialog*>(widget))
      dialog->reject();
    else
      widget->close();
  }

  void Finish() {
    timer_.stop();
    deleteLater();
  }

  std::string what_;
  std::function<QWidget*()> find_;
  std::function<void(QWidget&)> act_;
  int deadlineMs_;
  const ::testing::TestInfo* test_;
  QTimer timer_;
  QElapsedTimer clock_;
  Phase phase_ = Phase::kWaiting;
  QPointer<QWidget> widget_;
  QPointer<QWidget> openBefore_;
};

// Once a modal widget of type T is open, runs act with it. `what` names it
// in the failure ("the password prompt").
template <typename T = QWidget>
void AnswerModal(const std::string& what, std::function<void(T&)> act,
                 int deadlineMs = kDialogDeadlineMs) {
  new NextWidgetAnswer(
      what, [] { return qobject_cast<T*>(QApplication::activeModalWidget()); },
      [act](QWidget& widget) { act(static_cast<T&>(widget)); }, deadlineMs);
}

// The same for the popup (a menu) open next.
template <typename T = QWidget>
void AnswerPopup(const std::string& what, std::function<void(T&)> act,
                 int deadlineMs = kDialogDeadlineMs) {
  new NextWidgetAnswer(
      what, [] { return qobject_cast<T*>(QApplication::activePopupWidget()); },
      [act](QWidget& widget) { act(static_cast<T&>(widget)); }, deadlineMs);
}

}  // namespace test_support
