// LED meter geometry and colour zones, checked on grabbed pixels. Set up as the main
// window's meters: 137 x 13, zones change at 45 and 75 percent, 1-pixel segments and gaps.
#include "widgets/led_meter.h"
#include "widgets_test_support.h"

#include <gtest/gtest.h>

using namespace widgets;
using widgets::test::hex;

namespace {

const QColor kBar1(254, 248, 233);
const QColor kBar2(253, 242, 208);
const QColor kSilver(192, 192, 192);
const QColor kRed(255, 0, 0);
const QColor kMaroon(128, 0, 0);
const QColor kBlack(0, 0, 0);

void setUpAsMainWindowMeter(LedMeter& meter) {
    meter.resize(137, 13);
    meter.setPoint1(45);
    meter.setPoint2(75);
    meter.setBarColor(1, kBar1);
    meter.setBarColor(2, kBar2);
    meter.setInactiveColor(1, kSilver);
    meter.setInactiveColor(2, kSilver);
}

// Colour of segment i (from 1) of a horizontal normal meter: N = 69, margin 0, so segment i
// starts at x = 2 (i - 1) and the gap after it is black.
std::string segment(LedMeter& meter, int i) {
    return widgets::test::pixel(meter.grab().toImage(), 2 * (i - 1), 6);
}

class LedMeterTest : public ::testing::Test {
protected:
    LedMeterTest() { setUpAsMainWindowMeter(meter); }
    widgets::LedMeter meter;
};

TEST_F(LedMeterTest, MainWindowMeterHas69SegmentsInThreeZones) {
    EXPECT_EQ(meter.segmentCount(), 69);
    meter.setProgress(100);
    const QImage img = meter.grab().toImage();
    const auto at = [&](int x) { return widgets::test::pixel(img, x, 6); };
    EXPECT_EQ(at(0), hex(kBar1));
    EXPECT_EQ(at(1), hex(kBlack));
    EXPECT_EQ(at(2 * 30), hex(kBar1));                       // segment 31, last of zone 1
    EXPECT_EQ(at(2 * 31), hex(kBar2));                       // segment 32
    EXPECT_EQ(at(2 * 50), hex(kBar2));                       // segment 51, last of zone 2
    EXPECT_EQ(at(2 * 51), hex(kRed));                        // segment 52
    EXPECT_EQ(at(136), hex(kRed));                           // segment 69 ends the bar
    EXPECT_EQ(widgets::test::pixel(img, 136, 0), hex(kRed)); // full thickness
}

TEST_F(LedMeterTest, LitCountIsProgressTimesSegmentsDiv100) {
    meter.setProgress(50); // 34 lit
    EXPECT_EQ(segment(meter, 34), hex(kBar2));
    EXPECT_EQ(segment(meter, 35), hex(kSilver));
    EXPECT_EQ(segment(meter, 69), hex(kMaroon));
    meter.setProgress(1); // 69 div 100 = 0
    EXPECT_EQ(segment(meter, 1), hex(kSilver));
    meter.setProgress(2);
    EXPECT_EQ(segment(meter, 1), hex(kBar1));
    EXPECT_EQ(segment(meter, 2), hex(kSilver));
}

TEST_F(LedMeterTest, LevelsOutOfRangeAreClamped) {
    meter.setProgress(150);
    EXPECT_EQ(meter.progress(), 100);
    EXPECT_EQ(segment(meter, 69), hex(kRed));
    meter.setProgress(-5);
    EXPECT_EQ(meter.progress(), 0);
    EXPECT_EQ(segment(meter, 1), hex(kSilver));
}

TEST_F(LedMeterTest, ReversedAndVerticalStartAtTheOtherEnd) {
    meter.setProgress(2);
    meter.setDirection(widgets::LedMeter::Reversed);
    QImage img = meter.grab().toImage();
    EXPECT_EQ(widgets::test::pixel(img, 136, 6), hex(kBar1));
    EXPECT_EQ(widgets::test::pixel(img, 0, 6), hex(kMaroon));

    meter.setDirection(widgets::LedMeter::Normal);
    meter.setKind(LedMeter::Vertical);
    meter.resize(13, 137);
    img = meter.grab().toImage();
    EXPECT_EQ(widgets::test::pixel(img, 6, 136), hex(kBar1)); // bottom
    EXPECT_EQ(widgets::test::pixel(img, 6, 135), hex(kBlack));
    EXPECT_EQ(widgets::test::pixel(img, 6, 0), hex(kMaroon));
}

TEST_F(LedMeterTest, SegmentsSitCentredWithWiderSpots) {
    meter.resize(100, 10);
    meter.setSpotWidth(3);
    meter.setSpotSpace(2); // N = 102 div 5 = 20, margin (2 + 100 - 100) div 2 = 1
    meter.setProgress(100);
    const QImage img = meter.grab().toImage();
    EXPECT_EQ(meter.segmentCount(), 20);
    EXPECT_EQ(widgets::test::pixel(img, 0, 5), hex(kBlack));
    EXPECT_EQ(widgets::test::pixel(img, 1, 5), hex(kBar1));
    EXPECT_EQ(widgets::test::pixel(img, 3, 5), hex(kBar1));
    EXPECT_EQ(widgets::test::pixel(img, 4, 5), hex(kBlack));
    EXPECT_EQ(widgets::test::pixel(img, 98, 5), hex(kRed));
    EXPECT_EQ(widgets::test::pixel(img, 99, 5), hex(kBlack));
}

TEST(LedMeterRepaint, SameLevelTwiceDoesNotRedraw) {
    widgets::test::Host host;
    auto* meter = new LedMeter(&host.window);
    setUpAsMainWindowMeter(*meter);
    widgets::test::EventCounter counter(meter, {QEvent::Paint});
    ASSERT_TRUE(host.show());
    meter->setProgress(40);
    ASSERT_TRUE(host.flushRepaints());
    counter.count = 0;
    meter->setProgress(40);
    ASSERT_TRUE(host.flushRepaints());
    EXPECT_EQ(counter.count, 0);
    meter->setProgress(41);
    ASSERT_TRUE(host.flushRepaints());
    EXPECT_GE(counter.count, 1);
}

} // namespace
