// The profile controls of the real window: the box and its buttons, the box's menu, the F10
// list, the new-profile dialog and the question when the window closes with a changed wall.
#include "app/cart_wall_panel.h"
#include "app/control_strip.h"
#include "app/main_window.h"
#include "app/window_access.h"
#include "app/new_profile_dialog.h"
#include "session/profile_commands.h"
#include "app/wall_menus.h"
#include "audio/hand_devices.h"
#include "carts/profile_folder.h"
#include "carts/profile_format.h"
#include "engine/test_media.h"
#include "support/recording_messages.h"
#include "widgets/cart_button.h"
#include "support/wall_session_access.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class ProfileWindowTest : public ::testing::Test {
protected:
    void start() {
        app::MainWindowEnvironment env;
        env.programDir = dir.path();
        env.messages = &messages;
        env.sound = sound.engine.get();
        env.screenSize = QSize(1280, 1024);
        w = std::make_unique<app::MainWindow>(env);
        w->showOnScreen();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }
    void writeProfile(const QString& name, int cart, const QString& caption) {
        carts::CartTable table;
        table[cart].reset();
        table[cart].name = caption;
        table[cart].path = QStringLiteral("/a/") + caption + QStringLiteral(".mp3");
        ASSERT_TRUE(folder.write(name, carts::profileLines(table)));
    }
    // Runs `step` on the modal dialog that the next action opens.
    static void onNextModal(std::function<void(QWidget*)> step) {
        QTimer::singleShot(0, [step] {
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            step(modal);
        });
    }
    QComboBox* box() const { return strip(*w).profileBox(); }

    QTemporaryDir dir;
    carts::ProfileFolder folder{dir.path()};
    RecordingMessages messages;
    audio::testing::HandEngine sound;
    std::unique_ptr<app::MainWindow> w;
};

} // namespace

TEST_F(ProfileWindowTest, FirstActivationListsProfilesAndAtivarLoadsTheSelectedOne) {
    writeProfile(QStringLiteral("TARDE"), 3, QStringLiteral("BOA TARDE"));
    writeProfile(QStringLiteral("manha"), 1, QStringLiteral("BOM DIA"));
    start();
    ASSERT_EQ(box()->count(), 2);
    EXPECT_EQ(box()->itemText(0), QStringLiteral("manha"));
    EXPECT_TRUE(strip(*w).activateButton()->isEnabled());
    EXPECT_TRUE(strip(*w).saveButton()->isEnabled());

    box()->setCurrentIndex(1);
    strip(*w).activateButton()->click();
    EXPECT_EQ(cartButton(*w, 3)->caption(), QStringLiteral("BOA TARDE"));
    EXPECT_EQ(wallPanel(*w).statusLabel()->text(), QStringLiteral("Perfil Atual: TARDE"));
    EXPECT_EQ(w->session().wall().currentProfile, QStringLiteral("TARDE"));
}

// A cart's first click must not wait for its file to be opened: the switch has them opened in
// the background.
TEST_F(ProfileWindowTest, TheNewWallsFilesAreOpenedAheadAfterASwitch) {
    writeProfile(QStringLiteral("A"), 1, QStringLiteral("UM"));
    carts::CartTable table;
    for (const int n : {1, 40}) {
        table[n].reset();
        table[n].name = QString::number(n);
        table[n].path = dir.filePath(QStringLiteral("%1.wav").arg(n));
        enginetest::writeWav(table[n].path.toStdString(), {}, enginetest::sine(440, 44100));
    }
    ASSERT_TRUE(folder.write(QStringLiteral("B"), carts::profileLines(table)));
    start();
    box()->setCurrentIndex(1);
    strip(*w).activateButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return sound.engine->prefetchedCount() == 2; }));
}

TEST_F(ProfileWindowTest, WithoutProfilesTheButtonsAreOffAndTheF10ListIsEmpty) {
    start();
    EXPECT_FALSE(strip(*w).activateButton()->isEnabled());
    EXPECT_FALSE(strip(*w).saveButton()->isEnabled());
    QMenu* list = menu(*w, "profileListMenu");
    w->showProfileList();
    EXPECT_TRUE(list->actions().isEmpty());
    list->close();
}

