// The real wall window on the no-sound device: carts filled through the menu, fired with mouse
// and keys, the block and its automatic mix, CUE, loop, paste and rename.
#include "app/cart_wall_panel.h"
#include "app/control_strip.h"
#include "app/main_window.h"
#include "app/wall_menus.h"
#include "app/window_access.h"
#include "app/window_fixture.h"
#include "audio/cart_player.h"
#include "audio/engine/sound_engine.h"
#include "carts/cart_editing.h"
#include "carts/editing_fakes.h"
#include "config/device_settings.h"
#include "engine/test_media.h"
#include "session/block_sequencer.h"
#include "support/recording_messages.h"
#include "support/wall_session_access.h"
#include "widgets/bgr_color.h"
#include "widgets/cart_button.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>

using app::MainWindow;

namespace {

class WallWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writeSilentDevices(dir.path()));
        w = std::make_unique<MainWindow>(windowEnvironment(dir.path(), messages, *sound, dialogs));
        w->showOnScreen();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }
    void TearDown() override { w.reset(); }

    QString tone(const QString& name, double hz, int ms) {
        return writeTone(dir.filePath(name), hz, ms);
    }
    void hover(int n) { hoverCart(*w, n); }
    void click(int n, Qt::KeyboardModifiers modifiers = {}) {
        hover(n);
        QTest::mouseClick(cartButton(*w, n), Qt::LeftButton, modifiers);
    }
    void menu(int n, const char* name) {
        hover(n);
        action(*w, QString::fromUtf8(name))->trigger();
    }
    // Fills cart n through "Inserir Áudio no Cartucho"; the colour dialog is cancelled.
    void insert(int n, const QString& path) {
        dialogs.files.push_back(path);
        menu(n, "insertAudioAction");
    }
    audio::CartPlayer& player(int n) {
        return session::WallSessionAccess::cartPlayer(w->session(), n);
    }
    // Keys go where the X server sends them: to the focused control.
    QWidget* focused() {
        QWidget* focus = QApplication::focusWidget();
        return focus != nullptr ? focus : w.get();
    }
    carts::Cart& slot(int n) { return session::WallSessionAccess::wall(w->session()).table[n]; }

    QTemporaryDir dir;
    RecordingMessages messages;
    carts::testing::FakeDialogs dialogs;
    std::unique_ptr<audio::engine::SoundEngine> sound = audio::engine::makeSoundEngine();
    std::unique_ptr<MainWindow> w;
};

TEST_F(WallWindowTest, InsertedCartFiresWithAClickAndStopsWithTheNext) {
    insert(7, tone(QStringLiteral("vinheta 01.wav"), 440, 3000));
    EXPECT_EQ(slot(7).name, QStringLiteral("VINHETA 01.WAV"));
    EXPECT_EQ(slot(7).toFields().at(6), QStringLiteral("3000"));
    EXPECT_EQ(cartButton(*w, 7)->caption(), QStringLiteral("VINHETA 01.WA"));
    hover(7);
    EXPECT_EQ(wallPanel(*w).statusLabel()->text(),
              QStringLiteral("Cartucho 07 - VINHETA 01.WAV - 00:00:03"));

    click(7);
    EXPECT_TRUE(player(7).isPlaying());
    EXPECT_EQ(cartButton(*w, 7)->caption(), QStringLiteral("NO AR"));
    EXPECT_EQ(cartButton(*w, 7)->frameWidth(), 10);
    EXPECT_EQ(cartButton(*w, 7)->frameColor(), QColor(255, 0, 0));
    QTRY_VERIFY(player(7).positionMs() > 100); // the no-sound device consumes in real time

    click(7); // never set stop mode: a cut
    EXPECT_FALSE(player(7).isPlaying());
    EXPECT_EQ(cartButton(*w, 7)->caption(), QStringLiteral("VINHETA 01.WA"));
    EXPECT_EQ(cartButton(*w, 7)->frameWidth(), 1);
    EXPECT_EQ(strip(*w).clockLabel()->text(), QStringLiteral("00:00:00"));
}

