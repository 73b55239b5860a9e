// The wall session without a window, on a hand-clocked device: the states it reports for each
// cart, what started and ended each play, and the commands that take a cart number.
#include "session/wall_session.h"

#include "audio/hand_devices.h"
#include "carts/editing_fakes.h"
#include "carts/profile_format.h"
#include "config/device_settings.h"
#include "engine/test_media.h"
#include "session/block_sequencer.h"
#include "session/profile_commands.h"
#include "support/qstring_print.h"
#include "support/recording_messages.h"
#include "support/wall_session_access.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace {

using audio::testing::HandEngine;
using session::PlayEnd;
using session::PlayInfo;
using session::PlayTrigger;

class NoNamePrompt : public session::ProfileNamePrompt {
public:
    std::optional<QString> askProfileName() override { return std::nullopt; }
};

// The session's loudness worker and timers want an application object.
QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "wall_session_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

class WallSessionTest : public ::testing::Test {
protected:
    static constexpr int kOneSecond = 1000;

    WallSessionTest() {
        using S = session::WallSession;
        QObject::connect(&wall, &S::cartStateChanged, [this](int n, session::CartState state) {
            states.append(QStringLiteral("%1 %2").arg(n).arg(session::stateName(state)));
        });
        QObject::connect(&wall, &S::playStarted, [this](const PlayInfo& play) {
            plays.append(
                QStringLiteral("start %1 %2").arg(play.cart).arg(triggerName(play.trigger)));
            started.push_back(play);
        });
        QObject::connect(&wall, &S::loopTurned, [this](const PlayInfo& play) {
            plays.append(QStringLiteral("loop %1").arg(play.cart));
        });
        QObject::connect(&wall, &S::playEnded, [this](const PlayInfo& play, PlayEnd end) {
            plays.append(QStringLiteral("end %1 %2").arg(play.cart).arg(endName(end)));
            endedIds.push_back(play.playId);
        });
    }

    // A profile of tones: cart 1 "&VINHETA" stops with a fade, cart 2 cuts, cart 3 is short.
    void writeProfiles() {
        carts::CartTable table;
        table[1] =
            cart(QStringLiteral("&VINHETA"), tone("a.wav", kOneSecond), carts::StopMode::Fade);
        table[2] = cart(QStringLiteral("SPOT"), tone("b.wav", kOneSecond), carts::StopMode::Cut);
        table[3] = cart(QStringLiteral("BG"), tone("c.wav", 400), carts::StopMode::Cut);
        table[4] =
            cart(QStringLiteral("LONG"), tone("d.wav", 30 * kOneSecond), carts::StopMode::Cut);
        ASSERT_TRUE(folder.write(QStringLiteral("A"), carts::profileLines(table)));
        ASSERT_TRUE(folder.write(QStringLiteral("B"), carts::profileLines(carts::CartTable{})));
    }
    // The wall as profile "A" gives it, with nothing reported yet.
    void startOnProfileA() {
        writeProfiles();
        wall.start();
        ASSERT_EQ(wall.activateProfile(QStringLiteral("A")), QString());
        states.clear();
    }
    QString tone(const char* name, int ms) {
        const QString path = QDir(dir.path()).filePath(QString::fromLatin1(name));
        enginetest::writeWav(path.toStdString(),
                             {HandEngine::kRate, 2, enginetest::SampleFormat::S16,
                              std::uint64_t(ms) * HandEngine::kRate / 1000},
                             enginetest::sine(440, HandEngine::kRate, 0.5));
        return path;
    }
    static carts::Cart cart(const QString& name, const QString& path, carts::StopMode stop) {
        carts::Cart c;
        c.name = name;
        c.path = path;
        c.setStopMode(stop);
        return c;
    }
    // `ms` of audio on the device, each step once the carts on air have it decoded; what the
    // mixer reports reaches the players after each step.
    void render(int ms, bool fed = true) {
        std::size_t frames = std::size_t(ms) * HandEngine::kRate / 1000;
        while (frames > 0) {
            const std::size_t step = std::min(frames, HandEngine::kStep);
            for (int n = 1; fed && n <= session::kCartCount; ++n) {
                const audio::CartPlayer& player = session::WallSessionAccess::cartPlayer(wall, n);
                if (player.channel() != nullptr && player.isPlaying()) {
                    player.channel()->waitBuffered(step * HandEngine::kMaxSpeed + 2,
                                                   std::chrono::seconds(5));
                }
            }
            sound.devices->sink(1).render(step);
            sound.engine->dispatchEvents();
            frames -= step;
        }
    }
    QStringList takePlays() { return std::exchange(plays, {}); }
    QStringList takeStates() { return std::exchange(states, {}); }

