// Loudness on the real wall window over a hand-clocked device, with real files measured in the
// background: the level carts and the cue start at, the hint's loudness line, and the entry
// point that queues a whole wall.
#include "app/main_window.h"
#include "app/window_access.h"
#include "app/window_fixture.h"
#include "audio/cart_player.h"
#include "audio/hand_devices.h"
#include "carts/cart_editing.h"
#include "carts/editing_fakes.h"
#include "carts/loudness_service.h"
#include "carts/profile_folder.h"
#include "carts/profile_format.h"
#include "config/ext_settings.h"
#include "engine/test_media.h"
#include "session/cart_firing.h"
#include "support/qstring_print.h"
#include "support/recording_messages.h"
#include "support/wall_session_access.h"
#include "widgets/cart_button.h"

#include <QApplication>
#include <QHelpEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kRate = 44100;

class LoudnessWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(config::writeExtSettings(dir.path(), {true, -23}));
        w = std::make_unique<app::MainWindow>(
            windowEnvironment(dir.path(), messages, *sound.engine, dialogs));
        w->showOnScreen();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }
    void TearDown() override { w.reset(); }

    // A stereo 1 kHz tone whose loudness is `lufs` (the sine's level in dBFS).
    QString tone(const QString& name, double lufs, int seconds = 3) {
        const QString path = dir.filePath(name);
        enginetest::writeWav(
            path.toStdString(),
            {kRate, 2, enginetest::SampleFormat::F32, static_cast<uint64_t>(kRate) * seconds},
            enginetest::sine(1000, kRate, std::pow(10.0, lufs / 20.0)));
        return path;
    }
    void insert(int n, const QString& path) {
        dialogs.files = {path};
        w->session().editing().insertAudio(n);
    }
    bool measured(const QString& path) {
        return QTest::qWaitFor([&] { return w->session().loudness().known(path).has_value(); },
                               10000);
    }
    // The gain `player` plays its tone at: the peak of 100 ms of the output over the tone's own.
    double gainOf(audio::CartPlayer& player, double lufs) {
        audio::testing::HandSink& sink = sound.devices->sink(1);
        sound.renderFed({player.channel()}, kRate / 20); // past the start's ramp
        sink.captured.clear();
        sink.capture = true;
        sound.renderFed({player.channel()}, kRate / 10);
        sink.capture = false;
        float peak = 0.0f;
        for (const float sample : sink.captured) {
            peak = std::max(peak, std::fabs(sample));
        }
        return peak / std::pow(10.0, lufs / 20.0);
    }
    void fire(int n) { w->session().click(n); }
    QString hintOf(int n) {
        widgets::CartButton* b = cartButton(*w, n);
        QHelpEvent help(QEvent::ToolTip, b->rect().center(), b->mapToGlobal(b->rect().center()));
        QApplication::sendEvent(b, &help);
        return QToolTip::text();
    }

    QTemporaryDir dir;
    RecordingMessages messages;
    audio::testing::HandEngine sound;
    carts::testing::FakeDialogs dialogs;
    std::unique_ptr<app::MainWindow> w;
};

} // namespace

TEST_F(LoudnessWindowTest, CartStartsAtTheTargetAndItsHintSaysSo) {
    const QString loud = tone("loud.wav", -13.0);
    insert(1, loud);
    ASSERT_TRUE(measured(loud));
    fire(1);
    audio::CartPlayer& player = session::WallSessionAccess::cartPlayer(w->session(), 1);
    ASSERT_TRUE(player.isPlaying());
    EXPECT_NEAR(gainOf(player, -13.0), std::pow(10.0, -10.0 / 20.0), 0.01);
    const QString hint = cartButton(*w, 1)->toolTip(); // the wall's own hint, untouched
    EXPECT_TRUE(hint.startsWith(QStringLiteral("Clique com o botão direito")));
    EXPECT_EQ(hintOf(1), hint + QStringLiteral("\nLoudness: -13.0 LUFS, ganho -10.0 dB"));
    fire(1); // stop

    w->session().applyExtSettings({false, -23});
    fire(1);
    EXPECT_NEAR(gainOf(player, -13.0), 1.0, 0.01) << "switched off: as before";
    QToolTip::hideText();
    EXPECT_EQ(hintOf(1), hint);
}

// Half a minute of audio takes the worker far longer to measure than the hint takes to show.
TEST_F(LoudnessWindowTest, HintShownWhileMeasuringTakesTheLoudnessWhenItIsKnown) {
    const QString song = tone("song.wav", -20.0, 30);
    insert(1, song);
    ASSERT_TRUE(hintOf(1).endsWith(QStringLiteral("\nLoudness: medindo...")));
    ASSERT_TRUE(measured(song));
    EXPECT_TRUE(QTest::qWaitFor([] {
        return QToolTip::text().endsWith(QStringLiteral("\nLoudness: -20.0 LUFS, ganho -3.0 dB"));
    }));
    QToolTip::hideText();
}

// The cue pre-listens at the level the file will have on air; a file nobody measured yet (a
// search preview) starts at unity and takes its gain once measured.
TEST_F(LoudnessWindowTest, CueHearsTheOnAirLevelAlsoForAFileMeasuredWhilePlaying) {
    const QString quiet = tone("quiet.wav", -33.0);
    insert(2, quiet);
    ASSERT_TRUE(measured(quiet));
    w->session().toggleCueMode();
    fire(2);
    audio::CartPlayer& cue = w->session().cuePlayer();
    ASSERT_TRUE(cue.isPlaying());
    EXPECT_NEAR(gainOf(cue, -33.0), std::pow(10.0, 10.0 / 20.0), 0.02);
    cue.stop();

    const QString preview = tone("preview.wav", -17.0);
    cue.unload();
    cue.load(preview);
    cue.play();
    EXPECT_NEAR(gainOf(cue, -17.0), 1.0, 0.01);
    ASSERT_TRUE(measured(preview));
    QCoreApplication::processEvents();
    EXPECT_NEAR(gainOf(cue, -17.0), std::pow(10.0, -6.0 / 20.0), 0.01);
}

TEST_F(LoudnessWindowTest, ProfileLoadQueuesEveryLoadedCartForMeasuring) {
    const QString a = tone("a.wav", -20.0);
    const QString b = tone("b.wav", -26.0);
    carts::CartTable table;
    table[10].name = QStringLiteral("A");
    table[10].path = a;
    table[96].name = QStringLiteral("B");
    table[96].path = b;
    ASSERT_TRUE(
        carts::ProfileFolder(dir.path()).write(QStringLiteral("SHOW"), carts::profileLines(table)));
    w->session().listProfiles();
    ASSERT_EQ(w->session().activateProfile(QStringLiteral("SHOW")), QString());
    ASSERT_TRUE(measured(a));
    ASSERT_TRUE(measured(b));
    EXPECT_NEAR(w->session().loudness().known(b)->integratedLufs, -26.0, 0.1);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QFile::exists(dir.filePath(QStringLiteral("bandoraloud.cache"))); }));
}
