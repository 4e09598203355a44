// An IPv4 address field: four octet boxes of 0 to 255 between dots. Typing a
// third digit or '.' moves on to the next box, Backspace or Left at the start
// of a box goes back. A blank box reads as 0, so a cleared field reads 0.0.0.0.
#pragma once

#include <QFrame>
#include <cstdint>

class QLineEdit;

namespace pelmar {

class IpAddressEdit : public QFrame {
  Q_OBJECT

 public:
  static constexpr int kOctets = 4;

  explicit IpAddressEdit(QWidget* parent = nullptr);

  // First octet in the most significant byte.
  void setAddress(uint32_t address);
  uint32_t address() const;

  // All four boxes empty.
  bool isBlank() const;
  void clear();

  QLineEdit* octetBox(int i) const { return boxes_[i]; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void octetEdited(int i);
  void moveTo(int i, bool selectAll);

  QLineEdit* boxes_[kOctets] = {};
};

}  // namespace pelmar
