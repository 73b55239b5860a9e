// Paint rules of the cart button, checked on the pixels of grab() (never on glyphs).
#include "widgets/bgr_color.h"
#include "widgets/cart_button.h"
#include "widgets_test_support.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

#include <functional>

using namespace widgets;
using widgets::test::hex;
using widgets::test::pixel;

namespace {

constexpr int kW = 120;
constexpr int kH = 42;
const QColor kFace = colorFromBgr(9818331);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const QColor kHighlight(255, 255, 255);
const QColor kLight(224, 224, 224);
const QColor kShadow(128, 128, 128);

class CartButtonPaint : public ::testing::Test {
protected:
    CartButtonPaint() {
        button.resize(kW, kH);
        QPalette pal = button.palette();
        pal.setColor(QPalette::Light, kHighlight);
        pal.setColor(QPalette::Midlight, kLight);
        pal.setColor(QPalette::Dark, kShadow);
        button.setPalette(pal);
        button.setButtonColor(kFace);
        button.setFrameColor(kRed);
        button.setBorders(false);
    }
    QImage image() { return button.grab().toImage(); }
    // Colours of the first `n` pixels inward from the middle of the left, right, top and
    // bottom edges, as "#rrggbb" per side.
    std::vector<std::string> inward(const QImage& img, int n) {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i) {
            out.push_back(pixel(img, i, kH / 2) + pixel(img, kW - 1 - i, kH / 2) +
                          pixel(img, kW / 2, i) + pixel(img, kW / 2, kH - 1 - i));
        }
        return out;
    }
    static std::string all(const QColor& c) { return hex(c) + hex(c) + hex(c) + hex(c); }

    CartButton button;
};

TEST_F(CartButtonPaint, OuterFrameShowsHalfThePenWidth) {
    for (int width : {0, 1, 3, 4, 10}) {
        SCOPED_TRACE(width);
        button.setFrameWidth(width);
        const auto edge = inward(image(), 7);
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(edge[i], all(i < width / 2 ? kRed : kFace)) << "pixel " << i;
        }
    }
}

TEST_F(CartButtonPaint, FrameWidthsZeroAndOneLookTheSame) {
    button.setFrameWidth(0);
    const QImage zero = image();
    button.setFrameWidth(1);
    EXPECT_EQ(zero, image());
}

TEST_F(CartButtonPaint, BadgeOnlyForNonBlankTextRedWhenMarked) {
    button.setFrameWidth(1);
    const QFontMetrics fm(button.font());
    const int badgeWidth = fm.horizontalAdvance(QStringLiteral(" 01 "));
    // Pixels inside the badge's leading and trailing blanks: never covered by a glyph.
    const auto corners = [&](const QImage& img) {
        return pixel(img, kW - 1, 0) + pixel(img, kW - badgeWidth, fm.height() - 1);
    };
    for (const QString& blank : {QString(), QStringLiteral("   "), QStringLiteral(" \t")}) {
        button.setBadge(blank);
        EXPECT_EQ(corners(image()), hex(kFace) + hex(kFace));
    }
    button.setBadge(QStringLiteral("01"));
    EXPECT_EQ(corners(image()), hex(kBlack) + hex(kBlack));
    EXPECT_EQ(pixel(image(), kW - badgeWidth - 1, 0), hex(kFace));
    button.setMarked(true);
    EXPECT_EQ(corners(image()), hex(kRed) + hex(kRed));
}

TEST_F(CartButtonPaint, RaisedFrameWithBordersWhileUp) {
    button.setBorders(true);
    button.setFrameWidth(1);
    const auto edge = inward(image(), 3);
    EXPECT_EQ(edge[0], hex(kHighlight) + hex(kBlack) + hex(kHighlight) + hex(kBlack));
    EXPECT_EQ(edge[1], hex(kLight) + hex(kShadow) + hex(kLight) + hex(kShadow));
    EXPECT_EQ(edge[2], all(kFace));
}

