// Rows of the search window dropped on the real wall window, playing on the no-sound device:
// the cart takes the row's file and length, its colour comes from the list or the dialog, a
// cart on air keeps playing its old audio, and F3 and closing reach the search window.
#include "app/control_strip.h"
#include "app/main_window.h"
#include "app/window_access.h"
#include "app/window_fixture.h"
#include "audio/cart_player.h"
#include "audio/engine/sound_engine.h"
#include "carts/cart_editing.h"
#include "carts/editing_fakes.h"
#include "config/device_settings.h"
#include "core/path_bytes.h"
#include "engine/test_media.h"
#include "search/dragged_row.h"
#include "search/file_scanner.h"
#include "search/search_window.h"
#include "support/qstring_print.h"
#include "support/recording_messages.h"
#include "support/wall_session_access.h"
#include "widgets/bgr_color.h"
#include "widgets/cart_button.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

using app::MainWindow;

namespace {

constexpr int kRate = 44100;

class SearchDropTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writeSilentDevices(dir.path()));
        w = std::make_unique<MainWindow>(windowEnvironment(dir.path(), messages, *sound, dialogs));
        w->showOnScreen();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }
    void TearDown() override {
        w.reset();
        // QTemporaryDir cannot remove a file whose name is not UTF-8; the file system calls can.
        std::filesystem::remove_all(dir.path().toStdString());
    }

    // A tone file named by its bytes, so names that are not UTF-8 can be made too.
    QString tone(const QByteArray& name, double hz, int ms) {
        const QByteArray path = core::encodePathBytes(dir.path()) + '/' + name;
        enginetest::WavSpec spec;
        spec.channels = 2;
        spec.frames = static_cast<std::uint64_t>(ms) * kRate / 1000;
        enginetest::writeWav(path.toStdString(), spec, enginetest::sine(hz, kRate, 0.5));
        return core::decodePathBytes(path);
    }
    QPoint centreOf(QWidget* target) const {
        return target->mapTo(w.get(), target->rect().center());
    }
    // The drag arrives over the target and is dropped there; true when the drop was taken.
    bool drop(QWidget* target, const search::DraggedRow& row) {
        const std::unique_ptr<QMimeData> data(search::makeDragData(row));
        const QPoint at = centreOf(target);
        QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &enter);
        QDropEvent dropped(QPointF(at), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &dropped);
        QTest::qWait(20); // the cart is loaded once the drag has ended
        return enter.isAccepted() && dropped.isAccepted();
    }
    bool dropOnCart(int n, const search::DraggedRow& row) { return drop(cartButton(*w, n), row); }
    void hover(int n) { hoverCart(*w, n); }
    void click(int n) {
        hover(n);
        QTest::mouseClick(cartButton(*w, n), Qt::LeftButton);
    }
    audio::CartPlayer& player(int n) {
        return session::WallSessionAccess::cartPlayer(w->session(), n);
    }
    const carts::Cart& slot(int n) { return w->session().wall().table[n]; }
    QColor face(int n) { return cartButton(*w, n)->buttonColor(); }

    QTemporaryDir dir;
    RecordingMessages messages;
    carts::testing::FakeDialogs dialogs;
    std::unique_ptr<audio::engine::SoundEngine> sound = audio::engine::makeSoundEngine();
    std::unique_ptr<MainWindow> w;
};

TEST_F(SearchDropTest, DropOnACartOnAirReplacesItsFileWhileTheOldAudioPlaysOn) {
    const QString first = tone("first.wav", 440, 3000);
    const QString second = tone("second.wav", 880, 2000);
    dialogs.files.push_back(first);
    hover(5);
    action(*w, QStringLiteral("insertAudioAction"))->trigger();
    click(5);
    ASSERT_TRUE(player(5).isPlaying());
    session::WallSessionAccess::wall(w->session()).profileChanged = false;

    dialogs.colours.push_back(0x00AA00);
    const int colourDialogs = dialogs.colourDialogs;
    ASSERT_TRUE(dropOnCart(5, {QStringLiteral("SECOND.WAV"), second, std::nullopt}));
    EXPECT_EQ(slot(5).name, QStringLiteral("SECOND.WAV"));
    EXPECT_EQ(slot(5).path, second);
    EXPECT_EQ(slot(5).toFields().at(6), QStringLiteral("2000"));
    EXPECT_EQ(dialogs.colourDialogs, colourDialogs + 1); // nothing preset: the dialog asks
    EXPECT_EQ(slot(5).toFields().at(2), QString::number(0x00AA00));
    EXPECT_EQ(face(5), widgets::colorFromBgr(0x00AA00));
    EXPECT_EQ(slot(5).toFields().at(5), QStringLiteral("0"));
    EXPECT_EQ(cartButton(*w, 5)->fontColor(), QColor(Qt::black));
    EXPECT_TRUE(w->session().wall().profileChanged);
    EXPECT_TRUE(messages.asked.isEmpty()); // replaced without asking

    // The player goes on with the old audio until the cart is stopped.
    EXPECT_TRUE(player(5).isPlaying());
    EXPECT_EQ(player(5).fileName(), first);
    click(5);
    EXPECT_FALSE(player(5).isPlaying());
    EXPECT_EQ(cartButton(*w, 5)->caption(), QStringLiteral("SECOND.WAV"));
    click(5);
    EXPECT_TRUE(player(5).isPlaying());
    EXPECT_EQ(player(5).fileName(), second);
}

