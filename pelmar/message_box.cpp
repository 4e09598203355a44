#include "message_box.h"

#include <QMessageBox>

namespace pelmar {
namespace {

MessageRecorder& Recorder() {
  static MessageRecorder recorder;
  return recorder;
}

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void ShowMessage(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon) {
  if (Recorder()) {
    Recorder()(ShownMessage{caption, text, icon});
    return;
  }
  QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::Ok, parent);
  box.exec();
}

void SetMessageRecorder(MessageRecorder recorder) { Recorder() = std::move(recorder); }

}  // namespace pelmar