TEST_F(ProfileWindowTest, F10ListIsRebuiltOnOpeningAndItsItemsSwitchProfiles) {
    writeProfile(QStringLiteral("A"), 1, QStringLiteral("ONE"));
    start();
    writeProfile(QStringLiteral("B"), 2, QStringLiteral("TWO"));
    w->session().listProfiles(); // as a new or deleted profile does
    QMenu* list = menu(*w, "profileListMenu");
    QTest::keyClick(cartButton(*w, 1), Qt::Key_F10);
    EXPECT_TRUE(list->isVisible());
    list->close();
    ASSERT_EQ(list->actions().size(), 2);
    EXPECT_EQ(list->actions().at(1)->text(), QStringLiteral("B"));

    list->actions().at(1)->trigger();
    EXPECT_EQ(cartButton(*w, 2)->caption(), QStringLiteral("TWO"));
    EXPECT_EQ(box()->currentIndex(), 1);
}

TEST_F(ProfileWindowTest, NewProfileDialogTakesAnUpperCaseNameAndWritesABlankProfile) {
    start();
    onNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<app::NewProfileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Novo Perfil"));
        EXPECT_FALSE(dialog->okButton()->isEnabled());
        QTest::keyClicks(dialog->nameEdit(), QStringLiteral("noite"));
        EXPECT_EQ(dialog->nameEdit()->text(), QStringLiteral("NOITE"));
        EXPECT_TRUE(dialog->okButton()->isEnabled());
        dialog->nameEdit()->setText(QString(250, u'x'));
        EXPECT_EQ(dialog->nameEdit()->text().size(), app::NewProfileDialog::kMaxNameLength);
        dialog->nameEdit()->setText(QStringLiteral("NOITE"));
        QTest::keyClick(dialog->nameEdit(), Qt::Key_Return);
    });
    strip(*w).newProfileButton()->click();
    EXPECT_EQ(box()->count(), 1);
    EXPECT_EQ(box()->itemText(0), QStringLiteral("NOITE"));
    EXPECT_TRUE(strip(*w).activateButton()->isEnabled());
    EXPECT_TRUE(folder.exists(QStringLiteral("NOITE")));

    // Shown again, the field starts empty; the box's menu opens the same dialog.
    onNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<app::NewProfileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->nameEdit()->text().isEmpty());
        dialog->cancelButton()->click();
    });
    action(*w, QStringLiteral("newProfileAction"))->trigger();
    EXPECT_EQ(box()->count(), 1);
}

TEST_F(ProfileWindowTest, BoxMenuSavesAndDeletes) {
    writeProfile(QStringLiteral("SHOW"), 1, QStringLiteral("ONE"));
    start();
    strip(*w).activateButton()->click();
    w->session().setStopMode(1, carts::StopMode::Cut); // an edit the profile line stores
    ASSERT_TRUE(w->session().wall().profileChanged);
    action(*w, QStringLiteral("saveProfileAction"))->trigger();
    EXPECT_EQ(folder.read(QStringLiteral("SHOW"))->slot(1).stopMode(), carts::StopMode::Cut);
    EXPECT_FALSE(w->session().wall().profileChanged);

    messages.answer = true;
    action(*w, QStringLiteral("deleteProfileAction"))->trigger();
    EXPECT_EQ(messages.asked.last(), session::deleteProfileQuestion());
    EXPECT_FALSE(folder.exists(QStringLiteral("SHOW")));
    EXPECT_EQ(box()->count(), 0);
}

TEST_F(ProfileWindowTest, ClosingWithAChangedWallAsksAndCanStayOpen) {
    writeProfile(QStringLiteral("SHOW"), 1, QStringLiteral("ONE"));
    start();
    session::WallSessionAccess::wall(w->session()).profileChanged = true;
    messages.answer = true;
    onNextModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    w->close(); // as the window manager closes it
    EXPECT_EQ(messages.asked, QStringList{session::profileChangedQuestion()});
    EXPECT_TRUE(w->isVisible()); // no name was given: nothing lost

    session::WallSessionAccess::wall(w->session()).currentProfile = QStringLiteral("SHOW");
    session::WallSessionAccess::wall(w->session()).table[4].name = QStringLiteral("LIVE");
    strip(*w).quitButton()->click(); // "Deseja Sair", then the profile question
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(folder.read(QStringLiteral("SHOW"))->slot(4).name, QStringLiteral("LIVE"));
}
