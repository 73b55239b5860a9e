// The setup dialog on a real X display over hand-clocked devices: its controls, what it shows of
// BANDORA40.CFG, what OK saves and applies, and how it closes.
#include "app/control_strip.h"
#include "app/main_window.h"
#include "app/setup_dialog.h"
#include "app/window_access.h"
#include "audio/cart_player.h"
#include "audio/hand_devices.h"
#include "audio/player_context.h"
#include "config/ext_settings.h"
#include "engine/test_media.h"
#include "session/cart_firing.h"
#include "support/recording_messages.h"
#include "support/wall_session_access.h"
#include "widgets/bgr_color.h"
#include "widgets/spin_edit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using app::SetupDialog;

namespace {

const QByteArray kBanner = "Bandora - Quallon Cartucheira Digital 4.0-PRO\r\n"
                           "Devices de som, buffer, mixagem e fade\r\n";

class SetupDialogTest : public ::testing::Test {
protected:
    void TearDown() override { delete dialog.data(); }

    void writeConfig(const QByteArray& data) {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    QByteArray readConfig() {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString path() const { return QDir(dir.path()).filePath(QStringLiteral("BANDORA40.CFG")); }

    void open() {
        dialog = new SetupDialog(dir.path(), context, running);
        dialog->showWithSavedSettings();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    }
    // Deferred deletes run, so a dialog that closed itself is gone.
    bool closedAndDeleted() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return dialog.isNull();
    }

    QTemporaryDir dir;
    audio::testing::HandEngine sound{{"Bandora_Out", "Bandora_Cue"}};
    RecordingMessages messages;
    audio::PlayerContext context{*sound.engine, messages};
    config::DeviceSettings running;
    QPointer<SetupDialog> dialog;
};

TEST_F(SetupDialogTest, BorderlessOnTopCentredWithItsControls) {
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_EQ(dialog->size(), QSize(492, 319));
    EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(dialog->isModal());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE((dialog->frameGeometry().center() - screen.center()).manhattanLength(), 1);

    const QImage shot = dialog->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(5, 5)), widgets::colorFromBgr(5581568)) << "dark blue panel";
    EXPECT_EQ(QColor(shot.pixel(5, 315)), QColor(Qt::black));

    struct Spin {
        widgets::SpinEdit* edit;
        int minimum, maximum, step, value;
    };
    for (const Spin& s : {Spin{dialog->bufferEdit(), 1000, 9000, 500, 3000},
                          Spin{dialog->mixEdit(), 500, 5000, 100, 900},
                          Spin{dialog->fadeEdit(), 100, 2500, 100, 800}}) {
        EXPECT_EQ(s.edit->minimum(), s.minimum) << s.edit->objectName().toStdString();
        EXPECT_EQ(s.edit->maximum(), s.maximum);
        EXPECT_EQ(s.edit->step(), s.step);
        EXPECT_EQ(s.edit->value(), s.value);
    }
    const auto label = [&](const char* name) {
        return dialog->findChild<QLabel*>(QString::fromLatin1(name))->text();
    };
    EXPECT_EQ(label("bufferLabel"), QStringLiteral("Tamanho do Buffer:"));
    EXPECT_EQ(label("mixLabel"), QStringLiteral("Mixagem: "));
    EXPECT_EQ(label("fadeLabel"), QStringLiteral("Fade:"));
    EXPECT_EQ(label("outputLabel"), QStringLiteral("Device Transmissão:"));
    EXPECT_EQ(label("cueLabel"), QStringLiteral("Device Escuta (Cue):"));
    EXPECT_EQ(dialog->defaultBufferButton()->text(), QStringLiteral("Usar Padrão"));
    EXPECT_EQ(dialog->outputInfoButton()->text(), QStringLiteral("Info Device Atual"));
    EXPECT_EQ(dialog->cueInfoButton()->text(), QStringLiteral("Info Device Atual"));
    EXPECT_EQ(dialog->okButton()->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog->cancelButton()->text(), QStringLiteral("Cancelar"));
    EXPECT_EQ(dialog->outputList()->toolTip(), QStringLiteral("Device para músicas"));
    EXPECT_EQ(dialog->cueList()->toolTip(),
              QStringLiteral("Device para Escuta (cue) - Placa de som nº 2"));
    EXPECT_EQ(dialog->outputList()->itemText(1), QStringLiteral("Bandora_Cue"));
    EXPECT_EQ(sound.devices->opens(1), 0) << "listing opens no device";
}

