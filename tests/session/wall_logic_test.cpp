// Firing carts, the stop event, cart keys, CUE and the block sequencer, driven step by step.
#include "session/block_sequencer.h"
#include "session/cart_firing.h"
#include "session/status_display.h"
#include "support/recording_messages.h"
#include "wall_fakes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class WallLogicTest : public ::testing::Test, protected WallLogicParts {
protected:
    void loadCart(int n, const QString& name, int durationMs = 10000, bool fileExists = true) {
        carts::Cart& slot = wall.table[n];
        slot.name = name;
        slot.path = QStringLiteral("/audio/%1.mp3").arg(n);
        slot.setDurationMs(durationMs);
        slot.setStopMode(carts::StopMode::Cut);
        view.captions[n] = slot.caption();
        if (fileExists) {
            files.present.insert(slot.path);
        }
        bank.carts[n].length = static_cast<std::uint32_t>(durationMs);
    }
    // A plain click: a press without Shift (which arms the click), then the click itself.
    void click(int n) {
        block.queueCart(n, false);
        if (view.clickEnabled.value(n, true)) {
            firing.click(n);
        }
    }
    void press(int n, bool shift) { block.queueCart(n, shift); }
    FakePlayer& player(int n) { return bank.carts[n]; }
    // Carts of ten seconds, queued with Shift in this order.
    void queue(std::initializer_list<int> carts) {
        for (const int n : carts) {
            if (!wall.table[n].isLoaded()) {
                loadCart(n, QStringLiteral("C%1").arg(n));
            }
            press(n, true);
        }
    }
    // The mixer reached the cue armed on cart n's player and reports it.
    void reachCue(int n) {
        player(n).reachCue();
        block.onSegue(n);
    }
};

TEST_F(WallLogicTest, EmptyCartIgnoresClicksEvenWithAPath) {
    wall.table[4].path = QStringLiteral("/audio/4.mp3");
    files.present.insert(QStringLiteral("/audio/4.mp3"));
    click(4);
    EXPECT_TRUE(player(4).log.isEmpty());
    EXPECT_EQ(wall.table[4].toFields().at(4), QString())
        << "an empty cart's loop field is untouched";
}

TEST_F(WallLogicTest, ClickStartsTheCartAtMasterVolumeAndSecondClickStopsIt) {
    loadCart(2, QStringLiteral("VINHETA"));
    view.volume = 70;
    click(2);
    EXPECT_TRUE(player(2).isPlaying());
    EXPECT_EQ(player(2).volume, 70u);
    EXPECT_EQ(view.captions[2], QStringLiteral("NO AR"));
    EXPECT_EQ(view.frameColour[2], 255);
    EXPECT_EQ(view.frameWidths[2], 10);

    click(2); // stop mode "1": a cut, and the stop event gives back the idle look
    EXPECT_FALSE(player(2).isPlaying());
    EXPECT_EQ(view.captions[2], QStringLiteral("VINHETA"));
    EXPECT_EQ(view.frameWidths[2], 1);
    EXPECT_EQ(view.clock, QStringLiteral("00:00:00"));
    EXPECT_EQ(view.meters, std::make_pair(0, 0));
}

// The player has shown its device's problem; the cart must not look as if it were on air.
TEST_F(WallLogicTest, CartWhoseDeviceCannotPlayKeepsItsIdleLook) {
    loadCart(2, QStringLiteral("VINHETA"));
    player(2).playSucceeds = false;
    click(2);
    EXPECT_EQ(player(2).log, (QStringList{"Load /audio/2.mp3", "Play"}));
    EXPECT_EQ(view.captions[2], QStringLiteral("VINHETA"));
    EXPECT_FALSE(view.frameWidths.contains(2));
    player(2).playSucceeds = true;
    click(2);
    EXPECT_EQ(view.captions[2], QStringLiteral("NO AR"));
}