TEST_F(SearchDropTest, PresetColourFromTheListReplacesTheDialogButNotRed) {
    const QString path = tone("long name.wav", 440, 500);
    const int colourDialogs = dialogs.colourDialogs;
    ASSERT_TRUE(dropOnCart(3, {QStringLiteral("ABC DEFGHIJ  XYZ.WAV"), path, 0x800000}));
    EXPECT_EQ(dialogs.colourDialogs, colourDialogs);
    EXPECT_EQ(slot(3).toFields().at(2), QString::number(0x800000));
    EXPECT_EQ(face(3), widgets::colorFromBgr(0x800000));
    // The name stays whole; the caption is its first 13 characters, trimmed.
    EXPECT_EQ(slot(3).name, QStringLiteral("ABC DEFGHIJ  XYZ.WAV"));
    EXPECT_EQ(cartButton(*w, 3)->caption(), QStringLiteral("ABC DEFGHIJ"));

    ASSERT_TRUE(dropOnCart(4, {QStringLiteral("LONG NAME.WAV"), path, carts::kReservedRed.bgr}));
    EXPECT_EQ(messages.shown, QStringList{carts::reservedRedMessage()});
    EXPECT_EQ(slot(4).toFields().at(2), QString::number(carts::kDefaultFaceColour.bgr));
    EXPECT_EQ(face(4), widgets::colorFromBgr(carts::kDefaultFaceColour.bgr));
    EXPECT_EQ(dialogs.colourDialogs, colourDialogs);
}

TEST_F(SearchDropTest, AFileGoneSinceTheSearchGivesThePlayersMessageAndStillLoads) {
    const QString gone = dir.filePath(QStringLiteral("gone.wav"));
    ASSERT_TRUE(dropOnCart(9, {QStringLiteral("GONE.WAV"), gone, 0x008000}));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith(QStringLiteral("ERRO AO CARREGAR CANAL:")))
        << messages.shown[0].toStdString();
    EXPECT_TRUE(messages.shown[0].contains(gone));
    EXPECT_EQ(slot(9).name, QStringLiteral("GONE.WAV"));
    EXPECT_EQ(slot(9).toFields().at(6), QStringLiteral("0"));
    EXPECT_TRUE(session::WallSessionAccess::sparePlayer(w->session()).isEmpty());

    // The wall goes on working.
    const QString other = tone("other.wav", 440, 500);
    ASSERT_TRUE(dropOnCart(10, {QStringLiteral("OTHER.WAV"), other, 0x008000}));
    EXPECT_EQ(slot(10).toFields().at(6), QStringLiteral("500"));
    click(10);
    EXPECT_TRUE(player(10).isPlaying());
}

TEST_F(SearchDropTest, OnlyCartsTakeARow) {
    const QString path = tone("x.wav", 440, 500);
    const search::DraggedRow row{QStringLiteral("X.WAV"), path, 0x008000};
    EXPECT_FALSE(drop(strip(*w).clockLabel(), row));
    EXPECT_FALSE(drop(strip(*w).cueButton(), row)); // a cart button, but no cart
    for (int n = 1; n <= carts::kCartCount; ++n)
        EXPECT_TRUE(slot(n).name.isEmpty()) << n;
    EXPECT_FALSE(w->session().wall().profileChanged);
}

TEST_F(SearchDropTest, AFileNameThatIsNotUtf8IsMeasuredAndPlays) {
    const QString path = tone("caf\xE9.wav", 440, 700);
    ASSERT_TRUE(core::hasEscapedBytes(path));
    ASSERT_TRUE(dropOnCart(12, {QStringLiteral("CAFÉ.WAV"), path, 0x008000}));
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.value(0).toStdString();
    EXPECT_EQ(slot(12).toFields().at(6), QStringLiteral("700"));
    click(12);
    EXPECT_TRUE(player(12).isPlaying());
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.value(0).toStdString();
}

TEST_F(SearchDropTest, F3ShowsTheOneSearchWindowAndClosingTheWallEndsItsSearch) {
    search::SearchWindow* created = &searchWindow(*w);
    EXPECT_FALSE(created->isVisible());
    QTest::keyClick(cartButton(*w, 1), Qt::Key_F3);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(created));
    EXPECT_EQ(&searchWindow(*w), created);
    created->close();
    w->activateWindow();
    action(*w, QStringLiteral("searchAudioAction"))->trigger();
    EXPECT_TRUE(created->isVisible());

    created->search();
    ASSERT_TRUE(created->isSearching());
    messages.answer = true;
    w->askToQuit();
    EXPECT_FALSE(created->isVisible());
    EXPECT_FALSE(created->isSearching());
    QTest::qWait(100);
    EXPECT_TRUE(messages.shown.isEmpty());
}

} // namespace
