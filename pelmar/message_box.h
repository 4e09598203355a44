// Every message the tool shows goes through ShowMessage: a modal box with an
// OK button. Tests install a recorder and get (caption, text, icon) instead
// of a box, so nothing blocks in a modal loop.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace pelmar {

enum class MessageIcon {
  None,         // input validation
  Information,  // notices
  Warning,      // refused requests (the exclamation icon)
  Error,        // start-up failures (the stop icon)
};

struct ShownMessage {
  QString caption;
  QString text;
  MessageIcon icon = MessageIcon::None;
};

void ShowMessage(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon);

// While a recorder is set, messages go to it instead of the screen. An empty
// function restores the boxes.
using MessageRecorder = std::function<void(const ShownMessage&)>;
void SetMessageRecorder(MessageRecorder recorder);

}  // namespace pelmar