TEST_F(WallLogicTest, StopModeDecidesBetweenFadeAndCut) {
    loadCart(1, QStringLiteral("A"));
    wall.table[1].setStopMode(carts::StopMode::Fade);
    click(1);
    click(1);
    EXPECT_TRUE(player(1).fading);
    EXPECT_EQ(player(1).log.last(), QStringLiteral("FadeOut 800"));

    loadCart(3, QStringLiteral("B"));
    wall.table[3].setStopMode(carts::StopMode::Unset); // never set: counts as a cut
    click(3);
    click(3);
    EXPECT_FALSE(player(3).isPlaying());
    EXPECT_EQ(player(3).log.last(), QStringLiteral("Stop"));
}

TEST_F(WallLogicTest, MissingFileIsReportedAndNothingFades) {
    loadCart(1, QStringLiteral("ON AIR"));
    loadCart(7, QStringLiteral("GONE"), 1000, false);
    view.fadeOn = true;
    click(1);
    click(7);
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Arquivo:/audio/7.mp3 Não encontrado")});
    EXPECT_FALSE(player(1).fading);
    EXPECT_TRUE(player(7).isEmpty());
}

TEST_F(WallLogicTest, AutoFadeFadesEveryCartOnAirAndCartsMixWithoutIt) {
    loadCart(1, QStringLiteral("A"));
    loadCart(2, QStringLiteral("B"));
    loadCart(3, QStringLiteral("C"));
    click(1);
    click(2);
    EXPECT_TRUE(player(1).isPlaying() && player(2).isPlaying());
    EXPECT_FALSE(player(1).fading);

    view.fadeOn = true;
    click(3);
    EXPECT_TRUE(player(1).fading);
    EXPECT_TRUE(player(2).fading);
    EXPECT_TRUE(player(3).isPlaying());
    EXPECT_FALSE(player(3).fading);
}

TEST_F(WallLogicTest, ReplacedFileIsReloadedOnTheNextClick) {
    loadCart(5, QStringLiteral("OLD"));
    click(5);
    click(5);
    wall.table[5].path = QStringLiteral("/audio/new.mp3");
    files.present.insert(QStringLiteral("/audio/new.mp3"));
    click(5);
    EXPECT_EQ(player(5).path, QStringLiteral("/audio/new.mp3"));
    EXPECT_TRUE(player(5).isPlaying());
}

// The player loops by itself at the end of the file; the wall keeps its flag in step with the
// cart's and shows each turn.
TEST_F(WallLogicTest, LoopFlagFollowsTheCartAndEachTurnShowsLoop) {
    loadCart(8, QStringLiteral("BED"));
    click(8);
    EXPECT_FALSE(player(8).loop);
    firing.toggleLoop(8);
    EXPECT_TRUE(player(8).loop);
    EXPECT_EQ(view.captions[8], QStringLiteral("LOOP"));
    view.captions[8] = QStringLiteral("00:00:01"); // the display's countdown
    view.meters = {5, 5};
    firing.onLoopTurned(player(8));
    EXPECT_EQ(view.captions[8], QStringLiteral("LOOP"));
    EXPECT_EQ(view.meters, std::make_pair(0, 0));
    firing.toggleLoop(8);
    EXPECT_FALSE(player(8).loop);
    EXPECT_EQ(view.captions[8], QStringLiteral("NO AR"));
}

// A play that ends some other way (a stall, the device) starts again while the cart loops.
TEST_F(WallLogicTest, LoopingCartThatStopsStartsAgainAndAClickStopsForGood) {
    loadCart(8, QStringLiteral("BED"));
    click(8);
    firing.toggleLoop(8);
    player(8).stop();
    EXPECT_TRUE(player(8).isPlaying());
    EXPECT_TRUE(player(8).loop);
    EXPECT_EQ(view.captions[8], QStringLiteral("LOOP"));
    click(8); // clears the flag, then cuts
    EXPECT_FALSE(player(8).isPlaying());
    EXPECT_FALSE(wall.table[8].loops());
    EXPECT_EQ(view.captions[8], QStringLiteral("BED"));
}

TEST_F(WallLogicTest, CartsFadedByTheWallDoNotLoopBackAtTheFadedVolume) {
    loadCart(1, QStringLiteral("BED"));
    loadCart(2, QStringLiteral("A"));
    click(1);
    firing.toggleLoop(1);
    view.fadeOn = true;
    click(2); // AUTO fadeMs fades the looping bed
    EXPECT_FALSE(wall.table[1].loops());
    EXPECT_FALSE(player(1).loop);
    player(1).stop(); // the end of its fade
    EXPECT_FALSE(player(1).isPlaying());
}

