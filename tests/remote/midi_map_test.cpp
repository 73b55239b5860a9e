// bandoramidi.ini and the MIDI rules: what a message does, learning, lights, and a file that
// survives damage; learning a pad without ports.
#include "remote/midi_map.h"
#include "remote/midi_remote.h"
#include "remote/recording_wall.h"
#include "support/qstring_print.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using remote::Command;
using remote::CommandKind;
using remote::MidiMap;
using remote::MidiMessage;
using session::CartState;

namespace {

MidiMap mapOf(const QStringList& lines) {
    return MidiMap::fromLines(lines);
}

QString actionText(const MidiMap& map, MidiMessage message) {
    const auto action = map.actionFor(message);
    if (!action) {
        return QStringLiteral("-");
    }
    return remote::addressOf(action->command) + (action->command.kind == CommandKind::Master
                                                     ? QString::number(action->percent)
                                                     : QString());
}

} // namespace

TEST(MidiMap, PressesGiveCommandsAndReleasesDoNot) {
    const MidiMap map = mapOf({"NOTE 1 36 = /cart/1/fire", "CC 2 20 = /all/stop",
                               "CC 1 7 = /master", "note 10 0 = /block/next"});
    struct Case {
        MidiMessage message;
        const char* expected;
    };
    const std::vector<Case> cases{
        {{0x90, 36, 100}, "/cart/1/fire"},
        {{0x90, 36, 1}, "/cart/1/fire"},
        {{0x90, 36, 0}, "-"},   // note-on with velocity 0 is a release
        {{0x80, 36, 64}, "-"},  // note-off
        {{0x91, 36, 100}, "-"}, // other channel
        {{0xb1, 20, 64}, "/all/stop"},
        {{0xb1, 20, 63}, "-"},
        {{0xb0, 7, 0}, "/master0"}, // a fader: every value, scaled
        {{0xb0, 7, 127}, "/master100"},
        {{0xb0, 7, 64}, "/master50"},
        {{0x99, 0, 127}, "/block/next"},
        {{0xa0, 36, 100}, "-"}, // aftertouch
        {{0x90, 37, 100}, "-"}, // no mapping
        {{0x90, 200, 100}, "-"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(actionText(map, c.message), QString::fromLatin1(c.expected))
            << int(c.message.status) << " " << int(c.message.data1) << " " << int(c.message.data2);
    }
}

TEST(MidiMap, LearningMovesACommandToTheNewKey) {
    MidiMap map = mapOf({"NOTE 1 36 = /cart/1/fire"});
    const Command fire1{CommandKind::Fire, 1};
    EXPECT_FALSE(MidiMap::learnableKey({0x90, 40, 0}, fire1));
    EXPECT_FALSE(MidiMap::learnableKey({0xb0, 40, 10}, fire1));
    const auto key = MidiMap::learnableKey({0x92, 40, 90}, fire1);
    ASSERT_TRUE(key);
    map.bind(*key, fire1);
    EXPECT_EQ(actionText(map, {0x90, 36, 100}), QStringLiteral("-"));
    EXPECT_EQ(actionText(map, {0x92, 40, 100}), QStringLiteral("/cart/1/fire"));
    // A fader is learnt from any value it sends.
    EXPECT_TRUE(MidiMap::learnableKey({0xb0, 7, 3}, Command{CommandKind::Master, 0}));
}

TEST(MidiMap, LightsThePadOfTheCartInItsState) {
    const MidiMap map = mapOf({"NOTE 3 50 = /cart/4/stop", "CC 1 60 = /cart/5/fire",
                               "NOTE 1 51 = /cart/4/fire", "LUZ playing = 99"});
    const auto note = map.lightFor(4, CartState::Playing);
    ASSERT_TRUE(note);
    EXPECT_EQ(note->status, 0x90);
    EXPECT_EQ(note->data1, 51);
    EXPECT_EQ(note->data2, 99);
    const auto cc = map.lightFor(5, CartState::Looping);
    ASSERT_TRUE(cc);
    EXPECT_EQ(cc->status, 0xb0);
    EXPECT_EQ(cc->data2, 45);
    EXPECT_FALSE(map.lightFor(6, CartState::Loaded));
}

TEST(MidiMapFile, NewFileHoldsTheDefaultLightsAndReadsBackTheSame) {
    QTemporaryDir dir;
    MidiMap map = remote::readMidiMap(dir.path());
    map.inputPorts << QStringLiteral("Pads:out, 1");
    map.outputPorts << QStringLiteral("Pads:in");
    map.bind({remote::MidiKey::Type::Cc, 16, 127}, Command{CommandKind::Queue, 96});
    ASSERT_TRUE(remote::writeMidiMap(dir.path(), map));
    const MidiMap back = remote::readMidiMap(dir.path());
    EXPECT_EQ(back.toLines(), map.toLines());
    EXPECT_EQ(back.inputPorts, QStringList{QStringLiteral("Pads:out, 1")});
    EXPECT_EQ(back.velocity(CartState::Playing), 21);
    EXPECT_EQ(back.velocity(CartState::Fading), 13);
    EXPECT_TRUE(back.toLines().contains(QStringLiteral("LUZ queued=3")));
    EXPECT_TRUE(back.damageText().isEmpty());
}

TEST(MidiMapFile, DamagedLinesAreKeptAsideAndSaidOnce) {
    const MidiMap map = mapOf({
        "NOTE 1 36 = /cart/1/fire",
        "NOTE 1 36 = /cart/2/fire", // second mapping of one key
        "NOTE 17 1 = /cart/3/fire",
        "CC 1 128 = /all/stop",
        "NOTE 1 2 = /cart/97/fire",
        "NOTE 1 3 = /profile/activate",
        "LUZ playing = 300",
        "LUZ dancing = 3",
        "\xc3\xa7\x01garbage",
        "",
        "CC 1 9 = /all/fade",
    });
    EXPECT_EQ(actionText(map, {0x90, 36, 1}), QStringLiteral("/cart/1/fire"));
    EXPECT_EQ(actionText(map, {0xb0, 9, 127}), QStringLiteral("/all/fade"));
    EXPECT_EQ(map.velocity(CartState::Playing), 21);
    EXPECT_EQ(map.damagedLines().size(), 8);
    EXPECT_TRUE(map.damageText().contains(QStringLiteral("8 linha")));
    // Written back as they were, so the operator can mend them.
    const QStringList written = map.toLines();
    for (const QString& damaged : map.damagedLines()) {
        EXPECT_TRUE(written.contains(damaged)) << damaged.toStdString();
    }
}

TEST(MidiRemote, TheLearningPressGivesNoCommandAndIsSaved) {
    QTemporaryDir dir;
    RecordingWall wall;
    remote::MidiRemote midi(wall, dir.path());
    midi.learn(Command{CommandKind::Fire, 2});
    midi.handle({0x90, 40, 0}); // a release is not learnt
    EXPECT_TRUE(midi.learning());
    midi.handle({0x90, 40, 90});
    EXPECT_FALSE(midi.learning());
    EXPECT_TRUE(wall.calls.isEmpty());
    EXPECT_TRUE(remote::readMidiMap(dir.path())
                    .toLines()
                    .contains(QStringLiteral("NOTE 1 40 = /cart/2/fire")));
    midi.handle({0x90, 40, 90});
    EXPECT_EQ(wall.calls, QStringList{QStringLiteral("fire 2 MIDI")});
}
