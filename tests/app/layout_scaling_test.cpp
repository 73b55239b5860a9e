#include "app/layout_scaling.h"

#include <gtest/gtest.h>

using namespace app;

TEST(LayoutScaling, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(mulDiv(49, 1, 2), 25);
    EXPECT_EQ(mulDiv(-49, 1, 2), -25);
    EXPECT_EQ(mulDiv(4, 100, 98), 4);
    EXPECT_EQ(mulDiv(72, 100, 98), 73);
    EXPECT_EQ(mulDiv(5, 7, 0), 0);
}

TEST(LayoutScaling, ScaleByKeepsNeighboursAdjacent) {
    // Two carts side by side with a one-pixel gap keep the gap after scaling by 100/98.
    const QRect first = scaleBy(QRect(4, 28, 120, 42), 100, 98);
    const QRect second = scaleBy(QRect(125, 28, 120, 42), 100, 98);
    EXPECT_EQ(first, QRect(4, 29, 123, 42));
    EXPECT_EQ(second.left() - (first.left() + first.width()), 1);
}

TEST(LayoutScaling, RoundHalfEven) {
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(2.51), 3);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
}

TEST(LayoutScaling, FitToWindowScalesEachAxis) {
    const QRect fitted = fitToWindow(QRect(100, 100, 200, 50), 1000, 500, 2000, 1000);
    EXPECT_EQ(fitted, QRect(200, 200, 400, 100));
}

TEST(LayoutScaling, ZeroLeftOrWidthGivesZeroNotACrash) {
    const QRect fitted = fitToWindow(QRect(0, 0, 0, 10), 1035, 768, 1280, 1024);
    EXPECT_EQ(fitted.x(), 0);
    EXPECT_EQ(fitted.y(), 0);
    EXPECT_EQ(fitted.width(), 0);
    EXPECT_EQ(fitted.height(), 13);
}

TEST(LayoutScaling, SecondFitAtTheSameSizeChangesNothing) {
    for (int left = 0; left < 1035; left += 7) {
        const QRect once = fitToWindow(QRect(left, left % 700, 37, 19), 1035, 768, 1280, 1024);
        const QRect twice = fitToWindow(once, 1280, 1024, 1280, 1024);
        EXPECT_EQ(once, twice) << left;
    }
}