TEST_F(WallLogicTest, OnlyTheStoppedCartReturnsToItsIdleLook) {
    loadCart(1, QStringLiteral("A"));
    loadCart(2, QStringLiteral("B"));
    click(1);
    click(2);
    player(1).stop();
    EXPECT_EQ(view.captions[1], QStringLiteral("A"));
    EXPECT_EQ(view.captions[2], QStringLiteral("NO AR"));
    EXPECT_EQ(view.frameWidths[2], 10);
}

TEST_F(WallLogicTest, CtrlLetterFiresTheFirstIdleCartWithThatMarker) {
    loadCart(3, QStringLiteral("&VINHETA"));
    loadCart(9, QStringLiteral("&VOZ"));
    loadCart(1, QStringLiteral("&vinte"));
    EXPECT_TRUE(firing.fireByKey(QLatin1Char('v')));
    EXPECT_TRUE(player(3).isPlaying());
    EXPECT_FALSE(player(1).isPlaying());
    EXPECT_EQ(firing.fireByKey(QLatin1Char('V')), 9); // cart 3 is on air: skipped
    EXPECT_TRUE(player(9).isPlaying());
    EXPECT_FALSE(firing.fireByKey(QLatin1Char('Q')));
}

TEST_F(WallLogicTest, AltCutsTheCartUnderThePointerEvenWhenItFades) {
    loadCart(4, QStringLiteral("A"));
    wall.table[4].setStopMode(carts::StopMode::Fade);
    click(4);
    click(4);
    ASSERT_TRUE(player(4).fading);
    firing.cut(4);
    EXPECT_FALSE(player(4).isPlaying());
}

TEST_F(WallLogicTest, PreviewOfCartOneIsStoppedByClickingCartOne) {
    loadCart(1, QStringLiteral("A"));
    bank.cuePlayer.load(QStringLiteral("/search/x.mp3"));
    bank.cuePlayer.setCartIndex(1);
    bank.cuePlayer.play();
    click(1);
    EXPECT_FALSE(bank.cuePlayer.isPlaying());
    EXPECT_TRUE(bank.cuePlayer.isEmpty());
    EXPECT_FALSE(player(1).isPlaying());
    click(1);
    EXPECT_TRUE(player(1).isPlaying());
}

TEST_F(WallLogicTest, CueModeSendsIdleCartsToTheCuePlayer) {
    loadCart(5, QStringLiteral("A"));
    loadCart(6, QStringLiteral("B"));
    click(6); // on air before CUE mode
    firing.toggleCueMode();
    EXPECT_TRUE(view.cueLook);
    click(5);
    EXPECT_TRUE(bank.cuePlayer.isPlaying());
    EXPECT_EQ(bank.cuePlayer.cartIndex(), 5);
    EXPECT_FALSE(player(5).isPlaying());
    EXPECT_FALSE(view.captions[5] == QStringLiteral("NO AR"));
    click(6); // a cart on air still stops on the output
    EXPECT_FALSE(player(6).isPlaying());
    firing.toggleCueMode(); // off: the cue keeps playing
    EXPECT_TRUE(bank.cuePlayer.isPlaying());
    click(5); // first click stops the cue
    EXPECT_FALSE(bank.cuePlayer.isPlaying());
    EXPECT_FALSE(player(5).isPlaying());
    click(5); // the next puts the cart on air
    EXPECT_TRUE(player(5).isPlaying());
}

TEST_F(WallLogicTest, StatusLineNamesTheCartAndItsLength) {
    loadCart(7, QStringLiteral("Vinheta"), 12000);
    firing.onPointerOverCart(7);
    EXPECT_EQ(view.status, QStringLiteral("Cartucho 07 - Vinheta - 00:00:12"));
    firing.onPointerOverCart(3);
    EXPECT_EQ(view.status, QStringLiteral("Cartucho 03 - Quallon Cartucheira Digital"));
}

