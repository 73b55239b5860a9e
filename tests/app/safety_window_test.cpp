// Show safety on the real wall window (no-sound device): the recovery question at start and
// what each answer leaves, the journal following the wall, the panic keys of both windows and
// the window menu's log item.
#include "app/main_window.h"
#include "app/wall_menus.h"
#include "app/window_access.h"
#include "app/window_fixture.h"
#include "audio/engine/sound_engine.h"
#include "carts/editing_fakes.h"
#include "config/device_settings.h"
#include "engine/test_media.h"
#include "safety/wall_journal.h"
#include "session/block_sequencer.h"
#include "support/qstring_print.h"
#include "support/recording_messages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// Takes the URLs the window asks the desktop to open.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class SafetyWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A fade still under way when the test looks.
        ASSERT_TRUE(writeSilentDevices(dir.path(), 5000));
    }
    void TearDown() override { w.reset(); }

    void create(QSize screen) {
        w = std::make_unique<app::MainWindow>(
            windowEnvironment(dir.path(), messages, *sound, dialogs, screen));
    }
    void start() {
        create(QSize(1280, 1024));
        w->showOnScreen();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }
    QString tone(const QString& name, int ms) { return writeTone(dir.filePath(name), 440, ms); }
    void hover(int n) { hoverCart(*w, n); }
    void insert(int n, const QString& path) {
        dialogs.files.push_back(path);
        hover(n);
        action(*w, QStringLiteral("insertAudioAction"))->trigger();
    }
    void click(int n, Qt::KeyboardModifiers modifiers = {}) {
        hover(n);
        QTest::mouseClick(cartButton(*w, n), Qt::LeftButton, modifiers);
    }
    session::CartState stateOf(int n) { return w->session().cartState(n); }
    const carts::Cart& slot(int n) { return w->session().wall().table[n]; }
    QString journalPath() { return dir.filePath(safety::WallJournal::fileName()); }
    QStringList setAsideJournals() {
        return QDir(dir.path()).entryList({QStringLiteral("bandorajournal-*.bak")});
    }
    // The journal a run that died would leave: cart 4 loaded and queued, a changed wall.
    void leaveJournal(const QString& cartPath) {
        safety::JournalState state;
        state.table[4].name = QStringLiteral("VINHETA");
        state.table[4].path = cartPath;
        state.table[4].setDurationMs(2000);
        state.block = {4};
        state.profile = QStringLiteral("MANHÃ");
        state.changed = true;
        safety::WallJournal journal(dir.path());
        journal.write(state);
        journal.flush();
    }
    std::optional<safety::JournalState> journalOnDisk() {
        QFile file(journalPath());
        if (!file.open(QIODevice::ReadOnly)) {
            return std::nullopt;
        }
        return safety::stateFromJournalText(file.readAll(), [](const QString&) { return true; });
    }

    QTemporaryDir dir;
    RecordingMessages messages;
    carts::testing::FakeDialogs dialogs;
    std::unique_ptr<audio::engine::SoundEngine> sound = audio::engine::makeSoundEngine();
    std::unique_ptr<app::MainWindow> w;
};

TEST_F(SafetyWindowTest, OkToTheRecoveryQuestionRestoresTheWallWithoutPlaying) {
    leaveJournal(tone(QStringLiteral("vinheta.wav"), 2000));
    start();
    ASSERT_EQ(messages.asked, QStringList{safety::WallJournal::recoveryQuestion()});
    EXPECT_EQ(slot(4).name, QStringLiteral("VINHETA"));
    EXPECT_EQ(cartButton(*w, 4)->caption(), QStringLiteral("VINHETA"));
    EXPECT_EQ(w->session().block().queue(), QStringList{QStringLiteral("04")});
    EXPECT_EQ(w->session().wall().currentProfile, QStringLiteral("MANHÃ"));
    EXPECT_TRUE(w->session().wall().profileChanged);
    QTest::qWait(300);
    EXPECT_EQ(stateOf(4), session::CartState::Queued); // queued, not on air

    // The restored wall is journalled again, and a normal end removes the journal.
    QTRY_VERIFY(journalOnDisk().has_value());
    messages.answer = false; // the changed wall is not saved at the end
    w->close();
    EXPECT_FALSE(QFile::exists(journalPath()));
    EXPECT_TRUE(setAsideJournals().isEmpty());
}

TEST_F(SafetyWindowTest, CancelKeepsTheEmptyWallAndSetsTheJournalAside) {
    leaveJournal(tone(QStringLiteral("vinheta.wav"), 2000));
    messages.answer = false;
    start();
    ASSERT_EQ(messages.asked, QStringList{safety::WallJournal::recoveryQuestion()});
    EXPECT_FALSE(slot(4).isLoaded());
    EXPECT_TRUE(w->session().block().isEmpty());
    EXPECT_FALSE(QFile::exists(journalPath()));
    EXPECT_EQ(setAsideJournals().size(), 1);
}

