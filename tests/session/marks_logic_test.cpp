// What a file's markers change on the wall: the intro's count-down on the button, the block's
// watch for the segue marker, and the block's total from what the carts will play.
#include "session/block_sequencer.h"
#include "session/cart_firing.h"
#include "session/status_display.h"
#include "support/recording_messages.h"
#include "wall_fakes.h"

#include <gtest/gtest.h>

namespace {

class MarksLogicTest : public ::testing::Test, protected WallLogicParts {
protected:
    MarksLogicTest() {
        settings.mixLeadMs = 900;
        for (const int n : {1, 2, 3}) {
            carts::Cart& slot = wall.table[n];
            slot.name = QStringLiteral("C%1").arg(n);
            slot.path = QStringLiteral("/audio/%1.wav").arg(n);
            slot.setDurationMs(60000); // the file's whole length, as the profile stores it
            files.present.insert(slot.path);
            bank.carts[n].length = 60000;
        }
    }
    FakePlayer& player(int n) { return bank.carts[n]; }
    void queue(int n) { block.queueCart(n, true); }
};

TEST_F(MarksLogicTest, ButtonCountsDownTheIntroThenTheCartAndForgetsItWhenStopped) {
    firing.click(1);
    ASSERT_TRUE(player(1).isPlaying());
    player(1).position = 1000;
    player(1).introLeft = 3200;
    display.onDisplayTick();
    EXPECT_EQ(view.captions[1], QStringLiteral("00:00:03"));
    EXPECT_TRUE(view.intro[1]);

    player(1).position = 4300;
    player(1).introLeft.reset();
    display.onDisplayTick();
    EXPECT_EQ(view.captions[1], QStringLiteral("00:00:55"));
    EXPECT_FALSE(view.intro[1]);

    player(1).introLeft = 2000;
    display.onDisplayTick();
    player(1).stop(); // stopped while the intro runs
    EXPECT_FALSE(view.intro[1]);
    EXPECT_EQ(view.captions[1], wall.table[1].caption());
}

TEST_F(MarksLogicTest, AutoMixSwitchedOnPastTheSegueMarkerArmsNothing) {
    view.mixOn = false;
    player(1).segueLead = 4000;
    queue(1);
    queue(2);
    block.playNext();
    player(1).position = 57000; // past the marker, before MIXAGEM
    view.mixOn = true;
    block.onAutoMixChanged();
    EXPECT_FALSE(player(1).segue.has_value());
}

TEST_F(MarksLogicTest, BlockTotalCountsWhatTheLoadedCartsWillPlay) {
    player(2).load(wall.table[2].path);
    player(2).length = 45000; // trimmed by its markers
    player(3).load(QStringLiteral("/audio/other.wav"));
    player(3).length = 1000; // holds another file: the profile's length counts
    queue(2);
    queue(3);
    EXPECT_EQ(block.totalMs(), 105000);
    EXPECT_EQ(view.clock, QStringLiteral("00:01:45"));
}

} // namespace