TEST_F(WallLogicTest, BlockPlaysInQueueOrderThenClicksPlayTheClickedCart) {
    for (int n : {3, 12, 40, 50}) {
        loadCart(n, QStringLiteral("C%1").arg(n), 20000);
    }
    press(12, true);
    press(3, true);
    press(40, true);
    EXPECT_EQ(view.lines, (QStringList{"12", "03", "40"}));
    EXPECT_EQ(view.count, 3);
    EXPECT_EQ(view.clock, QStringLiteral("00:01:00"));
    EXPECT_TRUE(view.queued[12]);
    EXPECT_FALSE(view.clickEnabled[12]); // the click ending the Shift press does nothing

    view.mixOn = false;
    click(50);
    EXPECT_TRUE(player(12).isPlaying());
    EXPECT_FALSE(player(50).isPlaying());
    EXPECT_FALSE(view.queued[12]);
    click(50);
    EXPECT_TRUE(player(3).isPlaying());
    click(50);
    EXPECT_TRUE(player(40).isPlaying());
    EXPECT_TRUE(view.lines.isEmpty());
    click(50);
    EXPECT_TRUE(player(50).isPlaying());
}

TEST_F(WallLogicTest, ShiftPressOnAQueuedCartRemovesItAndKeepsTheOrder) {
    for (int n : {3, 12, 40}) {
        loadCart(n, QStringLiteral("C%1").arg(n), 10000);
    }
    press(12, true);
    press(3, true);
    press(40, true);
    press(3, true);
    EXPECT_EQ(view.lines, (QStringList{"12", "40"}));
    EXPECT_EQ(view.count, 2);
    EXPECT_EQ(view.clock, QStringLiteral("00:00:20"));
    EXPECT_FALSE(view.queued[3]);
    EXPECT_FALSE(view.clickEnabled[3]);
    press(3, false); // re-armed
    EXPECT_TRUE(view.clickEnabled[3]);
}

TEST_F(WallLogicTest, ShiftPressOnAnEmptyCartQueuesNothing) {
    press(20, true);
    EXPECT_TRUE(view.lines.isEmpty());
    EXPECT_TRUE(view.clickEnabled.value(20, true));
    EXPECT_EQ(view.clock, QStringLiteral("00:00:00"));
}

TEST_F(WallLogicTest, QueuedCartWithMissingFileStaysFirst) {
    loadCart(10, QStringLiteral("GONE"), 5000, false);
    loadCart(11, QStringLiteral("OK"), 5000);
    press(10, true);
    press(11, true);
    click(11);
    EXPECT_EQ(messages.shown.last(), QStringLiteral("Arquivo:/audio/10.mp3 Não encontrado"));
    EXPECT_EQ(view.lines, (QStringList{"10", "11"}));
    EXPECT_FALSE(player(11).isPlaying());
}

TEST_F(WallLogicTest, AutoMixArmsTheSegueIntoTheHeadWhenTheBlockStartsACart) {
    queue({1, 2, 3});
    settings.mixLeadMs = 1200;
    settings.fadeMs = 600;
    view.volume = 70;
    click(1); // the first click plays cart 1
    ASSERT_TRUE(player(1).isPlaying());
    EXPECT_EQ(block.mixCart(), 1);
    ASSERT_TRUE(player(1).segue.has_value());
    EXPECT_EQ(player(1).segue->next, &player(2));
    EXPECT_EQ(player(1).segue->leadMs, 1200u);
    EXPECT_EQ(player(1).segue->fadeMs, 600u);
    // Opened now, so the mixer can start it on the frame; not started yet.
    EXPECT_TRUE(player(2).loaded);
    EXPECT_FALSE(player(2).isPlaying());
    EXPECT_EQ(player(2).volume, 70u);
    EXPECT_EQ(view.lines, (QStringList{"02", "03"}));
}