    // A 100 ms play buffer: a channel rendered without waiting for its decoder soon runs dry.
    static bool configure(const QString& programDir) {
        config::DeviceSettings settings;
        settings.bufferMs = 100;
        return config::writeDeviceSettings(programDir, settings);
    }

    QCoreApplication& app = application(); // before anything of Qt's is made
    QTemporaryDir dir;
    bool configured = configure(dir.path());
    carts::ProfileFolder folder{dir.path()};
    HandEngine sound;
    RecordingMessages messages;
    carts::testing::FakeDialogs dialogs;
    NoNamePrompt prompt;
    session::WallSession wall{{dir.path(), *sound.engine, messages, dialogs, prompt}};
    QStringList states;
    QStringList plays;
    std::vector<PlayInfo> started;
    std::vector<std::int64_t> endedIds;
};

TEST_F(WallSessionTest, CartStatesFollowEachCartFromLoadToEnd) {
    writeProfiles();
    wall.start();
    ASSERT_EQ(wall.activateProfile(QStringLiteral("A")), QString());
    EXPECT_EQ(takeStates(), (QStringList{"1 loaded", "2 loaded", "3 loaded", "4 loaded"}));

    wall.fire(1, PlayTrigger::Click);
    wall.fire(1, PlayTrigger::Click); // stops with a fade
    EXPECT_EQ(takeStates(), (QStringList{"1 playing", "1 fading"}));
    render(900);
    EXPECT_EQ(takeStates(), QStringList{"1 loaded"});

    wall.toggleQueued(2);
    wall.cue(2);
    wall.cue(2);
    wall.toggleQueued(2);
    EXPECT_EQ(takeStates(), (QStringList{"2 queued", "2 cue", "2 queued", "2 loaded"}));

    wall.fire(3, PlayTrigger::Click);
    wall.toggleLoop(3);
    render(600); // past its 400 ms: still on air
    wall.deleteAudio(3);
    render(900);
    const QStringList seen = takeStates();
    EXPECT_EQ(seen.mid(0, 2), (QStringList{"3 playing", "3 looping"}));
    EXPECT_EQ(seen.last(), QStringLiteral("3 empty"));
    EXPECT_EQ(wall.cartState(3), session::CartState::Empty);
}

TEST_F(WallSessionTest, EachPlayReportsWhatStartedItAndHowTheOperatorEndedIt) {
    startOnProfileA();
    ASSERT_TRUE(configured);
    wall.fire(1, PlayTrigger::Osc);
    render(1100);
    ASSERT_EQ(takePlays(), (QStringList{"start 1 OSC", "end 1 end"}));
    EXPECT_EQ(started.back().profile, QStringLiteral("A"));
    EXPECT_EQ(started.back().cartName, QStringLiteral("&VINHETA"));
    EXPECT_EQ(endedIds.back(), started.back().playId) << "the end names the play it ends";

    EXPECT_EQ(wall.fireByKey(QChar('v')), 1);
    wall.fire(1, PlayTrigger::Click); // its own stop: a fade
    render(900);
    wall.fire(2, PlayTrigger::Midi);
    wall.fire(2, PlayTrigger::Click);
    EXPECT_EQ(takePlays(), (QStringList{"start 1 key", "end 1 fade", "start 2 MIDI", "end 2 cut"}));

    wall.setAutoFade(true);
    wall.fire(2, PlayTrigger::Click);
    wall.fire(1, PlayTrigger::Click);
    render(900);
    wall.setAutoFade(false);
    EXPECT_EQ(takePlays(), (QStringList{"start 2 click", "start 1 click", "end 2 autofade"}));
    EXPECT_EQ(wall.stop(1), QString());
    EXPECT_EQ(takePlays(), QStringList{"end 1 cut"});

    wall.fire(3, PlayTrigger::Click);
    wall.toggleLoop(3);
    render(500);
    wall.fire(3, PlayTrigger::Click);
    EXPECT_EQ(takePlays(), (QStringList{"start 3 click", "loop 3", "end 3 loop-stop"}));

    wall.fire(3, PlayTrigger::Click);
    wall.toggleLoop(3);
    EXPECT_EQ(wall.fade(3), QString());
    EXPECT_FALSE(wall.wall().table[3].loops()) << "a faded cart does not come back";
    render(900);
    EXPECT_EQ(takePlays(), (QStringList{"start 3 click", "end 3 fade"}));

    wall.fire(4, PlayTrigger::Click);
    wall.deleteAudio(4);
    render(900);
    EXPECT_EQ(takePlays(), (QStringList{"start 4 click", "end 4 deleted"}));
}

