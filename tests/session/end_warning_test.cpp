// The end warning of the display tick: in a cart's last seconds its frame, and the clock while
// it follows that cart, blink faster; a looping cart and a warning of 0 never warn.
#include "session/block_sequencer.h"
#include "session/status_display.h"
#include "support/recording_messages.h"
#include "wall_fakes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class WarningView : public FakeView {
public:
    void setClockWarning(bool lit) override { clockLit = lit; }
    bool clockLit = false;
};

class EndWarningTest : public ::testing::Test {
protected:
    EndWarningTest() {
        display.setEndWarning({10000, [this](int n) { return looping.contains(n); }});
    }

    // Cart n plays, `leftMs` before its end.
    void playing(int n, std::uint32_t leftMs) {
        FakePlayer& p = bank.carts[n];
        p.loaded = true;
        p.playing = true;
        p.length = 60000;
        p.position = p.length - leftMs;
    }
    // Cart n's frame width after each of `ticks` ticks, and whether the clock was lit.
    std::vector<int> frames(int n, int ticks) {
        std::vector<int> widths;
        for (int i = 0; i < ticks; ++i) {
            display.onDisplayTick();
            widths.push_back(view.frameWidth(n));
            lit.push_back(view.clockLit);
        }
        return widths;
    }

    carts::Wall wall;
    FakeBank bank;
    WarningView view;
    FakeFiles files;
    RecordingMessages messages;
    config::DeviceSettings settings;
    session::BlockSequencer block{wall, bank, view, messages, files, settings};
    session::StatusDisplay display{bank, view, block};
    QSet<int> looping;
    std::vector<bool> lit;
};

TEST_F(EndWarningTest, LastSecondsBlinkEverySecondTickAndTheClockWithThem) {
    playing(3, 10000);
    EXPECT_EQ(frames(3, 6), (std::vector<int>{1, 10, 10, 1, 1, 10}));
    EXPECT_EQ(lit, (std::vector<bool>{false, true, true, false, false, true}));
}

TEST_F(EndWarningTest, BeforeTheLastSecondsTheFrameKeepsItsSlowBlinkAndTheClockIsDark) {
    playing(3, 10100);
    EXPECT_EQ(frames(3, 6), (std::vector<int>{1, 1, 1, 1, 10, 10}));
    EXPECT_EQ(lit, std::vector<bool>(6, false));
}

// The clock follows the highest-numbered cart on air: its warning, not that of a cart below.
TEST_F(EndWarningTest, ClockWarnsOnlyForTheCartItFollows) {
    playing(3, 2000);
    playing(9, 30000);
    EXPECT_EQ(frames(3, 4), (std::vector<int>{1, 10, 10, 1}));
    EXPECT_EQ(lit, std::vector<bool>(4, false));
    EXPECT_EQ(view.frameWidth(9), 1);
}

TEST_F(EndWarningTest, LoopingCartAndWarningOfZeroNeverWarn) {
    looping.insert(3);
    playing(3, 1000);
    EXPECT_EQ(frames(3, 4), (std::vector<int>{1, 1, 1, 1}));
    looping.clear();
    display.setEndWarning({0, {}});
    EXPECT_EQ(frames(3, 1), (std::vector<int>{10})) << "the 5th tick: the slow blink";
    EXPECT_EQ(lit, std::vector<bool>(5, false));
}

TEST_F(EndWarningTest, ClockGoesDarkWhenTheCartStopsInALitPhase) {
    playing(3, 3000);
    frames(3, 2);
    ASSERT_TRUE(view.clockLit);
    bank.carts[3].playing = false;
    display.onDisplayTick();
    EXPECT_FALSE(view.clockLit);
}

} // namespace