TEST_F(CartButtonPaint, PressedShowsBlackInnerFrameAndSunkenFrameOnlyWithFrame3D) {
    button.setFrameWidth(4);
    button.setBorders(true); // plays no part while pressed
    button.setDown(true);
    auto edge = inward(image(), 4);
    EXPECT_EQ(edge[0], all(kRed));
    EXPECT_EQ(edge[1], all(kBlack));
    EXPECT_EQ(edge[2], all(kBlack));
    EXPECT_EQ(edge[3], all(kFace));

    button.setFrame3D(true);
    edge = inward(image(), 6);
    EXPECT_EQ(edge[2], all(kBlack));
    EXPECT_EQ(edge[3], hex(kShadow) + hex(kHighlight) + hex(kShadow) + hex(kHighlight));
    EXPECT_EQ(edge[4], hex(kBlack) + hex(kLight) + hex(kBlack) + hex(kLight));
    EXPECT_EQ(edge[5], all(kFace));
}

TEST_F(CartButtonPaint, HeldDownActiveCartHasTwoPixelBlackFrame) {
    button.setFrameWidth(1);
    button.setActive(true);
    auto edge = inward(image(), 2);
    EXPECT_EQ(edge[0], all(kBlack));
    EXPECT_EQ(edge[1], all(kFace));
    button.setDown(true);
    edge = inward(image(), 3);
    EXPECT_EQ(edge[1], all(kBlack));
    EXPECT_EQ(edge[2], all(kFace));
}

TEST_F(CartButtonPaint, PressedBadgeMovesTwoPixelsRight) {
    button.setFrameWidth(4);
    button.setBadge(QStringLiteral("01"));
    const int left = kW - QFontMetrics(button.font()).horizontalAdvance(QStringLiteral(" 01 "));
    EXPECT_EQ(pixel(image(), left - 1, 0), hex(kRed));
    EXPECT_EQ(pixel(image(), left, 0), hex(kBlack));
    button.setDown(true);
    const QImage pressed = image();
    EXPECT_EQ(pixel(pressed, left + 1, 0), hex(kRed));
    EXPECT_EQ(pixel(pressed, left + 2, 0), hex(kBlack));
}

TEST_F(CartButtonPaint, DisabledBadgeIsSilver) {
    button.setFrameWidth(1);
    button.setBadge(QStringLiteral("07"));
    button.setEnabled(false);
    EXPECT_EQ(pixel(image(), kW - 1, 0), hex(QColor(192, 192, 192)));
}

TEST(CartButtonRepaint, OnlyTheRepaintingSettersRepaint) {
    widgets::test::Host host;
    auto* button = new CartButton(&host.window);
    button->setGeometry(10, 10, kW, kH);
    button->setBadge(QStringLiteral("01"));
    widgets::test::EventCounter counter(button, {QEvent::Paint});
    ASSERT_TRUE(host.show());
    ASSERT_TRUE(host.flushRepaints());

    const auto paintsAfter = [&](const std::function<void()>& change) {
        counter.count = 0;
        change();
        EXPECT_TRUE(host.flushRepaints());
        return counter.count;
    };
    EXPECT_EQ(paintsAfter([&] { button->setButtonColor(button->buttonColor()); }), 0);
    EXPECT_EQ(paintsAfter([&] { button->setFrameColor(button->frameColor()); }), 0);
    EXPECT_EQ(paintsAfter([&] { button->setFrameWidth(button->frameWidth()); }), 0);
    EXPECT_EQ(paintsAfter([&] {
                  button->setMarked(true);
                  button->setBorders(false);
                  button->setFrame3D(true);
                  button->setShowsFocus(true);
                  button->setActive(true);
              }),
              0);
    EXPECT_GE(paintsAfter([&] { button->setBadge(button->badge()); }), 1);
    EXPECT_GE(paintsAfter([&] { button->setButtonColor(Qt::green); }), 1);
    EXPECT_GE(paintsAfter([&] { button->setFrameColor(Qt::red); }), 1);
    EXPECT_GE(paintsAfter([&] { button->setFrameWidth(10); }), 1);
}

TEST(BgrColor, RedSitsInTheLowByte) {
    EXPECT_EQ(colorFromBgr(255), QColor(255, 0, 0));
    EXPECT_EQ(colorFromBgr(9818331), QColor(219, 208, 149));
    EXPECT_EQ(colorFromBgr(0x7F000080), QColor(128, 0, 0)); // bits above 24 ignored
    EXPECT_EQ(bgrFromColor(QColor(0, 45, 89)), 5844224);
}

} // namespace