// A cart that has played keeps its file open; a new file inserted there is what plays next.
TEST_F(WallSessionTest, InsertedFileChangesTheCartAndPlaysAtTheNextClick) {
    startOnProfileA();
    QList<int> changed;
    QObject::connect(&wall, &session::WallSession::cartChanged, [&](int n) { changed.append(n); });
    wall.fire(2, PlayTrigger::Click);
    wall.fire(2, PlayTrigger::Click);
    const QString fresh = tone("e.wav", 2000);
    dialogs.files.push_back(fresh);
    wall.editing().insertAudio(2);
    EXPECT_EQ(changed, QList<int>{2});
    EXPECT_TRUE(wall.wall().profileChanged);
    wall.fire(2, PlayTrigger::Click);
    EXPECT_EQ(session::WallSessionAccess::cartPlayer(wall, 2).fileName(), fresh);
    EXPECT_EQ(wall.remainingMs(2), 2000);
}

TEST_F(WallSessionTest, BlockPlaysStartAsBlockAndTheSegueEndsTheFirstAsMix) {
    startOnProfileA();
    wall.setAutoMix(true);
    wall.toggleQueued(1);
    wall.toggleQueued(2);
    EXPECT_EQ(wall.blockNext(), QString());
    render(1000); // the segue 900 ms before cart 1's end, then cart 1's fade
    EXPECT_EQ(takePlays(), (QStringList{"start 1 block", "start 2 automix", "end 1 mix"}));
    EXPECT_TRUE(wall.block().isEmpty());
    EXPECT_EQ(wall.blockNext(), QStringLiteral("Bloco vazio"));
}

TEST_F(WallSessionTest, PlaysEndedByTheSessionNameWhy) {
    startOnProfileA();
    wall.fire(4, PlayTrigger::Click);
    wall.fire(1, PlayTrigger::Click);
    wall.fadeAll();
    render(900);
    QStringList ends = takePlays().mid(2);
    ends.sort(); // both fades end in one block
    EXPECT_EQ(ends, (QStringList{"end 1 panic", "end 4 panic"}));

    wall.fire(4, PlayTrigger::Click);
    ASSERT_EQ(wall.activateProfile(QStringLiteral("B")), QString());
    EXPECT_EQ(takePlays(), (QStringList{"start 4 click", "end 4 profile switch"}));

    ASSERT_EQ(wall.activateProfile(QStringLiteral("A")), QString());
    wall.fire(4, PlayTrigger::Click);
    wall.endSession();
    EXPECT_EQ(takePlays(), (QStringList{"start 4 click", "end 4 exit"}));
}

// Rendered without waiting for the decoder, the channel runs dry and stays stalled until the
// next block: the player gives the play up.
TEST_F(WallSessionTest, PlayGivenUpByAStalledChannelEndsAsStall) {
    startOnProfileA();
    wall.fire(4, PlayTrigger::Click);
    for (int i = 0; i < 2000 && wall.cartState(4) == session::CartState::Playing; ++i) {
        render(10, false);
    }
    EXPECT_EQ(takePlays(), (QStringList{"start 4 click", "end 4 stall"}));
}

