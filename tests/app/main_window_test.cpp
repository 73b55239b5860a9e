// The cart wall window on a real X display: geometry, fit to the screen, drag, settings.
#include "app/cart_wall_panel.h"
#include "app/control_strip.h"
#include "app/layout_scaling.h"
#include "app/main_window.h"
#include "app/window_access.h"
#include "widgets/window_mover.h"
#include "app/wall_menus.h"
#include "audio/hand_devices.h"
#include "safety/as_run_log.h"
#include "support/recording_messages.h"
#include "widgets/cart_button.h"
#include "widgets/fader.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using app::MainWindow;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    std::unique_ptr<MainWindow> makeWindow(QSize screen = QSize(1280, 1024),
                                           const QString& programDir = QString()) {
        app::MainWindowEnvironment env;
        env.programDir = programDir.isEmpty() ? dir.path() : programDir;
        env.messages = &messages;
        env.sound = sound.engine.get();
        env.screenSize = screen;
        return std::make_unique<MainWindow>(env);
    }
    QByteArray readFile(const QString& name) {
        QFile f(QDir(dir.path()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeFile(const QString& name, const QByteArray& data) {
        QFile f(QDir(dir.path()).filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

    QTemporaryDir dir;
    RecordingMessages messages;
    audio::testing::HandEngine sound;
};

int fitted(int value, int from, int to) {
    return static_cast<int>(std::nearbyint(value * static_cast<double>(to) / from));
}

TEST_F(MainWindowTest, WallIsBuiltInNumberOrderAtDesignGeometry) {
    auto w = makeWindow(QSize(1000, 700)); // refused screen: no 100/98 scaling, design geometry
    const QList<QWidget*> controls = wallPanel(*w).controls();
    ASSERT_EQ(controls.size(), 97);
    EXPECT_EQ(controls[0], wallPanel(*w).statusLabel());
    EXPECT_EQ(cartButton(*w, 1)->geometry(), QRect(4, 28, 120, 42));
    EXPECT_EQ(cartButton(*w, 9)->geometry(), QRect(4, 72, 120, 42));
    EXPECT_EQ(cartButton(*w, 96)->geometry(), QRect(851, 512, 120, 42));
    EXPECT_EQ(cartButton(*w, 96)->badge(), QStringLiteral("96"));
    EXPECT_EQ(cartButton(*w, 9)->badge(), QStringLiteral("09"));
    EXPECT_EQ(cartButton(*w, 9)->tag(), 9);
}

TEST_F(MainWindowTest, SmallScreenIsRefusedWithTheResolutionMessage) {
    auto w = makeWindow(QSize(800, 600));
    EXPECT_TRUE(w->creationRefused());
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0], QStringLiteral("Resolução de tela não é compatível com este "
                                                "sistema - Mínimo 1024x768\rConsulte Quallon "
                                                "Sistemas"));
    EXPECT_FALSE(w->isVisible());
}

TEST_F(MainWindowTest, ShownWindowFillsTheScreenAndScalesEveryControl) {
    auto w = makeWindow();
    ASSERT_FALSE(w->creationRefused());
    // What each control measures after the 100/98 scaling of creation.
    QList<QRect> before;
    for (QWidget* c : wallPanel(*w).controls()) {
        before.append(c->geometry());
    }
    const QRect panel2Before = strip(*w).geometry();
    w->showOnScreen();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    EXPECT_EQ(w->size(), QSize(1280, 1024));

    const QList<QWidget*> controls = wallPanel(*w).controls();
    for (int i = 0; i < controls.size(); ++i) {
        const QRect r = controls[i]->geometry();
        EXPECT_EQ(r.x(), fitted(before[i].x(), 1035, 1280)) << i;
        EXPECT_EQ(r.width(), fitted(before[i].width(), 1035, 1280)) << i;
        EXPECT_EQ(r.y(), fitted(before[i].y(), 768, 1024)) << i;
        EXPECT_EQ(r.height(), fitted(before[i].height(), 768, 1024)) << i;
    }
    EXPECT_EQ(strip(*w).width(), fitted(panel2Before.width(), 1035, 1280));

    // A second show at the same size changes nothing: the layout was fitted to this size.
    QList<QRect> once;
    for (QWidget* c : controls) {
        once.append(c->geometry());
    }
    w->hide();
    w->showOnScreen();
    for (int i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(controls[i]->geometry(), once[i]) << i;
    }
}

TEST_F(MainWindowTest, CreationScalesByHundredOverNinetyEight) {
    auto w = makeWindow();
    EXPECT_EQ(cartButton(*w, 9)->geometry(), app::scaleBy(QRect(4, 72, 120, 42), 100, 98));
    EXPECT_EQ(cartButton(*w, 96)->geometry(), app::scaleBy(QRect(851, 512, 120, 42), 100, 98));
}

TEST_F(MainWindowTest, LeftDragOnTheStripMovesTheWindowRightDragDoesNot) {
    auto w = makeWindow();
    w->showOnScreen();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    const QPoint start(500, strip(*w).height() - 20);
    const QPoint origin = w->pos();

    QTest::mousePress(&strip(*w), Qt::RightButton, {}, start);
    QTest::mouseMove(&strip(*w), start + QPoint(40, 25));
    QTest::mouseRelease(&strip(*w), Qt::RightButton, {}, start + QPoint(40, 25));
    EXPECT_FALSE(w->findChild<widgets::WindowMover*>()->isMoving());
    EXPECT_EQ(w->pos(), origin);

    QTest::mousePress(&strip(*w), Qt::LeftButton, {}, start);
    EXPECT_TRUE(w->findChild<widgets::WindowMover*>()->isMoving());
    QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(30, 20)),
                     strip(*w).mapToGlobal(QPointF(start + QPoint(30, 20))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&strip(*w), &move);
    QTest::mouseRelease(&strip(*w), Qt::LeftButton, {}, start + QPoint(30, 20));
    EXPECT_FALSE(w->findChild<widgets::WindowMover*>()->isMoving());
    QTRY_COMPARE(w->pos(), origin + QPoint(30, 20));
}

TEST_F(MainWindowTest, MenusCarryTheirCaptionsTagsAndShortcuts) {
    auto w = makeWindow();
    QAction* about = action(*w, QStringLiteral("aboutAction"));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->text(), QStringLiteral("Sobre o Software"));
    EXPECT_EQ(about->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(action(*w, QStringLiteral("searchAudioAction"))->shortcut(), QKeySequence(Qt::Key_F3));
    EXPECT_EQ(action(*w, QStringLiteral("profileListAction"))->shortcut(),
              QKeySequence(Qt::Key_F10));
    EXPECT_EQ(action(*w, QStringLiteral("pasteAction"))->data().toInt(), 18);
    EXPECT_EQ(action(*w, QStringLiteral("pasteAction"))->text(), QStringLiteral("Colar Cartucho"));
    EXPECT_TRUE(action(*w, QStringLiteral("stopWithCutAction"))->isChecked());
    const QList<QAction*> items = menu(*w, "cartMenu")->actions();
    EXPECT_EQ(items.size(), 24);
    const auto at = [&](const char* name) {
        return items.indexOf(action(*w, QString::fromLatin1(name)));
    };
    EXPECT_EQ(action(*w, QStringLiteral("markersAction"))->text(),
              QStringLiteral("Marcas do Áudio"));
    EXPECT_EQ(at("markersAction"), at("propertiesAction") + 1);
    EXPECT_EQ(at("learnMidiAction"), at("markersAction") + 1);
}

TEST_F(MainWindowTest, F1AnywhereInTheWindowShowsTheAboutBox) {
    auto w = makeWindow();
    w->showOnScreen();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    int shown = 0;
    QObject::connect(w.get(), &MainWindow::aboutShown, [&] {
        ++shown;
        QTimer::singleShot(0, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
        });
    });
    QTest::keyClick(cartButton(*w, 5), Qt::Key_F1);
    EXPECT_EQ(shown, 1);
}

