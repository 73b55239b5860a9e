// The players of the wall take their files' markers from the store: on load, when the markers
// change, and with a changed file length told once, after the cart has started.
#include "audio/hand_devices.h"
#include "audio/player_context.h"
#include "carts/marker_store.h"
#include "engine/test_media.h"
#include "session/cart_player_bank.h"
#include "support/recording_messages.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

class PlayerMarksTest : public ::testing::Test {
protected:
    static constexpr std::int64_t kRate = audio::testing::HandEngine::kRate;

    PlayerMarksTest() {
        enginetest::writeWav(dir.path("one-second.wav"), {kRate, 2}, enginetest::sine(440, kRate));
        store.load(QString::fromStdString(dir.path("").string()));
        bank.cartPlayer(1).initDevice(1);
        bank.cuePlayer().initDevice(1);
    }
    void setMarkers(std::int64_t cueIn, std::int64_t cueOut, std::int64_t setOnLength) {
        carts::Markers markers;
        markers.cueIn = cueIn;
        markers.cueOut = cueOut;
        ASSERT_TRUE(store.set(path, markers, setOnLength).isEmpty());
    }

    enginetest::TempDir dir;
    const QString path = QString::fromStdString(dir.path("one-second.wav").string());
    audio::testing::HandEngine clock;
    RecordingMessages messages;
    audio::PlayerContext context{*clock.engine, messages};
    carts::MarkerStore store;
    session::CartPlayerBank bank{context, store};
};

TEST_F(PlayerMarksTest, ChangedLengthIsToldOnceAfterTheCartStarts) {
    setMarkers(kRate / 10, 2 * kRate, 2 * kRate); // set when the file lasted two seconds
    session::PlayerControl& cart = bank.cart(1);
    cart.load(path);
    cart.play();
    EXPECT_TRUE(cart.isPlaying());
    EXPECT_TRUE(messages.shown.isEmpty()) << "the cart starts before anything is said";
    EXPECT_EQ(cart.lengthMs(), 900u) << "from cue-in; the cue-out past the new end is dropped";

    QCoreApplication::processEvents();
    EXPECT_EQ(messages.shown.size(), 1);
    cart.stop();
    cart.unload();
    cart.load(path);
    QCoreApplication::processEvents();
    EXPECT_EQ(messages.shown.size(), 1) << "told once";
}

TEST_F(PlayerMarksTest, NewMarkersReachTheCartsHoldingTheFileButNotThePreview) {
    bank.cart(1).load(path);
    bank.cuePlayer().load(path); // a preview of the whole file, as the marker editor plays it
    setMarkers(kRate / 2, kRate, kRate);
    bank.markersChanged(path);
    EXPECT_EQ(bank.cart(1).lengthMs(), 500u);
    EXPECT_EQ(bank.cuePlayer().lengthMs(), 1000u);
    EXPECT_TRUE(messages.shown.isEmpty());
}

} // namespace
