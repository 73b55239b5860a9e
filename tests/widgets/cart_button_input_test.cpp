// Mouse, keyboard, focus and drop behaviour of the cart button on a real window.
#include "widgets/cart_button.h"
#include "widgets_test_support.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>

using namespace widgets;

namespace {

class CartButtonInput : public ::testing::Test {
protected:
    void SetUp() override {
        button = new CartButton(&host.window);
        button->setGeometry(10, 10, 120, 42);
        ASSERT_TRUE(host.show());
    }
    QWindow* window() { return host.window.windowHandle(); }
    QPoint centre() const { return button->geometry().center(); }

    widgets::test::Host host;
    CartButton* button = nullptr;
};

TEST_F(CartButtonInput, TwoQuickClicksGiveTwoClicks) {
    widgets::test::EventCounter doubleClicks(button, {QEvent::MouseButtonDblClick});
    QSignalSpy clicks(button, &CartButton::clicked);
    QSignalSpy presses(button, &CartButton::mousePressed);

    // Through the window, so Qt itself turns the second press into a double click.
    QTest::mouseDClick(window(), Qt::LeftButton, {}, centre());

    EXPECT_EQ(doubleClicks.count, 1);
    EXPECT_EQ(presses.count(), 2);
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(CartButtonInput, PressSignalComesFirstAndCanSuppressTheClick) {
    std::vector<std::string> order;
    QObject::connect(button, &CartButton::mousePressed, button,
                     [&](Qt::MouseButton, Qt::KeyboardModifiers modifiers, QPoint) {
                         order.push_back(button->isDown() ? "press(down)" : "press");
                         button->setClickEnabled(!(modifiers & Qt::ShiftModifier));
                     });
    QObject::connect(button, &CartButton::clicked, button, [&] { order.push_back("click"); });

    QTest::mouseClick(button, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 20));
    EXPECT_EQ(order, (std::vector<std::string>{"press"}));
    EXPECT_FALSE(button->isDown());
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_EQ(order, (std::vector<std::string>{"press"}));

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(order, (std::vector<std::string>{"press", "press", "click"}));
}

TEST_F(CartButtonInput, AmpersandCaptionRegistersNoShortcut) {
    button->setCaption(QStringLiteral("&Xis"));
    // The same key reaches an ordinary button with "&Y", proving the key path works.
    auto* plain = new QPushButton(QStringLiteral("&Yes"), &host.window);
    plain->setGeometry(150, 10, 80, 30);
    plain->show();
    QSignalSpy buttonClicks(button, &CartButton::clicked);
    QSignalSpy plainClicks(plain, &QPushButton::clicked);
    host.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host.window));

    // A mnemonic clicks after a short animation; Alt+X goes first, so its click (if any)
    // would come before the one of Alt+Y.
    QTest::keyClick(&host.window, Qt::Key_X, Qt::AltModifier);
    QTest::keyClick(&host.window, Qt::Key_Y, Qt::AltModifier);

    EXPECT_TRUE(QTest::qWaitFor([&] { return plainClicks.count() == 1; }));
    EXPECT_EQ(buttonClicks.count(), 0);
    EXPECT_TRUE(button->text().isEmpty());
}

TEST_F(CartButtonInput, EveryMoveIsSignalledAndStopsAtTheButton) {
    widgets::test::EventCounter parentMouse(&host.window,
                                            {QEvent::MouseMove, QEvent::MouseButtonPress});
    host.window.setMouseTracking(true);
    QSignalSpy moves(button, &CartButton::mouseMoved);

    QTest::mouseMove(window(), button->geometry().topLeft() + QPoint(5, 5));
    QTest::mouseMove(window(), button->geometry().topLeft() + QPoint(30, 20));
    ASSERT_TRUE(QTest::qWaitFor([&] { return moves.count() >= 2; }));
    EXPECT_EQ(moves.last().at(2).toPoint(), QPoint(30, 20));

    QTest::mouseClick(window(), Qt::RightButton, {}, centre());
    EXPECT_EQ(parentMouse.count, 0);
}

TEST_F(CartButtonInput, OwnerDecidesOnDrops) {
    button->setAcceptDrops(true);
    bool acceptEnter = false;
    QObject::connect(button, &CartButton::dragEntered, button, [&](QDragEnterEvent* e) {
        if (acceptEnter) {
            e->acceptProposedAction();
        }
    });
    int drops = 0;
    QObject::connect(button, &CartButton::dropped, button, [&] { ++drops; });
    QMimeData data;
    data.setText(QStringLiteral("row"));
    const auto enter = [&] {
        QDragEnterEvent e(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(button, &e);
        return e.isAccepted();
    };
    EXPECT_FALSE(enter());
    acceptEnter = true;
    EXPECT_TRUE(enter());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(button, &drop);
    EXPECT_EQ(drops, 1);
}

TEST_F(CartButtonInput, ActiveFlagFollowsFocus) {
    auto* other = new CartButton(&host.window);
    other->setGeometry(10, 60, 120, 42);
    auto* edit = new QLineEdit(&host.window);
    edit->setGeometry(10, 110, 120, 24);
    other->show();
    edit->show();
    host.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host.window));

    button->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->hasFocus(); }));
    EXPECT_TRUE(button->isActive());
    EXPECT_FALSE(other->isActive());

    other->setDefault(true);
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }));
    EXPECT_FALSE(button->isActive());
    EXPECT_TRUE(other->isActive()); // the default button stands in
}

TEST_F(CartButtonInput, DottedFocusRectOnlyWithShowsFocus) {
    button->setBorders(false);
    button->setButtonColor(Qt::white);
    host.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host.window));
    button->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->hasFocus() && button->isActive(); }));
    EXPECT_EQ(widgets::test::pixel(button->grab().toImage(), 4, 4), "#ffffff");
    button->setShowsFocus(true);
    const QImage dotted = button->grab().toImage();
    EXPECT_EQ(widgets::test::pixel(dotted, 4, 4), "#000000");
    EXPECT_EQ(widgets::test::pixel(dotted, 5, 4), "#ffffff");
}

} // namespace
