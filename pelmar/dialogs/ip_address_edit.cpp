#include "ip_address_edit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <algorithm>

namespace pelmar {

IpAddressEdit::IpAddressEdit(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 0, 2, 0);
  layout->setSpacing(0);
  auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]{0,3}"), this);
  for (int i = 0; i < kOctets; ++i) {
    if (i > 0) {
      auto* dot = new QLabel(".", this);
      dot->setAlignment(Qt::AlignCenter);
      layout->addWidget(dot);
    }
    auto* box = new QLineEdit(this);
    box->setObjectName(QString("octet%1").arg(i));
    box->setFrame(false);
    box->setAlignment(Qt::AlignCenter);
    box->setMaxLength(3);
    box->setValidator(digits);
    box->installEventFilter(this);
    connect(box, &QLineEdit::textEdited, this, [this, i] { octetEdited(i); });
    layout->addWidget(box, 1);
    boxes_[i] = box;
  }
  setFocusProxy(boxes_[0]);
}

void IpAddressEdit::setAddress(uint32_t address) {
  for (int i = 0; i < kOctets; ++i)
    boxes_[i]->setText(QString::number((address >> (8 * (kOctets - 1 - i))) & 0xFFu));
}

uint32_t IpAddressEdit::address() const {
  uint32_t address = 0;
  for (int i = 0; i < kOctets; ++i) {
    // The boxes never hold more than 255 after editing; cap anyway so that a
    // value never spills into the neighbouring octet.
    uint32_t octet = std::min(boxes_[i]->text().toUInt(), 255u);
    address = (address << 8) | octet;
  }
  return address;
}

bool IpAddressEdit::isBlank() const {
  for (QLineEdit* box : boxes_)
    if (!box->text().isEmpty()) return false;
  return true;
}

void IpAddressEdit::clear() {
  for (QLineEdit* box : boxes_) box->clear();
}

void IpAddressEdit::octetEdited(int i) {
  QLineEdit* box = boxes_[i];
  if (box->text().toUInt() > 255) box->setText("255");
  if (box->text().size() == 3 && box->cursorPosition() == 3 && i + 1 < kOctets)
    moveTo(i + 1, true);
}

void IpAddressEdit::moveTo(int i, bool selectAll) {
  boxes_[i]->setFocus(Qt::OtherFocusReason);
  if (selectAll)
    boxes_[i]->selectAll();
  else
    boxes_[i]->end(false);
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QFrame::eventFilter(watched, event);
  int i = 0;
  while (i < kOctets && boxes_[i] != watched) ++i;
  if (i == kOctets) return QFrame::eventFilter(watched, event);
  QLineEdit* box = boxes_[i];
  auto* key = static_cast<QKeyEvent*>(event);
  const bool atStart = box->cursorPosition() == 0 && !box->hasSelectedText();
  const bool atEnd = box->cursorPosition() == box->text().size() && !box->hasSelectedText();
  switch (key->key()) {
    case Qt::Key_Period:
    case Qt::Key_Space:
      // An empty box stays: a dot there would skip an octet by accident.
      if (!box->text().isEmpty() && i + 1 < kOctets) moveTo(i + 1, true);
      return true;
    case Qt::Key_Backspace:
      if (atStart && i > 0) {
        moveTo(i - 1, false);
        return true;
      }
      break;
    case Qt::Key_Left:
      if (atStart && i > 0) {
        moveTo(i - 1, false);
        return true;
      }
      break;
    case Qt::Key_Right:
      if (atEnd && i + 1 < kOctets) {
        moveTo(i + 1, false);
        boxes_[i + 1]->home(false);
        return true;
      }
      break;
    default:
      break;
  }
  return QFrame::eventFilter(watched, event);
}

}  // namespace pelmar
