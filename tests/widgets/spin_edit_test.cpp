// The spin edit on a real window: steps by arrows, keys and wheel, typed values brought into
// the range when the field is left, bad text put back.
#include "widgets/spin_edit.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class SpinEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(300, 80);
        spin->setGeometry(10, 10, 120, 24);
        spin->setRange(1000, 9000);
        spin->setStep(500);
        spin->setValue(3000);
        other->setGeometry(150, 10, 100, 24);
        window.show();
        window.activateWindow(); // no window manager gives it the focus
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        spin->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return spin->hasFocus(); }));
    }
    // Types over the whole text, then leaves the field for the other one.
    void typeAndLeave(const QString& text) {
        spin->setFocus();
        spin->findChild<QLineEdit*>()->selectAll();
        QTest::keyClicks(spin, text);
        other->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return other->hasFocus(); }));
    }
    QPoint arrow(QStyle::SubControl which) const {
        QStyleOptionSpinBox option;
        option.initFrom(spin);
        option.rect = spin->rect();
        option.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
        option.frame = true;
        return spin->style()->subControlRect(QStyle::CC_SpinBox, &option, which, spin).center();
    }

    QWidget window;
    widgets::SpinEdit* spin = new widgets::SpinEdit(&window);
    QLineEdit* other = new QLineEdit(&window);
};

TEST_F(SpinEditTest, ValuesFromCodeAreBroughtToTheNearestBound) {
    QSignalSpy changes(spin, &widgets::SpinEdit::valueChanged);
    spin->setValue(500);
    EXPECT_EQ(spin->value(), 1000);
    EXPECT_EQ(spin->text(), QStringLiteral("1000"));
    spin->setValue(12000);
    EXPECT_EQ(spin->value(), 9000);
    spin->setValue(9000);
    EXPECT_EQ(changes.count(), 2) << "no signal when the value stays";
    spin->setRange(100, 2500);
    EXPECT_EQ(spin->value(), 2500) << "a narrower range takes the value with it";
}

TEST_F(SpinEditTest, ArrowsKeysAndWheelMoveByTheStepAndStopAtTheBounds) {
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(spin->value(), 3500);
    QTest::keyClick(spin, Qt::Key_Down);
    QTest::keyClick(spin, Qt::Key_Down);
    EXPECT_EQ(spin->value(), 2500);
    QTest::keyClick(spin, Qt::Key_PageUp); // ten steps, stopped by the maximum
    EXPECT_EQ(spin->value(), 7500);
    QTest::keyClick(spin, Qt::Key_PageUp);
    EXPECT_EQ(spin->value(), 9000);
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(spin->value(), 9000);

    QTest::mouseClick(spin, Qt::LeftButton, {}, arrow(QStyle::SC_SpinBoxDown));
    EXPECT_EQ(spin->value(), 8500);
    QTest::mouseClick(spin, Qt::LeftButton, {}, arrow(QStyle::SC_SpinBoxUp));
    EXPECT_EQ(spin->value(), 9000);

    QWheelEvent wheel(QPointF(20, 12), spin->mapToGlobal(QPointF(20, 12)), {}, QPoint(0, -120),
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(spin, &wheel);
    EXPECT_EQ(spin->value(), 8500);
    EXPECT_EQ(spin->text(), QStringLiteral("8500"));
}

TEST_F(SpinEditTest, TypedValueIsOnlyReadWhenTheFieldIsLeft) {
    spin->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(spin, "500");
    EXPECT_EQ(spin->text(), QStringLiteral("500")) << "a value out of range may be typed";
    EXPECT_EQ(spin->value(), 3000);
    other->setFocus();
    QTRY_COMPARE(spin->value(), 1000);
    EXPECT_EQ(spin->text(), QStringLiteral("1000"));

    typeAndLeave(QStringLiteral("99999"));
    EXPECT_EQ(spin->value(), 9000);
    typeAndLeave(QStringLiteral("4200"));
    EXPECT_EQ(spin->value(), 4200) << "values between the steps are kept";

    spin->setFocus();
    spin->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(spin, "6000");
    QTest::keyClick(spin, Qt::Key_Return);
    EXPECT_EQ(spin->value(), 6000);
}

TEST_F(SpinEditTest, TextThatIsNotAWholeNumberIsPutBack) {
    for (const QString& bad :
         {QStringLiteral("abc"), QStringLiteral("12.5"), QStringLiteral("3 000"),
          QStringLiteral(""), QStringLiteral("99999999999")}) {
        typeAndLeave(bad);
        EXPECT_EQ(spin->value(), 3000) << bad.toStdString();
        EXPECT_EQ(spin->text(), QStringLiteral("3000")) << bad.toStdString();
    }
    typeAndLeave(QStringLiteral(" 2000 "));
    EXPECT_EQ(spin->value(), 2000) << "blanks around a number are no reason to refuse it";
}

TEST_F(SpinEditTest, AStepStartsFromTheTypedValue) {
    spin->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(spin, "7000");
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(spin->value(), 7500);
    spin->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(spin, "x");
    QTest::keyClick(spin, Qt::Key_Down);
    EXPECT_EQ(spin->value(), 7000) << "bad text: the step starts from the last valid value";
}

} // namespace