TEST_F(MainWindowTest, QuitAsksAndClosesOnlyOnOk) {
    auto w = makeWindow();
    w->showOnScreen();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    messages.answer = false;
    strip(*w).quitButton()->click();
    ASSERT_EQ(messages.asked, QStringList{QStringLiteral("Deseja Sair do Bandora ?")});
    EXPECT_TRUE(w->isVisible());
    messages.answer = true;
    strip(*w).quitButton()->click();
    EXPECT_FALSE(w->isVisible());
}

TEST_F(MainWindowTest, FreshInstallStartsWithDesignStateAndWritesThreeLinesOnClose) {
    auto w = makeWindow();
    EXPECT_TRUE(QDir(dir.path()).exists(QStringLiteral("ARQUIVOS")));
    EXPECT_EQ(strip(*w).masterFader()->position(), 100);
    EXPECT_FALSE(strip(*w).autoFadeBox()->isChecked());
    EXPECT_TRUE(strip(*w).autoMixBox()->isChecked());
    strip(*w).masterFader()->setPosition(64);
    strip(*w).autoFadeBox()->setChecked(true);
    w->close();
    EXPECT_EQ(readFile(QStringLiteral("bandoracfg.ini")),
              QByteArray("VOLUME=64\r\nAUTO_FADE=1\r\nAUTO_MIX=1\r\n"));
}