// TAMBR 500 (hand-edited) is shown and saved as 1000; DVTRA 3 with two devices leaves the list
// without a selection and is saved as -1; the file is written whole, byte for byte.
TEST_F(SetupDialogTest, OkSavesTheSevenLinesAndAppliesMixAndFadeAtOnce) {
    writeConfig("TAMBR=500\r\nDVTRA=3\r\nDVCUE=1\r\nMIXAGEM=1200\r\nFADE=600\r\n");
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_EQ(dialog->bufferEdit()->text(), QStringLiteral("1000"));
    EXPECT_EQ(dialog->outputList()->currentIndex(), -1);
    EXPECT_EQ(dialog->cueList()->currentText(), QStringLiteral("Bandora_Cue"));
    EXPECT_EQ(dialog->mixEdit()->value(), 1200);
    EXPECT_EQ(dialog->fadeEdit()->value(), 600);
    EXPECT_EQ(running, config::DeviceSettings{}) << "showing the file applies nothing";

    dialog->fadeEdit()->setFocus();
    QTest::keyClick(dialog->fadeEdit(), Qt::Key_Up);
    QTest::keyClick(dialog->mixEdit(), Qt::Key_Down);
    running.outputDevice = 1;
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);

    EXPECT_EQ(readConfig(), kBanner + "TAMBR=1000\r\nDVTRA=-1\r\nDVCUE=1\r\n"
                                      "MIXAGEM=1100\r\nFADE=700\r\n");
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Configuração Salva com Sucesso !")});
    EXPECT_EQ(running.mixLeadMs, 1100);
    EXPECT_EQ(running.fadeMs, 700);
    EXPECT_EQ(running.bufferMs, 3000) << "the buffer acts at the next start";
    EXPECT_EQ(running.outputDevice, 1) << "so do the devices";
    EXPECT_TRUE(closedAndDeleted());
}

// The loudness controls sit in the settings panel's free bottom band, clear of every control the
// dialog had before; OK writes bandoraext.ini beside BANDORA40.CFG and hands the values on.
TEST_F(SetupDialogTest, LoudnessControlsShowTheExtFileAndOkSavesAndHandsThemOn) {
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_EQ(dialog->loudnessBox()->text(), QStringLiteral("Normalizar Loudness (EBU R128)"));
    EXPECT_FALSE(dialog->loudnessBox()->isChecked());
    EXPECT_EQ(dialog->loudnessTargetEdit()->value(), -23);
    EXPECT_EQ(dialog->loudnessTargetEdit()->minimum(), -31);
    EXPECT_EQ(dialog->loudnessTargetEdit()->maximum(), -10);
    const auto* panel = dialog->findChild<QFrame*>(QStringLiteral("settingsPanel"));
    const QList<QWidget*> added = {dialog->loudnessBox(), dialog->loudnessTargetEdit(),
                                   dialog->findChild<QLabel*>("loudnessTargetLabel")};
    for (QWidget* control : added) {
        const std::string name = control->objectName().toStdString();
        EXPECT_TRUE(panel->rect().contains(control->geometry())) << name;
        for (QWidget* other : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!added.contains(other) && other != dialog->sameDeviceWarning()) {
                EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                    << name << " over " << other->objectName().toStdString();
            }
        }
    }
    dialog->close();
    closedAndDeleted();

    QFile ext(QDir(dir.path()).filePath(QStringLiteral("bandoraext.ini")));
    ASSERT_TRUE(config::writeExtSettings(dir.path(), {true, -16}));
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_TRUE(dialog->loudnessBox()->isChecked());
    EXPECT_EQ(dialog->loudnessTargetEdit()->value(), -16);
    QSignalSpy handed(dialog.data(), &SetupDialog::extSettingsSaved);
    dialog->loudnessTargetEdit()->setValue(-18);
    dialog->loudnessBox()->setChecked(false);
    dialog->okButton()->click();
    ASSERT_TRUE(ext.open(QIODevice::ReadOnly));
    EXPECT_EQ(ext.readAll(),
              QByteArray("LOUDNESS=0\r\nLOUDNESS_TARGET=-18\r\nAVISO_FIM=10\r\nOSC_PORT=0\r\n"));
    EXPECT_TRUE(readConfig().startsWith(kBanner)) << "BANDORA40.CFG keeps its seven lines";
    ASSERT_EQ(handed.count(), 1);
    EXPECT_EQ(handed.at(0).at(0).value<config::ExtSettings>(), (config::ExtSettings{false, -18}));
}