TEST_F(WallWindowTest, CtrlLetterSkipsTheCartOnAirAndFiresTheNextWithThatMarker) {
    const QString path = tone(QStringLiteral("a.wav"), 440, 3000);
    for (int n : {4, 9}) {
        insert(n, path);
        dialogs.names.push_back(QStringLiteral("&VINHETA %1").arg(n));
        menu(n, "renameAction");
    }
    QTest::keyClick(focused(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(player(4).isPlaying());
    EXPECT_FALSE(player(9).isPlaying());
    QTest::keyClick(focused(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(player(9).isPlaying());
    QTest::keyClick(focused(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(player(4).isPlaying() && player(9).isPlaying());
}

TEST_F(WallWindowTest, AltCutsAFadingCart) {
    insert(2, tone(QStringLiteral("a.wav"), 440, 5000));
    menu(2, "stopWithFadeAction");
    EXPECT_EQ(slot(2).toFields().at(3), QStringLiteral("0"));
    click(2);
    click(2);
    ASSERT_TRUE(player(2).isFading());
    QTest::keyClick(cartButton(*w, 2), Qt::Key_Alt);
    EXPECT_FALSE(player(2).isPlaying());
}

// The box reaches the session: a click on another cart fades the one on air.
TEST_F(WallWindowTest, AutoFadeBoxFadesTheCartOnAirAtTheNextClick) {
    insert(1, tone(QStringLiteral("a.wav"), 440, 5000));
    insert(2, tone(QStringLiteral("b.wav"), 880, 5000));
    strip(*w).autoFadeBox()->setChecked(true);
    click(1);
    click(2);
    EXPECT_TRUE(player(1).isFading());
    EXPECT_TRUE(player(2).isPlaying());
}

TEST_F(WallWindowTest, CueButtonLightsAndSendsAClickToTheCuePlayer) {
    insert(5, tone(QStringLiteral("a.wav"), 440, 5000));
    QTest::mouseClick(strip(*w).cueButton(), Qt::LeftButton);
    EXPECT_EQ(strip(*w).cueButton()->buttonColor(), QColor(255, 0, 0));
    EXPECT_EQ(strip(*w).cueButton()->frameWidth(), 4);
    click(5);
    EXPECT_TRUE(w->session().cuePlayer().isPlaying());
    EXPECT_EQ(w->session().cuePlayer().cartIndex(), 5);
    EXPECT_FALSE(player(5).isPlaying());
}

TEST_F(WallWindowTest, LoopRestartsTheCartAtItsEnd) {
    insert(3, tone(QStringLiteral("short.wav"), 440, 400));
    click(3);
    // Keeps the caption from being replaced by the count-down.
    session::WallSessionAccess::displayTimer(w->session()).stop();
    menu(3, "loopAction");
    EXPECT_EQ(cartButton(*w, 3)->caption(), QStringLiteral("LOOP"));
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(700);
    EXPECT_TRUE(player(3).isPlaying()); // past its 400 ms: it started again
    EXPECT_EQ(cartButton(*w, 3)->caption(), QStringLiteral("LOOP"));
    click(3); // the click clears the flag, then stops it for good
    EXPECT_FALSE(player(3).isPlaying());
    EXPECT_EQ(slot(3).toFields().at(4), QStringLiteral("0"));
}

TEST_F(WallWindowTest, ShiftPressQueuesInOrderAndSuppressesExactlyOneClick) {
    const QString path = tone(QStringLiteral("a.wav"), 440, 20000);
    for (int n : {12, 3, 40, 50}) {
        insert(n, path);
    }
    strip(*w).autoMixBox()->setChecked(false);
    for (int n : {12, 3, 40}) {
        click(n, Qt::ShiftModifier);
    }
    EXPECT_FALSE(player(12).isPlaying()); // the click ending a Shift press does nothing
    ASSERT_EQ(strip(*w).blockList()->count(), 3);
    EXPECT_EQ(strip(*w).blockList()->item(0)->text(), QStringLiteral("12"));
    EXPECT_EQ(strip(*w).blockList()->item(1)->text(), QStringLiteral("03"));
    EXPECT_EQ(strip(*w).blockList()->item(2)->text(), QStringLiteral("40"));
    EXPECT_EQ(strip(*w).blockCountLabel()->text(), QStringLiteral("3"));
    EXPECT_EQ(strip(*w).clockLabel()->text(), QStringLiteral("00:01:00"));
    EXPECT_TRUE(cartButton(*w, 3)->marked());

    click(50); // the block's head plays (its order is the session's, tested there)
    EXPECT_TRUE(player(12).isPlaying());
    EXPECT_FALSE(player(50).isPlaying());
    EXPECT_EQ(strip(*w).blockList()->count(), 2);
}

TEST_F(WallWindowTest, OneClickPlaysTheWholeBlockWithSeguesAtTheMixPoint) {
    const int mixLead = w->session().deviceSettings().mixLeadMs;
    for (int n : {1, 2, 3}) {
        insert(n, tone(QStringLiteral("c%1.wav").arg(n), 220.0 * n, 1500));
        click(n, Qt::ShiftModifier);
    }
    click(1);
    ASSERT_TRUE(player(1).isPlaying());
    // Watched every 2 ms: once the next cart plays, it is as far in as the outgoing cart is past
    // its mix point, as both started on one output frame.
    std::vector<std::int64_t> missedBy;
    int watched = 1;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (watched < 3 && player(watched + 1).isPlaying()) {
            const std::int64_t left = std::int64_t(player(watched).lengthMs()) -
                                      std::int64_t(player(watched).positionMs());
            missedBy.push_back(left + std::int64_t(player(watched + 1).positionMs()) - mixLead);
            ++watched;
        }
    });
    probe.start(2);
    QTRY_VERIFY_WITH_TIMEOUT(watched == 3, 5000);
    ASSERT_EQ(missedBy.size(), 2u);
    for (const std::int64_t ms : missedBy) {
        // The two positions are read one after the other: the mixer may play one 5 ms block in
        // between, and each is rounded down to the millisecond.
        EXPECT_LE(std::abs(ms), 7);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!player(3).isPlaying(), 5000);
    EXPECT_EQ(strip(*w).blockList()->count(), 0);
}

TEST_F(WallWindowTest, AutoMixSwitchedOffBeforeTheMixPointEndsTheSegue) {
    for (int n : {1, 2}) {
        insert(n, tone(QStringLiteral("c%1.wav").arg(n), 330, 1200));
        click(n, Qt::ShiftModifier);
    }
    click(1);
    ASSERT_TRUE(player(1).isPlaying());
    // The box reaches the block: the segue armed by the click is cancelled, cart 1 plays out.
    strip(*w).autoMixBox()->setChecked(false);
    QTRY_VERIFY_WITH_TIMEOUT(!player(1).isPlaying(), 4000);
    EXPECT_FALSE(player(2).isPlaying());
    EXPECT_EQ(strip(*w).blockList()->count(), 1);
}

TEST_F(WallWindowTest, PasteCancelledStillRepaintsTheWall) {
    insert(1, tone(QStringLiteral("a.wav"), 440, 1000));
    insert(2, tone(QStringLiteral("b.wav"), 440, 1000));
    menu(1, "copyAction");
    slot(2).setFaceColour({255}); // a face the button does not show yet
    messages.answer = false;
    menu(2, "pasteAction");
    EXPECT_EQ(messages.asked.last(),
              QStringLiteral("Cartucho já está carregado, Deseja substitui-lo ??"));
    EXPECT_EQ(slot(2).path, dir.filePath(QStringLiteral("b.wav")));
    EXPECT_EQ(cartButton(*w, 2)->buttonColor(), QColor(255, 0, 0));
}

TEST_F(WallWindowTest, CartDeletedOnAirStopsAndLosesItsOnAirLook) {
    insert(6, tone(QStringLiteral("a.wav"), 440, 4000));
    click(6);
    ASSERT_EQ(cartButton(*w, 6)->frameWidth(), 10);
    menu(6, "deleteAudioAction");
    EXPECT_FALSE(player(6).isPlaying());
    EXPECT_TRUE(player(6).isEmpty());
    EXPECT_EQ(cartButton(*w, 6)->caption(), QString());
    EXPECT_EQ(cartButton(*w, 6)->frameWidth(), 1);
}

TEST_F(WallWindowTest, RenameShowsTheWholeNameUntilTheNextRefresh) {
    insert(1, tone(QStringLiteral("a.wav"), 440, 1000));
    const QString thirty = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ1234");
    dialogs.names.push_back(thirty);
    menu(1, "renameAction");
    EXPECT_EQ(cartButton(*w, 1)->caption(), thirty);
    EXPECT_TRUE(w->session().wall().profileChanged);
}

TEST_F(WallWindowTest, FileDroppedFromTheFileManagerLandsOnTheCartUnderThePointer) {
    const QString path = tone(QStringLiteral("palmas.wav"), 660, 1500);
    hover(21);
    auto drop = [&](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPointF at(640, 500); // where it is dropped does not matter
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(w.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(w.get(), &dropped);
        QTest::qWait(50); // the drop is handled once the event has returned
    };
    drop({QUrl::fromLocalFile(path)});
    EXPECT_EQ(slot(21).name, QStringLiteral("PALMAS.WAV"));
    EXPECT_EQ(slot(21).toFields().at(6), QStringLiteral("1500"));
    EXPECT_EQ(cartButton(*w, 21)->caption(), QStringLiteral("PALMAS.WAV"));

    click(21);
    hover(21);
    drop({QUrl::fromLocalFile(path)});
    EXPECT_EQ(messages.shown.last(), QStringLiteral("Cartucho em Execução - Aguarde o Término"));

    hover(22);
    drop({QUrl(QStringLiteral("https://example.com/jingle.mp3"))});
    EXPECT_TRUE(messages.shown.last().startsWith(QStringLiteral("Arquivo de áudio Inválido: ")));
    EXPECT_FALSE(slot(22).isLoaded());
}

TEST_F(WallWindowTest, MenuOfAnEmptyCartOffersOnlyWhatMakesSense) {
    insert(1, tone(QStringLiteral("a.wav"), 440, 1000));
    menu(1, "copyAction");
    hover(30);
    emit ::menu(*w, "cartMenu")->aboutToShow();
    QStringList enabled;
    for (const char* name :
         {"aboutAction", "insertAudioAction", "deleteAudioAction", "faceColourAction",
          "defaultColourAction", "captionColourAction", "propertiesAction", "markersAction",
          "preferencesMenu", "renameAction", "loopAction", "copyAction", "pasteAction",
          "searchAudioAction", "profileListAction"}) {
        if (action(*w, QString::fromUtf8(name))->isEnabled()) {
            enabled << QString::fromUtf8(name);
        }
    }
    EXPECT_EQ(enabled, (QStringList{"aboutAction", "insertAudioAction", "pasteAction",
                                    "searchAudioAction", "profileListAction"}));
    EXPECT_FALSE(action(*w, QStringLiteral("stopWithCutAction"))->isChecked());
    EXPECT_FALSE(action(*w, QStringLiteral("stopWithFadeAction"))->isChecked());
}

} // namespace
