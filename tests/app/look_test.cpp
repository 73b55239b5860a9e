// What the whole program looks like beyond single controls: the hint look and the scaling of
// every font of a window, checked on rendered pixels.
#include "app/hint_look.h"
#include "app/widget_scaling.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

// Rows of `image` that hold a dark pixel: the height of the text's ink.
int inkHeight(const QImage& image) {
    int first = -1;
    int last = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 96) {
                first = first < 0 ? y : first;
                last = y;
                break;
            }
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

QLabel* blackOnWhite(QLabel* label) {
    label->setAutoFillBackground(true);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(pal);
    return label;
}

} // namespace

TEST(Look, ScalingATreeScalesInheritedAndOwnFontsOnce) {
    QWidget root;
    QFont rootFont(QStringLiteral("DejaVu Sans"));
    rootFont.setPixelSize(12);
    root.setFont(rootFont);
    QLabel* inherits = blackOnWhite(new QLabel(QStringLiteral("HHHH"), &root));
    QLabel* ownFont = blackOnWhite(new QLabel(QStringLiteral("HHHH"), &root));
    QFont small = rootFont;
    small.setPixelSize(10);
    ownFont->setFont(small);
    inherits->setGeometry(0, 0, 200, 60);
    ownFont->setGeometry(0, 60, 200, 60);
    const int inheritedBefore = inkHeight(inherits->grab().toImage());
    const int ownBefore = inkHeight(ownFont->grab().toImage());
    ASSERT_GT(inheritedBefore, 0);
    ASSERT_GT(ownBefore, 0);

    app::scaleWidgetTree(root, 200, 100);

    EXPECT_EQ(inherits->geometry(), QRect(0, 0, 400, 120));
    EXPECT_EQ(inherits->font().pixelSize(), 24);
    EXPECT_EQ(ownFont->font().pixelSize(), 20);
    // Twice the size on screen, for the inherited font as for the one set on the control.
    // (hinting rounds glyph heights, so allow a little either way).
    EXPECT_GE(inkHeight(inherits->grab().toImage()), 1.6 * inheritedBefore);
    EXPECT_GE(inkHeight(ownFont->grab().toImage()), 1.6 * ownBefore);
    EXPECT_LE(inkHeight(ownFont->grab().toImage()), 2.4 * ownBefore);
}

TEST(Look, HintsAreBoldOnAGradientTowardsOrangeAndWrapAt800Pixels) {
    app::applyHintLook(*qApp);
    QWidget owner;
    owner.resize(300, 100);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    QToolTip::showText(owner.mapToGlobal(QPoint(10, 10)), QStringLiteral("Volume Geral"), &owner);
    QWidget* tip = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->inherits("QTipLabel") && w->isVisible()) {
                tip = w;
            }
        }
        return tip != nullptr;
    }));
    EXPECT_TRUE(tip->font().bold());
    EXPECT_EQ(tip->font().pixelSize(), 13);
    const QImage image = tip->grab().toImage();
    const QColor top = image.pixelColor(image.width() - 3, 2);
    const QColor bottom = image.pixelColor(image.width() - 3, image.height() - 3);
    EXPECT_GT(top.blue(), 200); // near white at the top
    EXPECT_GT(bottom.red(), 220); // orange (255, 128, 64) at the bottom
    EXPECT_LT(bottom.blue(), 130);
    QToolTip::hideText();

    QToolTip::showText(owner.mapToGlobal(QPoint(10, 10)),
                       QStringLiteral("<p>") + QString(60, u'W').append(u' ').repeated(8) +
                           QStringLiteral("</p>"),
                       &owner);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tip->isVisible(); }));
    EXPECT_LE(tip->width(), 800);
    QToolTip::hideText();
}