TEST_F(WallSessionTest, CommandsRefuseBadCartsAndChangeNothing) {
    startOnProfileA();
    for (int bad : {0, -1, 97}) {
        EXPECT_FALSE(wall.fire(bad, PlayTrigger::Osc).isEmpty()) << bad;
        EXPECT_FALSE(wall.stop(bad).isEmpty()) << bad;
        EXPECT_FALSE(wall.fade(bad).isEmpty()) << bad;
        EXPECT_FALSE(wall.cue(bad).isEmpty()) << bad;
        EXPECT_FALSE(wall.toggleQueued(bad).isEmpty()) << bad;
    }
    EXPECT_EQ(wall.fire(97, PlayTrigger::Osc), QStringLiteral("Cartucho 97 fora de 1 a 96"));
    EXPECT_FALSE(wall.setMasterVolume(101).isEmpty());
    EXPECT_FALSE(wall.setMasterVolume(-1).isEmpty());
    EXPECT_EQ(wall.state().masterVolume(), 100);
    EXPECT_FALSE(wall.activateProfile(QStringLiteral("NONE")).isEmpty());
    EXPECT_EQ(wall.wall().currentProfile, QStringLiteral("A"));
    EXPECT_TRUE(takeStates().isEmpty());
    EXPECT_TRUE(takePlays().isEmpty());

    int announced = -1;
    QObject::connect(&wall, &session::WallSession::masterVolumeChanged,
                     [&](int percent) { announced = percent; });
    EXPECT_EQ(wall.setMasterVolume(40), QString());
    EXPECT_EQ(announced, 40);
    EXPECT_EQ(wall.state().masterVolume(), 40);

    wall.setStopMode(2, carts::StopMode::Fade); // an edit a profile line stores
    EXPECT_EQ(wall.activateProfile(QStringLiteral("B")),
              QStringLiteral("Perfil foi alterado e não foi salvo"));
    EXPECT_EQ(wall.wall().currentProfile, QStringLiteral("A"));
    EXPECT_TRUE(messages.asked.isEmpty()) << "a remote switch never asks";
}

// Observers (OSC listeners, the journal) learn the profile from these signals alone.
TEST_F(WallSessionTest, ProfileSignalsNameTheProfileNowOnTheWallAndSaysWhenItWasSaved) {
    QStringList named;
    int saved = 0;
    QObject::connect(&wall, &session::WallSession::profileChanged,
                     [&](const QString& name) { named.append(name); });
    QObject::connect(&wall, &session::WallSession::wallSaved, [&] { ++saved; });
    startOnProfileA();
    ASSERT_FALSE(named.isEmpty());
    EXPECT_EQ(named.last(), QStringLiteral("A"));
    named.clear();
    EXPECT_EQ(wall.activateProfile(QStringLiteral("B")), QString());
    EXPECT_EQ(named, QStringList{QStringLiteral("B")});

    wall.restore(carts::CartTable{}, {}, QString(), true); // a changed wall of no profile yet
    named.clear();
    wall.state().selectProfile(0); // "Salvar" takes the profile selected in the box
    wall.saveWall();
    EXPECT_EQ(named, QStringList{QStringLiteral("A")});
    EXPECT_EQ(saved, 0);
    wall.setStopMode(2, carts::StopMode::Fade);
    wall.saveWall();
    EXPECT_EQ(saved, 1);
    EXPECT_FALSE(wall.wall().profileChanged);
    wall.saveWall(); // nothing to save: nothing said
    EXPECT_EQ(saved, 1);
}

TEST_F(WallSessionTest, StopAllEndsOnlyWhatIsOnAirAndWhatWouldBringItBack) {
    startOnProfileA();
    wall.fire(3, PlayTrigger::Click);
    wall.toggleLoop(3);
    wall.setAutoMix(true);
    wall.toggleQueued(1);
    wall.toggleQueued(2);
    wall.blockNext(); // cart 1 on air, its segue into cart 2 planned
    wall.cue(4);
    takePlays();

    EXPECT_EQ(wall.stopAll(), QString());
    EXPECT_EQ(takePlays(), (QStringList{"end 1 panic", "end 3 panic"}));
    EXPECT_TRUE(wall.block().isEmpty());
    EXPECT_FALSE(wall.wall().table[3].loops());
    EXPECT_EQ(wall.cartState(2), session::CartState::Loaded);
    EXPECT_EQ(wall.cartState(4), session::CartState::Cue) << "the cue player is not on air";
    render(1100);
    EXPECT_TRUE(takePlays().isEmpty()) << "no segue, no loop brings a cart back";
}

} // namespace
