// Remote control in the real wall window on the no-sound device: learning a pad from the cart
// menu and from the "Controle Remoto" dialog, the setup dialog's remote line, a port already in
// use, and a controller on a private JACK server that fires a cart and gets its light back.
#include "app/main_window.h"
#include "app/remote_binding.h"
#include "app/remote_control_dialog.h"
#include "app/setup_dialog.h"
#include "app/window_access.h"
#include "app/window_fixture.h"
#include "app/window_remote_control.h"
#include "audio/engine/sound_engine.h"
#include "carts/editing_fakes.h"
#include "config/device_settings.h"
#include "config/ext_settings.h"
#include "engine/test_media.h"
#include "jack/jack_test_support.h"
#include "remote/midi_map.h"
#include "remote/midi_pads.h"
#include "remote/midi_remote.h"
#include "support/loopback_udp.h"
#include "support/qstring_print.h"
#include "support/recording_messages.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>

using remote::CommandKind;
using session::CartState;

namespace {

constexpr remote::MidiMessage kPad36{0x90, 36, 100};
constexpr remote::MidiMessage kPad40{0x90, 40, 100};

class RemoteWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(writeSilentDevices(dir.path())); }
    void TearDown() override {
        remoteControl = nullptr;
        w.reset();
    }
    void openWindow(int oscPort = 0) {
        config::ExtSettings ext;
        ext.oscPort = oscPort;
        ASSERT_TRUE(config::writeExtSettings(dir.path(), ext));
        w = std::make_unique<app::MainWindow>(
            windowEnvironment(dir.path(), messages, *sound, dialogs));
        remoteControl = new app::WindowRemoteControl(*w, messages);
        w->showOnScreen();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }
    app::RemoteBinding& remote() { return remoteControl->remote(); }
    void insert(int n) {
        dialogs.files.push_back(
            writeTone(dir.filePath(QStringLiteral("tone%1.wav").arg(n)), 440, 3000));
        menuItem(n, "insertAudioAction")->trigger();
    }
    void hover(int n) { hoverCart(*w, n); }
    // The item as the cart menu shows it for cart n.
    QAction* menuItem(int n, const char* name) {
        hover(n);
        emit menu(*w, "cartMenu")->aboutToShow();
        return action(*w, QString::fromLatin1(name));
    }
    QString mapFile() {
        QFile file(dir.filePath(QLatin1String(remote::kMidiMapFile)));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    app::SetupDialog* openSetup() {
        strip(*w).setupButton()->click();
        return w->findChild<app::SetupDialog*>();
    }
    // Clicks the setup dialog's "Controle Remoto" and runs `inDialog` while it is open.
    void inRemoteDialog(app::SetupDialog& setup,
                        const std::function<void(app::RemoteControlDialog&)>& inDialog) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* dialog =
                qobject_cast<app::RemoteControlDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            inDialog(*dialog);
            ran = true;
            dialog->close();
        });
        setup.remoteButton()->click();
        EXPECT_TRUE(ran);
    }

    QTemporaryDir dir;
    RecordingMessages messages;
    carts::testing::FakeDialogs dialogs;
    std::unique_ptr<audio::engine::SoundEngine> sound = audio::engine::makeSoundEngine();
    std::unique_ptr<app::MainWindow> w;
    app::WindowRemoteControl* remoteControl = nullptr; // owned by the window
};

TEST_F(RemoteWindowTest, APadLearntFromTheCartMenuFiresThatCartAndTheStatusLineFollows) {
    openWindow();
    remote().start(remote::MidiBackend::None);
    insert(5);
    EXPECT_FALSE(menuItem(6, "learnMidiAction")->isEnabled()); // an empty cart
    QAction* learn = menuItem(5, "learnMidiAction");
    ASSERT_TRUE(learn->isEnabled());
    learn->trigger();
    ASSERT_TRUE(remote().learning());
    const QLabel* status = wallPanel(*w).statusLabel();
    hover(6); // the pointer moving on does not hide that a pad is awaited
    EXPECT_EQ(status->text(),
              QStringLiteral("Aprender MIDI: pressione um pad para o cartucho 5 (Esc cancela)"));

    remote().midi().handle(kPad36);
    EXPECT_FALSE(remote().learning());
    EXPECT_EQ(status->text(), QStringLiteral("Pad NOTE 1 36 dispara o cartucho 5"));
    EXPECT_EQ(w->session().cartState(5), CartState::Loaded); // the learning press fires nothing
    EXPECT_TRUE(mapFile().contains(QStringLiteral("NOTE 1 36 = /cart/5/fire")))
        << mapFile().toStdString();
    remote().midi().handle(kPad36);
    EXPECT_EQ(w->session().cartState(5), CartState::Playing);

    menuItem(5, "learnMidiAction")->trigger();
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_FALSE(remote().learning());
    EXPECT_EQ(status->text(), QStringLiteral("Aprender MIDI cancelado"));
    remote().midi().handle(kPad40);
    EXPECT_FALSE(mapFile().contains(QStringLiteral("NOTE 1 40"))) << mapFile().toStdString();

    // A pad has no answer channel: what the wall refuses shows on the status line.
    remote().learn({CommandKind::BlockNext, 0});
    remote().midi().handle(kPad40);
    remote().midi().handle(kPad40);
    EXPECT_EQ(status->text(), QStringLiteral("Pad MIDI recusado: Bloco vazio"));
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join(u'|').toStdString();
}