TEST_F(MainWindowTest, SettingsFileWithOnlyVolumeTicksBothSwitches) {
    writeFile(QStringLiteral("bandoracfg.ini"), "VOLUME=40\r\n");
    auto w = makeWindow();
    EXPECT_EQ(strip(*w).masterFader()->position(), 40);
    EXPECT_TRUE(strip(*w).autoFadeBox()->isChecked());
    EXPECT_TRUE(strip(*w).autoMixBox()->isChecked());
}

TEST_F(MainWindowTest, UnwritableSettingsAreReportedAndTheWindowStillCloses) {
    auto w = makeWindow();
    QDir(dir.path()).mkdir(QStringLiteral("bandoracfg.ini")); // a folder where the file goes
    w->close();
    EXPECT_TRUE(messages.shown.contains(QStringLiteral("Erro ao Gravar configuração do Sistema")));
}

TEST_F(MainWindowTest, MovingOverTheStripShowsTheProfileLine) {
    auto w = makeWindow();
    w->showOnScreen();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QTest::mouseMove(&strip(*w), QPoint(600, strip(*w).height() - 10));
    QTRY_COMPARE(wallPanel(*w).statusLabel()->text(), QStringLiteral("Perfil Atual: "));
}

} // namespace

TEST_F(MainWindowTest, ProgramFolderThatCannotBeWrittenIsSaidOnceAtStart) {
    // /proc refuses new files even to root, as a read-only mount or a folder without rights does.
    auto w = makeWindow(QSize(1280, 1024), QStringLiteral("/proc/self"));
    w->showOnScreen();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    const auto isReadOnlyWarning = [](const QString& text) {
        return text.startsWith(QStringLiteral("A pasta do programa não permite gravação:"));
    };
    // The as-run log cannot be written there either: one message says both.
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(isReadOnlyWarning(messages.shown[0]));
    EXPECT_TRUE(messages.shown[0].endsWith(safety::AsRunLog::unwritableMessage()));

    w.reset();
    messages.shown.clear();
    writeFile(QStringLiteral("LOG"), "a file where the log folder goes");
    auto ok = makeWindow(); // a writable folder whose log folder cannot be made
    ok->showOnScreen();
    ASSERT_TRUE(QTest::qWaitForWindowActive(ok.get()));
    EXPECT_EQ(messages.shown.count(safety::AsRunLog::unwritableMessage()), 1);
    EXPECT_EQ(std::count_if(messages.shown.begin(), messages.shown.end(), isReadOnlyWarning), 0);
}
