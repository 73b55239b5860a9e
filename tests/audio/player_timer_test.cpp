// The player driven by its own threaded timer, on the scripted sound layer.
#include "audio/player_fixture.h"
#include "audio/wait_until.h"

#include <QElapsedTimer>

namespace audio::testing {
namespace {

TEST_F(PlayerTest, OwnTimerStopsThePlayerSoonAfterTheChannelEnds) {
    load(1000);
    player->Play();
    ASSERT_TRUE(player->Timer()->Enabled());
    QElapsedTimer sinceEnd;
    sound.advance(1000); // the channel reaches its end now
    sinceEnd.start();
    ASSERT_TRUE(waitUntil([&] { return stops > 0; }));
    // About one tick of 60 ms; the bound leaves room for a busy machine but not for a timer
    // running at its default 1000 ms.
    EXPECT_LT(sinceEnd.elapsed(), 700);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(player->Timer()->Enabled());
}

TEST_F(PlayerTest, DestroyingAPlayerFromItsOwnOnStop) {
    load(1000);
    player->SetOnStop([this](QObject*) {
        ++stops;
        player.reset();
    });
    player->Play();
    sound.advance(1000);
    ASSERT_TRUE(waitUntil([&] { return player == nullptr; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(sound.liveChannels(), 0u);
}

} // namespace
} // namespace audio::testing
