// The fader as the main window's master volume (vertical, 0..100, 30 x 106, navy thumb 22 x
// 10) and as the search window's preview position (horizontal, 100 x 25, thumb 8 x 20).
#include "widgets/fader.h"
#include "widgets_test_support.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace widgets;

namespace {

const QColor kNavy(0, 0, 128);

class MasterFader : public ::testing::Test {
protected:
    MasterFader() {
        fader.resize(30, 106);
        fader.setOrientation(Fader::Vertical);
        fader.setMaxValue(100);
        fader.setLineSize(500);
        fader.setThumbWidth(22);
        fader.setThumbHeight(10);
        fader.setThumbColor(kNavy);
        fader.setColor(QColor(192, 192, 192));
        fader.setPosition(50);
        changes.clear();
    }
    // Vertical centre of the thumb, found on the pixels of the middle column.
    int navyRowCentre() {
        const QImage img = fader.grab().toImage();
        int first = -1, last = -1;
        for (int y = 0; y < img.height(); ++y) {
            if (QColor(img.pixel(15, y)) == kNavy) {
                last = y;
                first = first < 0 ? y : first;
            }
        }
        return first < 0 ? -1 : (first + last) / 2;
    }

    Fader fader;
    QSignalSpy changes{&fader, &Fader::change};
    QSignalSpy tracks{&fader, &Fader::track};
    QSignalSpy trackEnds{&fader, &Fader::trackEnd};
};

TEST_F(MasterFader, ThumbRunsFromBottomToTop) {
    fader.setPosition(100);
    EXPECT_EQ(fader.thumbRect(), QRect(4, 0, 22, 10));
    EXPECT_EQ(navyRowCentre(), 4);
    fader.setPosition(0);
    EXPECT_EQ(fader.thumbRect(), QRect(4, 96, 22, 10));
    EXPECT_EQ(navyRowCentre(), 100);
    fader.setPosition(50); // offset 48 up from the bottom
    EXPECT_EQ(fader.thumbRect().top(), 106 - 10 - 48);
}

TEST_F(MasterFader, ProgramChangesNeverTrack) {
    fader.setPosition(70);
    fader.setPosition(70);
    fader.setPosition(300);
    EXPECT_EQ(fader.position(), 100);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(tracks.count(), 0);
}

TEST_F(MasterFader, ArrowKeysGoStraightToTheEnds) {
    QTest::keyClick(&fader, Qt::Key_Up);
    EXPECT_EQ(fader.position(), 100);
    QTest::keyClick(&fader, Qt::Key_Up); // already at the top: no track
    QTest::keyClick(&fader, Qt::Key_Down);
    EXPECT_EQ(fader.position(), 0);
    EXPECT_EQ(tracks.count(), 2);
    EXPECT_EQ(trackEnds.count(), 2);
    QTest::keyClick(&fader, Qt::Key_PageUp);
    EXPECT_EQ(fader.position(), 5);
    QTest::keyClick(&fader, Qt::Key_Home);
    EXPECT_EQ(fader.position(), 100);
}

TEST_F(MasterFader, DragFollowsThePointerUpwards) {
    const QPoint onThumb = fader.thumbRect().center();
    QTest::mousePress(&fader, Qt::LeftButton, {}, onThumb);
    EXPECT_EQ(fader.position(), 50); // a press on the thumb tracks without moving
    EXPECT_EQ(tracks.count(), 1);
    // 96 pixels of travel span the range: 24 pixels up is +25.
    QMouseEvent move(QEvent::MouseMove, onThumb - QPoint(0, 24), onThumb - QPoint(0, 24),
                     Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&fader, &move);
    EXPECT_EQ(fader.position(), 75);
    EXPECT_EQ(tracks.count(), 2);
    EXPECT_EQ(trackEnds.count(), 0);
    QTest::mouseRelease(&fader, Qt::LeftButton, {}, onThumb - QPoint(0, 24));
    EXPECT_EQ(trackEnds.count(), 1);
    EXPECT_EQ(tracks.last().at(0).toInt(), 75);
}

TEST(Fader, ClickOnGrooveJumpsThereAndTracks) {
    Fader bar; // as the search window's preview position
    bar.resize(100, 25);
    bar.setPageSize(10);
    bar.setThumbWidth(8);
    bar.setThumbHeight(20);
    bar.setMaxValue(9200);
    QSignalSpy tracks(&bar, &Fader::track);
    // Thumb centre under the pointer: (x - 4) * 9200 / 92.
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(50, 12));
    EXPECT_EQ(bar.position(), 4600);
    ASSERT_EQ(tracks.count(), 1);
    EXPECT_EQ(tracks.at(0).at(0).toInt(), 4600);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(99, 12));
    EXPECT_EQ(bar.position(), 9200);
}

TEST(Fader, RangeKeepsMaxAboveMinAndClampsPosition) {
    Fader bar;
    bar.setMaxValue(100);
    bar.setPosition(80);
    bar.setMaxValue(0);
    EXPECT_EQ(bar.maxValue(), 1);
    EXPECT_EQ(bar.position(), 1);
    bar.setMinValue(5);
    EXPECT_EQ(bar.maxValue(), 6);
    EXPECT_EQ(bar.position(), 5);
}

} // namespace
