// MIDI through RtMidi's JACK backend on a private JACK server: a controller's pad fires a cart
// and the cart's light comes back to the controller.
#include "jack/jack_test_support.h"
#include "remote/midi_pads.h"
#include "remote/midi_remote.h"
#include "remote/recording_wall.h"
#include "support/qstring_print.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <gtest/gtest.h>

TEST(MidiOverJack, APadFiresItsCartAndTheLightComesBack) {
    jacktest::JackServer jack("bandora-midi-" + std::to_string(getpid()));
    ASSERT_TRUE(jack.start());
    setenv("JACK_DEFAULT_SERVER", jack.name().c_str(), 1);
    QTemporaryDir dir;
    QFile file(dir.filePath(QLatin1String(remote::kMidiMapFile)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("ENTRADA=pads:out\r\nSAIDA=lights:in\r\nNOTE 1 36 = /cart/1/fire\r\n");
    file.close();

    MidiPads pads;
    RecordingWall wall;
    remote::MidiRemote midi(wall, dir.path());
    EXPECT_EQ(midi.start(remote::MidiBackend::Jack), QStringLiteral("MIDI ligado (JACK)"));

    pads.press(36);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !wall.calls.isEmpty(); }, 5000));
    EXPECT_EQ(wall.calls, QStringList{QStringLiteral("fire 1 MIDI")});

    midi.stateChanged(1, session::CartState::Playing);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !pads.lastLight().empty(); }, 5000));
    EXPECT_EQ(pads.lastLight(), (std::vector<unsigned char>{0x90, 36, 21}));
}

TEST(MidiOverJack, NoServerGivesOneLineAndNoPorts) {
    if (QFile::exists(QStringLiteral("/dev/snd/seq"))) {
        GTEST_SKIP() << "this machine has an ALSA sequencer";
    }
    setenv("JACK_DEFAULT_SERVER", "bandora-nobody-here", 1);
    QTemporaryDir dir;
    RecordingWall wall;
    remote::MidiRemote midi(wall, dir.path());
    const QString line = midi.start(remote::MidiBackend::Auto);
    EXPECT_TRUE(line.startsWith(QStringLiteral("MIDI indisponível"))) << line.toStdString();
    midi.stateChanged(1, session::CartState::Playing); // nothing to send to: no crash
    EXPECT_TRUE(QFile::exists(dir.filePath(QLatin1String(remote::kMidiMapFile))));
}
