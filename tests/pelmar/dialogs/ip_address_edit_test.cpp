// The IP address field on its own: typing, '.', auto-advance, the blank
// state, values above 255, enable and disable.
#include "ip_address_edit.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace pelmar_test {
namespace {

using pelmar::IpAddressEdit;

class IpField : public ::testing::Test {
 protected:
  void SetUp() override {
    field.show();
    field.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&field));
    field.octetBox(0)->setFocus();
  }
  // Each key goes where the focus is now, as typing does.
  void Type(const QString& keys) {
    for (QChar c : keys) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
  }
  void Key(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
  int FocusedOctet() const {
    for (int i = 0; i < IpAddressEdit::kOctets; ++i)
      if (field.octetBox(i)->hasFocus()) return i;
    return -1;
  }
  QString Boxes() const {
    QStringList parts;
    for (int i = 0; i < IpAddressEdit::kOctets; ++i) parts << field.octetBox(i)->text();
    return parts.join('|');
  }
  IpAddressEdit field;
};

TEST_F(IpField, BlankReadsZeroAndSetShowsTheOctets) {
  EXPECT_TRUE(field.isBlank());
  EXPECT_EQ(field.address(), 0u);
  field.setAddress(0xC0A8000Au);
  EXPECT_EQ(Boxes(), "192|168|0|10");
  EXPECT_EQ(field.address(), 0xC0A8000Au);
  EXPECT_FALSE(field.isBlank());
  field.clear();
  EXPECT_TRUE(field.isBlank());
  EXPECT_EQ(field.address(), 0u);
}

TEST_F(IpField, DotsAndThirdDigitsMoveOn) {
  Type("192.168.0.10");
  EXPECT_EQ(Boxes(), "192|168|0|10");
  EXPECT_EQ(field.address(), 0xC0A8000Au);
  field.clear();
  field.octetBox(0)->setFocus();
  Type("10020030");  // three digits move on by themselves
  EXPECT_EQ(Boxes(), "100|200|30|");
  EXPECT_EQ(FocusedOctet(), 2);
  Type(".4");
  EXPECT_EQ(field.address(), 0x64C81E04u);
  Type(".");  // the last box has nowhere to go
  EXPECT_EQ(FocusedOctet(), 3);
}

TEST_F(IpField, ADotInAnEmptyBoxStaysAndOtherCharactersAreRefused) {
  Type(".a-1");
  EXPECT_EQ(Boxes(), "1|||");
  EXPECT_EQ(FocusedOctet(), 0);
}

TEST_F(IpField, BlankOctetsReadZero) {
  Type("10..");  // the second dot stays in the empty second box
  field.octetBox(3)->setFocus();
  Type("7");
  EXPECT_EQ(Boxes(), "10|||7");
  EXPECT_EQ(field.address(), 0x0A000007u);
}

TEST_F(IpField, ValuesAbove255BecomeTheHighestOctet) {
  Type("300");
  EXPECT_EQ(field.octetBox(0)->text(), "255");
  EXPECT_EQ(FocusedOctet(), 1);
  Type("999.256.");
  EXPECT_EQ(field.address(), 0xFFFFFF00u);
}

TEST_F(IpField, BackspaceAndArrowsCrossBoxes) {
  Type("1.2");
  Key(Qt::Key_Backspace);  // deletes the 2
  Key(Qt::Key_Backspace);  // at the start: back to the first box, at its end
  EXPECT_EQ(FocusedOctet(), 0);
  EXPECT_EQ(field.octetBox(0)->cursorPosition(), 1);
  Key(Qt::Key_Right);
  EXPECT_EQ(FocusedOctet(), 1);
  Key(Qt::Key_Left);
  EXPECT_EQ(FocusedOctet(), 0);
}

TEST_F(IpField, DisabledKeepsItsValueAndTakesNoInput) {
  field.setAddress(0x0A000001u);
  field.setEnabled(false);
  for (int i = 0; i < IpAddressEdit::kOctets; ++i) EXPECT_FALSE(field.octetBox(i)->isEnabled());
  QTest::keyClicks(field.octetBox(3), "9");
  EXPECT_EQ(field.address(), 0x0A000001u);
  field.setEnabled(true);
  EXPECT_TRUE(field.octetBox(3)->isEnabled());
  EXPECT_EQ(field.address(), 0x0A000001u);
}

}  // namespace
}  // namespace pelmar_test