TEST_F(RemoteWindowTest, SetupDialogShowsTheRemoteLineAndKeepsOpenOverItsDialog) {
    const int port = freeLoopbackUdpPort();
    openWindow(port);
    remote().start(remote::MidiBackend::None);
    app::SetupDialog* setup = openSetup();
    ASSERT_NE(setup, nullptr);
    EXPECT_TRUE(setup->remoteLine()->text().startsWith(
        QStringLiteral("OSC ligado na porta %1, 0 datagramas recusados; MIDI").arg(port)))
        << setup->remoteLine()->text().toStdString();
    inRemoteDialog(*setup, [](app::RemoteControlDialog& dialog) {
        // No MIDI system here: nothing to learn from, and no message box said so.
        for (CommandKind kind : {CommandKind::BlockNext, CommandKind::FadeAll, CommandKind::StopAll,
                                 CommandKind::Master}) {
            EXPECT_FALSE(dialog.learnButton(kind)->isEnabled());
        }
    });
    EXPECT_TRUE(setup->isVisible());
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join(u'|').toStdString();
    setup->close();
}

TEST_F(RemoteWindowTest, APortInUseIsSaidOnceAndTheWallRunsOnWithoutOsc) {
    LoopbackUdpPort taken;
    openWindow(taken.port());
    QTRY_VERIFY(remote().started()); // on the session's first tick
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.first().contains(QString::number(taken.port())))
        << messages.shown.first().toStdString();
    EXPECT_TRUE(remote().statusLine().startsWith(QStringLiteral("OSC desligado")));
    insert(2);
    EXPECT_EQ(w->session().fire(2, session::PlayTrigger::Click), QString());
    EXPECT_EQ(w->session().cartState(2), CartState::Playing);
}

// A controller on a private JACK server: its pad fires the cart mapped to it, the pad's light
// follows the cart, and "Controle Remoto" learns another pad for the block's next cart.
TEST_F(RemoteWindowTest, AControllerOnJackFiresACartSeesItsLightAndLearnsBlockNext) {
    jacktest::JackServer jack("bandora-remote-" + std::to_string(getpid()));
    ASSERT_TRUE(jack.start());
    setenv("JACK_DEFAULT_SERVER", jack.name().c_str(), 1);
    QFile file(dir.filePath(QLatin1String(remote::kMidiMapFile)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("ENTRADA=pads:out\r\nSAIDA=lights:in\r\nNOTE 1 36 = /cart/1/fire\r\n");
    file.close();
    MidiPads pads;
    openWindow();
    insert(1);
    remote().start(remote::MidiBackend::Jack);
    ASSERT_TRUE(remote().midiAvailable()) << remote().midiStatusLine().toStdString();
    const auto light = [&](int velocity) {
        return QTest::qWaitFor(
            [&] {
                return pads.lastLight() ==
                       std::vector<unsigned char>{0x90, 36, std::uint8_t(velocity)};
            },
            5000);
    };
    EXPECT_TRUE(light(1)); // loaded, lit at the start

    pads.press(36);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return w->session().cartState(1) == CartState::Playing; }, 5000));
    EXPECT_TRUE(light(21));

    app::SetupDialog* setup = openSetup();
    ASSERT_NE(setup, nullptr);
    inRemoteDialog(*setup, [&](app::RemoteControlDialog& dialog) {
        EXPECT_EQ(dialog.keyLabel(CommandKind::BlockNext)->text(), QStringLiteral("(nenhum)"));
        dialog.learnButton(CommandKind::BlockNext)->click();
        pads.press(40);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !remote().learning(); }, 5000));
        EXPECT_EQ(dialog.keyLabel(CommandKind::BlockNext)->text(), QStringLiteral("NOTE 1 40"));
    });
    EXPECT_TRUE(mapFile().contains(QStringLiteral("NOTE 1 40 = /block/next")))
        << mapFile().toStdString();
    setup->close();
}

} // namespace