TEST_F(SafetyWindowTest, ScreenTooSmallKeepsTheJournalForTheNextStart) {
    leaveJournal(tone(QStringLiteral("vinheta.wav"), 2000));
    create(QSize(800, 600)); // refused: the window closes at once
    ASSERT_TRUE(w->creationRefused());
    EXPECT_TRUE(messages.asked.isEmpty());
    EXPECT_TRUE(QFile::exists(journalPath()));
}

TEST_F(SafetyWindowTest, UnreadableJournalIsSetAsideAndSaidOnce) {
    QFile damaged(journalPath());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("|004|VINHETA|/cut/short");
    damaged.close();
    start();
    EXPECT_TRUE(messages.asked.isEmpty());
    const QStringList aside = setAsideJournals();
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(messages.shown, QStringList{safety::WallJournal::unreadableMessage(aside.first())});
}

TEST_F(SafetyWindowTest, JournalFollowsProfileCartsBlockAndChangedFlag) {
    QFile profile(dir.filePath(QStringLiteral("MANHA.PFL")));
    ASSERT_TRUE(profile.open(QIODevice::WriteOnly));
    for (int n = 1; n <= 96; ++n) {
        profile.write(QStringLiteral("|%1||||||||\r\n").arg(n, 3, 10, QChar(u'0')).toLatin1());
    }
    profile.close();
    start();
    ASSERT_EQ(w->session().activateProfile(QStringLiteral("MANHA")), QString());
    QTRY_VERIFY(journalOnDisk() && journalOnDisk()->profile == QStringLiteral("MANHA"));
    EXPECT_FALSE(journalOnDisk()->changed);

    const QString path = tone(QStringLiteral("a.wav"), 2000);
    insert(3, path);
    QTRY_VERIFY(journalOnDisk() && journalOnDisk()->table[3].path == path);
    EXPECT_TRUE(journalOnDisk()->changed);
    click(3, Qt::ShiftModifier);
    QTRY_VERIFY(journalOnDisk() && journalOnDisk()->block == QList<int>{3});
    w->session().saveWall(); // only the changed flag changes
    QTRY_VERIFY(journalOnDisk() && !journalOnDisk()->changed);
}

TEST_F(SafetyWindowTest, PanicKeysFadeOrCutEveryCartOnAirInBothWindows) {
    start();
    insert(1, tone(QStringLiteral("a.wav"), 20000));
    insert(2, tone(QStringLiteral("b.wav"), 20000));
    insert(5, tone(QStringLiteral("c.wav"), 20000));
    QList<session::PlayEnd> ends;
    QObject::connect(&w->session(), &session::WallSession::playEnded,
                     [&](const session::PlayInfo&, session::PlayEnd end) { ends.append(end); });
    click(1);
    click(2);
    click(5, Qt::ShiftModifier); // queued, so the block would go on
    QTest::keyClick(w.get(), Qt::Key_F12);
    EXPECT_EQ(stateOf(1), session::CartState::Fading);
    EXPECT_EQ(stateOf(2), session::CartState::Fading);
    EXPECT_TRUE(w->session().block().isEmpty());

    w->showSearch();
    auto& search = searchWindow(*w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&search));
    QTest::keyClick(&search, Qt::Key_F12, Qt::ShiftModifier);
    EXPECT_EQ(stateOf(1), session::CartState::Loaded);
    EXPECT_EQ(stateOf(2), session::CartState::Loaded);
    EXPECT_EQ(ends, (QList<session::PlayEnd>{session::PlayEnd::Panic, session::PlayEnd::Panic}));
}

TEST_F(SafetyWindowTest, LogItemOpensTodaysFileOrTheLogFolder) {
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    start();
    const QList<QAction*> items = menu(*w, "windowMenu")->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[2]->text(), QStringLiteral("Registro de Execução"));
    items[2]->trigger(); // nothing played yet today
    const QString folder = dir.filePath(QStringLiteral("LOG"));
    ASSERT_EQ(opened.urls.size(), 1);
    EXPECT_EQ(opened.urls[0].toLocalFile(), folder);

    insert(1, tone(QStringLiteral("a.wav"), 300));
    click(1);
    const QStringList dayFiles{QStringLiteral("[0-9]*.csv")};
    QTRY_COMPARE_WITH_TIMEOUT(QDir(folder).entryList(dayFiles).size(), 1, 5000);
    items[2]->trigger();
    const QString day = QDir(folder).entryList(dayFiles).first();
    ASSERT_EQ(opened.urls.size(), 2);
    EXPECT_EQ(opened.urls[1].toLocalFile(), QDir(folder).filePath(day));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

} // namespace

#include "safety_window_test.moc"