// AVISO_FIM sits under the loudness target, clear of every other control; OK writes it and
// keeps the lines of bandoraext.ini that the dialog does not show.
TEST_F(SetupDialogTest, EndWarningShowsTheExtFileAndOkSavesItKeepingOtherLines) {
    QFile ext(QDir(dir.path()).filePath(QStringLiteral("bandoraext.ini")));
    ASSERT_TRUE(ext.open(QIODevice::WriteOnly));
    ext.write("AVISO_FIM=25\r\nOSC_PORT=9000\r\nOUTRA=valor\r\n");
    ext.close();
    ASSERT_NO_FATAL_FAILURE(open());
    widgets::SpinEdit* edit = dialog->endWarningEdit();
    EXPECT_EQ(edit->value(), 25);
    EXPECT_EQ(edit->minimum(), 0);
    EXPECT_EQ(edit->maximum(), 60);
    const auto* panel = dialog->findChild<QFrame*>(QStringLiteral("settingsPanel"));
    const QList<QWidget*> added = {edit, dialog->findChild<QLabel*>("endWarningLabel")};
    for (QWidget* control : added) {
        const std::string name = control->objectName().toStdString();
        EXPECT_TRUE(panel->rect().contains(control->geometry())) << name;
        for (QWidget* other : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!added.contains(other) && other->isVisibleTo(dialog)) {
                EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                    << name << " over " << other->objectName().toStdString();
            }
        }
    }
    QSignalSpy handed(dialog.data(), &SetupDialog::extSettingsSaved);
    edit->setValue(0);
    dialog->okButton()->click();
    ASSERT_TRUE(ext.open(QIODevice::ReadOnly));
    const QByteArray written = ext.readAll();
    EXPECT_TRUE(written.startsWith("AVISO_FIM=0\r\nOSC_PORT=9000\r\nOUTRA=valor\r\n"))
        << written.data();
    ASSERT_EQ(handed.count(), 1);
    const auto settings = handed.at(0).at(0).value<config::ExtSettings>();
    EXPECT_EQ(settings.endWarningSeconds, 0);
    EXPECT_EQ(settings.oscPort, 9000);
}

TEST_F(SetupDialogTest, WriteFailureIsReportedAndMixAndFadeStillApply) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("BANDORA40.CFG"))); // no file can go there
    ASSERT_NO_FATAL_FAILURE(open());
    dialog->mixEdit()->setValue(2000);
    dialog->fadeEdit()->setValue(1500);
    dialog->okButton()->click();
    EXPECT_EQ(messages.shown,
              QStringList{QStringLiteral("Erro ao Gravar arquivo de configuração")});
    EXPECT_EQ(running.mixLeadMs, 2000);
    EXPECT_EQ(running.fadeMs, 1500);
    EXPECT_TRUE(closedAndDeleted());
}

// OK takes a value still being typed in the field that has the focus.
TEST_F(SetupDialogTest, ValueStillBeingTypedIsSaved) {
    ASSERT_NO_FATAL_FAILURE(open());
    dialog->mixEdit()->setFocus();
    dialog->mixEdit()->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(dialog->mixEdit(), "50");
    dialog->okButton()->click();
    EXPECT_EQ(running.mixLeadMs, 500);
    EXPECT_TRUE(readConfig().contains("\r\nMIXAGEM=500\r\n"));
}

TEST_F(SetupDialogTest, DefaultBufferButtonResetsOnlyTheBuffer) {
    writeConfig("TAMBR=6500\r\nMIXAGEM=1200\r\nFADE=600\r\nDVCUE=1\r\n");
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_EQ(dialog->bufferEdit()->value(), 6500);
    dialog->defaultBufferButton()->click();
    const config::DeviceSettings chosen = dialog->chosenSettings();
    EXPECT_EQ(chosen.bufferMs, 3000);
    EXPECT_EQ(chosen.mixLeadMs, 1200);
    EXPECT_EQ(chosen.fadeMs, 600);
    EXPECT_EQ(chosen.cueDevice, 1);
}

