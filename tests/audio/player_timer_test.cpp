// The player driven by its own threaded timer, on the scripted sound layer.
#include "audio/player_fixture.h"
#include "audio/wait_until.h"

#include <QElapsedTimer>

namespace audio::testing {
namespace {

TEST_F(PlayerTest, OwnTimerStopsThePlayerSoonAfterTheChannelEnds) {
    load(1000);
    player->play();
    ASSERT_TRUE(player->timer()->enabled());
    QElapsedTimer sinceEnd;
    sound.advance(1000); // the channel reaches its end now
    sinceEnd.start();
    ASSERT_TRUE(waitUntil([&] { return stops > 0; }));
    // About one tick of 60 ms; the bound leaves room for a busy machine but not for a timer
    // running at its default 1000 ms.
    EXPECT_LT(sinceEnd.elapsed(), 700);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(player->timer()->enabled());
}

TEST_F(PlayerTest, DestroyingAPlayerFromItsOwnOnStop) {
    load(1000);
    player->setOnStop([this](QObject*) {
        ++stops;
        player.reset();
    });
    player->play();
    sound.advance(1000);
    ASSERT_TRUE(waitUntil([&] { return player == nullptr; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(sound.liveChannels(), 0u);
}

} // namespace
} // namespace audio::testing