TEST_F(WallLogicTest, SegueTakesTheHeadOffTheBlockAndArmsTheNext) {
    queue({1, 2, 3});
    click(1);
    reachCue(1);
    EXPECT_TRUE(player(1).fading);
    EXPECT_TRUE(player(2).isPlaying());
    EXPECT_EQ(block.mixCart(), 2);
    EXPECT_EQ(view.lines, QStringList{"03"});
    EXPECT_EQ(view.count, 1);
    EXPECT_EQ(view.clock, QStringLiteral("00:00:10"));
    EXPECT_FALSE(view.queued[2]);
    ASSERT_TRUE(player(2).segue.has_value());
    EXPECT_EQ(player(2).segue->next, &player(3));

    reachCue(2);
    EXPECT_TRUE(player(3).isPlaying());
    EXPECT_TRUE(view.lines.isEmpty());
    EXPECT_EQ(view.clock, QStringLiteral("00:00:00"));
    EXPECT_FALSE(player(3).segue.has_value()) << "an empty block: the last cart plays to its end";
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(WallLogicTest, EmptyBlockArmsNothing) {
    queue({1});
    click(1);
    EXPECT_TRUE(player(1).isPlaying());
    EXPECT_FALSE(player(1).segue.has_value());
}

TEST_F(WallLogicTest, AutoMixOffCancelsTheSegueAndOnAgainBeforeTheMixPointArmsIt) {
    queue({1, 2});
    click(1);
    view.mixOn = false;
    block.onAutoMixChanged();
    EXPECT_FALSE(player(1).segue.has_value());

    player(1).position = 10000 - settings.mixLeadMs; // exactly MIXAGEM left: not passed
    view.mixOn = true;
    block.onAutoMixChanged();
    ASSERT_TRUE(player(1).segue.has_value());
    EXPECT_EQ(player(1).segue->next, &player(2));
}

// The mix point passed while AUTO MIX was off: the cart plays out, and the block waits for a
// click.
TEST_F(WallLogicTest, AutoMixOnAgainAfterTheMixPointArmsNothing) {
    queue({1, 2});
    click(1);
    view.mixOn = false;
    block.onAutoMixChanged();
    player(1).position = 10000 - settings.mixLeadMs + 1;
    view.mixOn = true;
    block.onAutoMixChanged();
    EXPECT_FALSE(player(1).segue.has_value());
    EXPECT_FALSE(player(2).isPlaying());
}

TEST_F(WallLogicTest, ManualBlockArmsNoSegue) {
    queue({1, 2});
    view.mixOn = false;
    click(1);
    EXPECT_TRUE(player(1).isPlaying());
    EXPECT_FALSE(player(1).segue.has_value());
    EXPECT_FALSE(player(2).loaded);
}

TEST_F(WallLogicTest, NewHeadOfTheBlockIsPlannedAgain) {
    queue({1, 2, 3});
    click(1);
    press(2, true); // cart 2 leaves the block: 3 is next
    ASSERT_TRUE(player(1).segue.has_value());
    EXPECT_EQ(player(1).segue->next, &player(3));

    queue({4}); // joins at the end: the head stays
    EXPECT_EQ(player(1).segue->next, &player(3));
    press(3, true);
    EXPECT_EQ(player(1).segue->next, &player(4));
}

TEST_F(WallLogicTest, BlockEmptiedThenFilledAgainArmsTheNewHead) {
    queue({1, 2});
    click(1);
    press(2, true);
    EXPECT_FALSE(player(1).segue.has_value());
    queue({5});
    ASSERT_TRUE(player(1).segue.has_value());
    EXPECT_EQ(player(1).segue->next, &player(5));
}

TEST_F(WallLogicTest, NewMixAndFadeTimesArmTheSegueAgain) {
    queue({1, 2});
    click(1);
    settings.mixLeadMs = 2000;
    settings.fadeMs = 1500;
    block.onMixSettingsChanged();
    ASSERT_TRUE(player(1).segue.has_value());
    EXPECT_EQ(player(1).segue->leadMs, 2000u);
    EXPECT_EQ(player(1).segue->fadeMs, 1500u);
    EXPECT_EQ(player(1).segue->next, &player(2));
}

// A file that cannot be opened cannot be started on the frame: the segue only fades, and the
// block then takes the head as a click would, with its message.
TEST_F(WallLogicTest, HeadWithAMissingFileGetsAFadeOnlySegueAndItsMessage) {
    loadCart(1, QStringLiteral("A"));
    loadCart(2, QStringLiteral("GONE"), 10000, false);
    press(1, true);
    press(2, true);
    click(1);
    ASSERT_TRUE(player(1).segue.has_value());
    EXPECT_EQ(player(1).segue->next, nullptr);
    reachCue(1);
    EXPECT_TRUE(player(1).fading);
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Arquivo:/audio/2.mp3 Não encontrado")});
    EXPECT_EQ(view.lines, QStringList{"02"});
}

TEST_F(WallLogicTest, OutgoingCartStopsLoopingAtTheSegue) {
    queue({1, 2});
    click(1);
    firing.toggleLoop(1);
    ASSERT_TRUE(player(1).loop);
    reachCue(1);
    EXPECT_FALSE(wall.table[1].loops());
    EXPECT_FALSE(player(1).loop);
    EXPECT_TRUE(player(2).isPlaying());
}

// The outgoing cart was stopped by hand: the mixer cancelled the segue, and nothing more is
// armed on the silent player.
TEST_F(WallLogicTest, StoppedOutgoingCartIsNotArmedAgain) {
    queue({1, 2, 3});
    click(1);
    player(1).stop();
    press(2, true);
    EXPECT_FALSE(player(1).segue.has_value());
}

TEST_F(WallLogicTest, QueuedCartOnAirRestartsFromTheBeginning) {
    loadCart(1, QStringLiteral("A"));
    loadCart(2, QStringLiteral("B"));
    click(1);
    player(1).position = 4000;
    press(1, true);
    click(2);
    EXPECT_TRUE(player(1).isPlaying());
    EXPECT_EQ(player(1).position, 0u);
    EXPECT_FALSE(player(2).isPlaying());
}

TEST_F(WallLogicTest, DisplayTickCountsDownAndBlinksEveryPlayingCart) {
    loadCart(4, QStringLiteral("TRES MINUTOS"), 180000);
    click(4);
    player(4).position = 500;
    display.onDisplayTick();
    EXPECT_EQ(view.captions[4], QStringLiteral("00:02:59"));
    EXPECT_EQ(view.clock, QStringLiteral("00:02:59"));
    // The frame changes at the 5th and 10th tick: off, then on again.
    std::vector<int> widths;
    for (int tick = 2; tick <= 11; ++tick) {
        display.onDisplayTick();
        widths.push_back(view.frameWidths[4]);
    }
    EXPECT_EQ(widths, (std::vector<int>{10, 10, 10, 1, 1, 1, 1, 1, 10, 10}));
    EXPECT_EQ(display.tickCount(), 0);
}

TEST_F(WallLogicTest, ClockAddsTheBlockAndFollowsTheHighestPlayingCart) {
    loadCart(5, QStringLiteral("A"), 60000);
    loadCart(30, QStringLiteral("B"), 15000);
    loadCart(40, QStringLiteral("Q1"), 20000);
    loadCart(41, QStringLiteral("Q2"), 30000);
    click(5);
    click(30);
    press(40, true);
    press(41, true);
    player(30).position = 5000; // 10 s left
    player(30).levelA = 22800;
    player(30).levelB = 4400;
    player(5).levelA = 200;
    display.onDisplayTick();
    EXPECT_EQ(view.clock, QStringLiteral("00:01:00"));
    EXPECT_EQ(view.meters, std::make_pair(114, 22));
}

TEST_F(WallLogicTest, MetersKeepTheLevelsOfTheCartBelowWhenTheLastHasNoData) {
    loadCart(5, QStringLiteral("A"), 60000);
    loadCart(30, QStringLiteral("B"), 15000);
    click(5);
    click(30);
    player(5).levelA = 4400;
    player(5).levelB = 200;
    player(30).hasLevels = false;
    display.onDisplayTick();
    EXPECT_EQ(view.meters, std::make_pair(22, 1));
    EXPECT_EQ(view.clock, QStringLiteral("00:00:15"));
}

TEST_F(WallLogicTest, MasterFaderSetsLoadedCartPlayersButNotTheCue) {
    loadCart(1, QStringLiteral("A"));
    click(1);
    bank.cuePlayer.load(QStringLiteral("/x.mp3"));
    bank.cuePlayer.volume = 100;
    display.onMasterFaderMoved(50);
    EXPECT_EQ(player(1).volume, 50u);
    EXPECT_EQ(bank.cuePlayer.volume, 100u);
}

} // namespace