// The names are asked for again: a device plugged in since the dialog opened is listed, and
// the list starts again at its first device, whatever was saved.
TEST_F(SetupDialogTest, DeviceInfoButtonListsAfreshAndSelectsTheFirstDevice) {
    writeConfig("DVTRA=1\r\nDVCUE=1\r\n");
    ASSERT_NO_FATAL_FAILURE(open());
    ASSERT_EQ(dialog->cueList()->currentIndex(), 1);
    sound.devices->setDescriptions({"Bandora_Out", "Bandora_Cue", "USB Audio"});
    // The sound layer asks the server again once its list is a second old.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        dialog->cueInfoButton()->click();
        return dialog->cueList()->count() == 3;
    }));
    EXPECT_EQ(dialog->cueList()->itemText(2), QStringLiteral("USB Audio"));
    EXPECT_EQ(dialog->cueList()->currentIndex(), 0);
    EXPECT_EQ(dialog->outputList()->currentIndex(), 1) << "the other list is left alone";
    EXPECT_EQ(dialog->outputList()->count(), 2);
    dialog->outputInfoButton()->click();
    EXPECT_EQ(dialog->outputList()->currentIndex(), 0);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(SetupDialogTest, SameDeviceForCueAndOutputShowsTheWarning) {
    writeConfig("DVTRA=0\r\nDVCUE=1\r\n");
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_FALSE(dialog->sameDeviceWarning()->isVisible());
    dialog->cueList()->setCurrentIndex(0);
    EXPECT_TRUE(dialog->sameDeviceWarning()->isVisible());
    EXPECT_EQ(dialog->sameDeviceWarning()->text(),
              QStringLiteral("Atenção: Escuta (Cue) e Transmissão na mesma device - a escuta vai "
                             "ao ar"));
    EXPECT_LE(dialog->sameDeviceWarning()->geometry().right(), dialog->width())
        << "one line inside the dialog";
    dialog->outputList()->setCurrentIndex(1);
    EXPECT_FALSE(dialog->sameDeviceWarning()->isVisible());
    dialog->outputList()->setCurrentIndex(-1);
    dialog->cueList()->setCurrentIndex(-1);
    EXPECT_FALSE(dialog->sameDeviceWarning()->isVisible()) << "no device is not the same device";
}

TEST_F(SetupDialogTest, NoDeviceGivesTheMessageOncePerListAndOkWritesMinusOne) {
    sound.devices->setDescriptions({});
    ASSERT_NO_FATAL_FAILURE(open());
    const QString noDevice = QStringLiteral("Não foi Detectado placa de som - Verifique");
    EXPECT_EQ(messages.shown, (QStringList{noDevice, noDevice}));
    EXPECT_EQ(dialog->outputList()->count(), 0);
    dialog->cueInfoButton()->click();
    EXPECT_EQ(messages.shown.size(), 3);
    EXPECT_TRUE(dialog->isVisible()) << "its own message does not close it";
    dialog->okButton()->click();
    EXPECT_TRUE(readConfig().contains("\r\nDVTRA=-1\r\nDVCUE=-1\r\n"));
}

TEST_F(SetupDialogTest, LosingTheFocusClosesWithoutSaving) {
    QWidget elsewhere;
    elsewhere.setGeometry(10, 10, 100, 100);
    elsewhere.show();
    ASSERT_NO_FATAL_FAILURE(open());
    dialog->fadeEdit()->setValue(2500);
    elsewhere.activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return closedAndDeleted(); }));
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_EQ(running, config::DeviceSettings{});
}

// A message box takes the focus while it is up, as a real one does.
class FocusTakingMessages : public RecordingMessages {
public:
    void showMessage(const QString& text, Icon icon, const QString& title) override {
        RecordingMessages::showMessage(text, icon, title);
        QWidget box;
        box.setGeometry(300, 10, 100, 50);
        box.show();
        box.activateWindow();
        tookFocus = QTest::qWaitFor([&] { return box.isActiveWindow(); }, 3000);
    }
    bool tookFocus = false;
};

// The dialog's own message is no reason to close; afterwards, leaving the dialog still is.
TEST_F(SetupDialogTest, OwnMessageKeepsTheDialogAndLeavingItLaterClosesIt) {
    FocusTakingMessages boxes;
    audio::PlayerContext boxContext{*sound.engine, boxes};
    sound.devices->setDescriptions({});
    QWidget elsewhere;
    elsewhere.setGeometry(10, 10, 100, 100);
    elsewhere.show();
    dialog = new SetupDialog(dir.path(), boxContext, running);
    dialog->showWithSavedSettings(); // one message per list, before the dialog shows
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    boxes.tookFocus = false;
    dialog->outputInfoButton()->click();
    ASSERT_TRUE(boxes.tookFocus);
    EXPECT_EQ(boxes.shown.size(), 3);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog)) << "the focus comes back to the dialog";
    EXPECT_FALSE(closedAndDeleted());
    elsewhere.activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return closedAndDeleted(); }));
}

TEST_F(SetupDialogTest, CancelClosesWithoutSaving) {
    ASSERT_NO_FATAL_FAILURE(open());
    dialog->mixEdit()->setValue(3000);
    dialog->cancelButton()->click();
    EXPECT_TRUE(closedAndDeleted());
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("bandoraext.ini"))));
    EXPECT_EQ(running, config::DeviceSettings{});
}

// Enter, wherever the focus is, saves as OK does; Esc closes as "Cancelar" does.
TEST_F(SetupDialogTest, EnterIsOkAndEscapeIsCancel) {
    ASSERT_NO_FATAL_FAILURE(open());
    dialog->mixEdit()->setValue(3000);
    QTest::keyClick(dialog->fadeEdit(), Qt::Key_Escape);
    EXPECT_TRUE(closedAndDeleted());
    EXPECT_FALSE(QFile::exists(path()));

    // Enter in an open device list picks the device; it is not the dialog's OK.
    ASSERT_NO_FATAL_FAILURE(open());
    dialog->mixEdit()->setValue(3000);
    dialog->outputList()->showPopup();
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    QTest::keyClick(popup, Qt::Key_Return);
    EXPECT_FALSE(QFile::exists(path()));
    ASSERT_NE(dialog, nullptr);

    QTest::keyClick(dialog->fadeEdit(), Qt::Key_Return);
    EXPECT_TRUE(closedAndDeleted());
    EXPECT_EQ(running.mixLeadMs, 3000);
}

// Through the window: each click on the setup button makes a new dialog, a fade after OK lasts
// the new FADE, and the loudness setting holds from then on.
TEST(SetupFromTheWindowTest, SetupButtonOpensANewDialogAndFadesUseTheNewFade) {
    QTemporaryDir dir;
    RecordingMessages messages;
    audio::testing::HandEngine sound{{"Bandora_Out"}};
    app::MainWindowEnvironment env;
    env.programDir = dir.path();
    env.messages = &messages;
    env.sound = sound.engine.get();
    env.screenSize = QSize(1280, 1024);
    app::MainWindow w(env);
    w.showOnScreen();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    strip(w).setupButton()->click();
    QPointer<SetupDialog> first = w.findChild<SetupDialog*>();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowActive(first.data()));
    strip(w).setupButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w.findChildren<SetupDialog*>().size(), first ? 2 : 1);
    SetupDialog* second = w.findChildren<SetupDialog*>().constLast();
    EXPECT_NE(second, first.data());
    ASSERT_TRUE(QTest::qWaitForWindowActive(second));
    second->fadeEdit()->setValue(1500);
    second->loudnessBox()->setChecked(true);
    second->okButton()->click();
    EXPECT_EQ(w.session().deviceSettings().fadeMs, 1500);
    EXPECT_EQ(w.session().extSettings(), (config::ExtSettings{true, -23}))
        << "normalisation at once";

    const QString file = dir.filePath(QStringLiteral("tone.wav"));
    enginetest::writeWav(file.toStdString(), {44100, 2, enginetest::SampleFormat::S16, 441000},
                         enginetest::sine(440, 44100));
    carts::Cart& slot = session::WallSessionAccess::wall(w.session()).table[1];
    slot.name = QStringLiteral("VINHETA");
    slot.path = file;
    slot.setStopMode(carts::StopMode::Fade); // stop with a fade
    w.session().click(1);                    // on air
    w.session().click(1);                    // fades
    audio::CartPlayer& player = session::WallSessionAccess::cartPlayer(w.session(), 1);
    ASSERT_TRUE(player.isFading());
    sound.renderFed({player.channel()}, 44100 * 1490 / 1000);
    sound.engine->dispatchEvents();
    EXPECT_TRUE(player.isPlaying());
    sound.renderFed({player.channel()}, 44100 * 20 / 1000);
    sound.engine->dispatchEvents();
    EXPECT_FALSE(player.isPlaying()) << "the fade lasted the new FADE";
}

} // namespace
