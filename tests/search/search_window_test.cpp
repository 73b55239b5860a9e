// The search window on a real X display, searching real folder trees: both modes, the grid's
// type-ahead and drag start, the preview on a cue player on a hand-clocked device, and closing
// during a search or a preview.
#include "search/search_window.h"

#include "audio/cart_player.h"
#include "audio/hand_devices.h"
#include "audio/threaded_timer.h"
#include "engine/test_media.h"
#include "scanner_tree.h"
#include "search/colour_list.h"
#include "search/file_scanner.h"
#include "support/qstring_print.h"
#include "support/recording_messages.h"
#include "widgets/fader.h"
#include "widgets/window_mover.h"
#include "widgets/wrapping_grid.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using search::SearchWindow;
using search::test::TestTree;

constexpr int kWaitMs = 10'000;
const QString kHeader = QStringLiteral("Descrição do áudio  - ");

class SearchWindowTest : public ::testing::Test {
protected:
    SearchWindowTest() {
        cue->initDevice(1);
        window.setDragStarter([this](QMimeData* data) {
            dragged.append(*search::draggedRowFrom(data));
            delete data;
        });
    }

    void show() {
        window.showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    // Types the query and presses Enter, then waits for the result.
    void searchFor(const QString& query) {
        QSignalSpy finished(&window, &SearchWindow::searchFinished);
        window.queryEdit()->clear();
        QTest::keyClicks(window.queryEdit(), query);
        QTest::keyClick(window.queryEdit(), Qt::Key_Return);
        ASSERT_TRUE(finished.wait(kWaitMs));
    }
    QStringList names() const { return column(SearchWindow::kNameColumn); }
    QStringList paths() const { return column(SearchWindow::kPathColumn); }
    QStringList column(int c) const {
        QStringList texts;
        for (int row = 1; row < grid()->rowCount(); ++row)
            texts.append(grid()->cell(row, c));
        return texts;
    }
    widgets::WrappingGrid* grid() const { return window.grid(); }
    // A file of the tree that holds a tone of `ms` (a WAV, whatever its name says).
    void toneFile(const QByteArray& relative, std::uint64_t ms) {
        tree.file(relative);
        enginetest::writeWav(tree.bytes(relative).toStdString(),
                             {44100, 2, enginetest::SampleFormat::S16, 44100 * ms / 1000},
                             enginetest::sine(440, 44100));
    }
    // A press on the row's name cell, as the operator's mouse gives it.
    void press(int row, Qt::MouseButton button = Qt::LeftButton) {
        const QPoint at = grid()->cellRect(row, SearchWindow::kNameColumn).center();
        QTest::mousePress(grid()->viewport(), button, {}, at);
        QTest::mouseRelease(grid()->viewport(), button, {}, at);
    }
    void fillRows(const QStringList& names) {
        grid()->setRowCount(int(names.size()) + 1);
        for (int i = 0; i < names.size(); ++i) {
            grid()->setCell(i + 1, 0, names[i]);
            grid()->setCell(i + 1, 1, tree.root() + names[i].toLower());
        }
    }

    TestTree tree;
    audio::testing::HandEngine sound;
    RecordingMessages messages;
    audio::PlayerContext context{*sound.engine, messages};
    std::unique_ptr<audio::CartPlayer> cue = std::make_unique<audio::CartPlayer>(context);
    SearchWindow window{tree.root() + QStringLiteral("ARQUIVOS"), *cue, messages};
    QList<search::DraggedRow> dragged;
};

TEST_F(SearchWindowTest, BothModesListEachFileOnceSortedByPath) {
    for (const char* name :
         {"ARQUIVOS/ABC.mp3", "ARQUIVOS/xabc.WAV", "ARQUIVOS/sub/Abcd.wma", "ARQUIVOS/abc.txt",
          "ARQUIVOS/abc.mp3.txt", "ARQUIVOS/zz.mp3", "ARQUIVOS/a/ABZ.mp3", "other/abc.mp3"})
        tree.file(name);
    show();

    searchFor(QStringLiteral("abc")); // typed letters become upper case
    EXPECT_EQ(window.queryEdit()->text(), QStringLiteral("ABC"));
    EXPECT_EQ(names(), QStringList({"ABC.MP3", "ABCD.WMA"}));
    EXPECT_EQ(paths(), QStringList({tree.root() + "ARQUIVOS/ABC.mp3",
                                    tree.root() + "ARQUIVOS/sub/Abcd.wma"}));

    // A name beginning with the query matches both masks of its ending: still one row.
    window.containsButton()->click();
    searchFor(QStringLiteral("ABC"));
    EXPECT_EQ(names(), QStringList({"ABC.MP3", "ABCD.WMA", "XABC.WAV"}));

    // Empty query: every audio file, in both modes; folders and files interleave by path.
    searchFor(QString());
    EXPECT_EQ(names(), QStringList({"ABZ.MP3", "ABC.MP3", "ABCD.WMA", "XABC.WAV", "ZZ.MP3"}));
    window.approximateButton()->click();
    searchFor(QString());
    EXPECT_EQ(names().size(), 5);
    EXPECT_TRUE(messages.shown.isEmpty());

    // Nothing found: the message, and the grid keeps its rows.
    grid()->setCurrentCell(3, 0);
    searchFor(QStringLiteral("NOPE"));
    EXPECT_EQ(messages.shown, QStringList{"Nenhuma ocorrência foi encontrada"});
    EXPECT_EQ(names().size(), 5);
    EXPECT_EQ(grid()->currentRow(), 3);

    // A new result keeps the current row.
    searchFor(QStringLiteral("AB"));
    EXPECT_EQ(names(), QStringList({"ABZ.MP3", "ABC.MP3", "ABCD.WMA"}));
    EXPECT_EQ(grid()->currentRow(), 3);
}

TEST_F(SearchWindowTest, NoSecondSearchWhileOneRuns) {
    tree.file("ARQUIVOS/one.mp3");
    tree.file("ARQUIVOS/two.mp3");
    show();
    QSignalSpy finished(&window, &SearchWindow::searchFinished);
    QTest::keyClicks(window.queryEdit(), QStringLiteral("ON"));
    QTest::keyClick(window.queryEdit(), Qt::Key_Return);
    ASSERT_TRUE(window.isSearching()); // the result arrives through the event loop
    const QStringList masks = window.scanner().searchFilter();

    window.containsButton()->click();
    QTest::keyClicks(window.queryEdit(), QStringLiteral("X"));
    QTest::keyClick(window.queryEdit(), Qt::Key_Return);
    EXPECT_EQ(window.scanner().searchFilter(), masks);

    ASSERT_TRUE(finished.wait(kWaitMs));
    QTest::qWait(100);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(names(), QStringList{"ONE.MP3"});
}

TEST_F(SearchWindowTest, ClosingDuringASearchEndsItAndShowsNothing) {
    for (int f = 0; f < 20; ++f) {
        for (int i = 0; i < 500; ++i)
            tree.file("ARQUIVOS/f" + QByteArray::number(f) + "/song " + QByteArray::number(i) +
                      ".mp3");
    }
    show();
    fillRows({"KEPT.MP3"});
    QSignalSpy finished(&window, &SearchWindow::searchFinished);
    window.containsButton()->click();
    QTest::keyClick(window.queryEdit(), Qt::Key_Return);
    ASSERT_TRUE(window.isSearching());

    QElapsedTimer timer;
    timer.start();
    window.quitButton()->click();
    const qint64 closeMs = timer.elapsed();
    RecordProperty("close_ms", int(closeMs));
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.isSearching());

    QTest::qWait(300);
    EXPECT_EQ(finished.count(), 0);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(names(), QStringList{"KEPT.MP3"});

    // Shown again, the window searches as before.
    show();
    searchFor(QStringLiteral("SONG 499"));
    EXPECT_EQ(names().size(), 20);
}

TEST_F(SearchWindowTest, TypeAheadFollowsLettersThatMatchAndWritesTheHeader) {
    show();
    fillRows({"ALFA.MP3", "BETA.MP3", "BRAVO.WAV", "BRAVO 2.WAV", "CHARLIE.MP3"});
    grid()->setFocus();
    grid()->setCurrentCell(1, 0);

    QTest::keyClick(grid(), Qt::Key_B);
    EXPECT_EQ(window.typedText(), QStringLiteral("B"));
    EXPECT_EQ(grid()->currentRow(), 2);
    EXPECT_EQ(grid()->cell(0, 0), kHeader + "B");
    EXPECT_EQ(grid()->toolTip(), tree.root() + "beta.mp3"); // chosen like a click

    QTest::keyClick(grid(), Qt::Key_R);
    EXPECT_EQ(grid()->currentRow(), 3); // the first row from the top that begins with "BR"

    // No row begins with "BRX": selection and typed text stay, the header is written again.
    grid()->setCell(0, 0, QString());
    QTest::keyClick(grid(), Qt::Key_X);
    EXPECT_EQ(window.typedText(), QStringLiteral("BR"));
    EXPECT_EQ(grid()->currentRow(), 3);
    EXPECT_EQ(grid()->cell(0, 0), kHeader + "BR");

    // Digits take no part; Backspace takes the last letter back.
    QTest::keyClick(grid(), Qt::Key_2);
    EXPECT_EQ(window.typedText(), QStringLiteral("BR"));
    QTest::keyClick(grid(), Qt::Key_Backspace);
    EXPECT_EQ(window.typedText(), QStringLiteral("B"));
    EXPECT_EQ(grid()->cell(0, 0), kHeader + "B");

    // The grid still handles its own keys.
    QTest::keyClick(grid(), Qt::Key_Down);
    EXPECT_EQ(grid()->currentRow(), 4);
    EXPECT_EQ(window.typedText(), QStringLiteral("B"));

    // A press in the grid starts the typing over.
    press(5);
    EXPECT_TRUE(window.typedText().isEmpty());
    QTest::keyClick(grid(), Qt::Key_A);
    EXPECT_EQ(grid()->currentRow(), 1);

    // On an empty row nothing happens at all, not even the header.
    grid()->setRowCount(3);
    grid()->setCell(2, 0, QString());
    grid()->setCurrentCell(2, 0);
    grid()->setCell(0, 0, QStringLiteral("x"));
    QTest::keyClick(grid(), Qt::Key_A);
    EXPECT_EQ(grid()->cell(0, 0), QStringLiteral("x"));
    EXPECT_EQ(window.typedText(), QStringLiteral("A"));
}

TEST_F(SearchWindowTest, ALeftPressOnANamedRowStartsTheDragAfterTheClick) {
    show();
    fillRows({"ALFA.MP3", "BETA.MP3"});
    grid()->setRowCount(4); // row 3 empty

    press(2);
    ASSERT_EQ(dragged.size(), 1);
    EXPECT_EQ(dragged[0], (search::DraggedRow{"BETA.MP3", tree.root() + "beta.mp3", {}}));
    EXPECT_EQ(grid()->toolTip(), tree.root() + "beta.mp3"); // the click ran first
    EXPECT_TRUE(window.playButton()->isEnabled());

    press(2, Qt::RightButton);
    press(3);
    QTest::mousePress(grid()->viewport(), Qt::LeftButton, {},
                      grid()->cellRect(0, 0).center()); // the header
    EXPECT_EQ(dragged.size(), 1);

    // With "Pré-Definir Cor do Cartucho" ticked the drag carries the list's colour, black
    // until the operator picks one.
    window.presetColourBox()->setChecked(true);
    press(1);
    ASSERT_EQ(dragged.size(), 2);
    EXPECT_EQ(dragged[1].presetColour, 0);
}

TEST_F(SearchWindowTest, ColourListOffersFourteenColoursWithoutBlackAndLime) {
    search::ColourList& list = *window.colourList();
    const std::vector<int> offered = list.offered();
    EXPECT_EQ(offered.size(), 14u);
    EXPECT_EQ(std::count(offered.begin(), offered.end(), 0x000000), 0);
    EXPECT_EQ(std::count(offered.begin(), offered.end(), 0x00FF00), 0);
    EXPECT_EQ(offered.front(), 0x000080); // maroon
    EXPECT_EQ(offered[8], 0x0000FF);      // red stays: the drop refuses it
    EXPECT_EQ(list.colour(), 0);
    EXPECT_EQ(window.presetColour(), std::nullopt);

    emit list.activated(1); // the operator picks green
    EXPECT_EQ(window.presetColour(), std::nullopt);
    window.presetColourBox()->setChecked(true);
    EXPECT_EQ(window.presetColour(), 0x008000);
}

TEST_F(SearchWindowTest, PreviewPlaysOnTheCueAndClosingStopsItWithTheFileKept) {
    toneFile("ARQUIVOS/tone.mp3", 5000);
    const QString path = tree.root() + "ARQUIVOS/tone.mp3";
    show();
    EXPECT_FALSE(window.playButton()->isEnabled());
    EXPECT_FALSE(window.stopButton()->isEnabled());
    searchFor(QStringLiteral("TONE"));
    press(1);
    ASSERT_TRUE(window.playButton()->isEnabled());

    window.playButton()->click();
    EXPECT_TRUE(cue->isPlaying());
    EXPECT_EQ(cue->fileName(), path);
    EXPECT_EQ(cue->cartIndex(), SearchWindow::kPreviewCartIndex);
    EXPECT_EQ(window.positionFader()->maxValue(), 5000);
    EXPECT_TRUE(window.previewTimer().enabled());
    EXPECT_FALSE(window.playButton()->isEnabled());
    EXPECT_TRUE(window.stopButton()->isEnabled());

    // The slider follows the cue player, and moving it seeks.
    sound.renderFed({cue->channel()}, 44100 * 1200 / 1000);
    QTRY_COMPARE_WITH_TIMEOUT(window.positionFader()->position(), 1200, kWaitMs);
    QTest::mouseClick(window.positionFader(), Qt::LeftButton, {},
                      window.positionFader()->rect().center());
    EXPECT_NEAR(int(cue->positionMs()), window.positionFader()->position(), 1);
    EXPECT_GT(cue->positionMs(), 1500u);

    // A row chosen while the preview plays keeps Play off.
    press(1);
    EXPECT_FALSE(window.playButton()->isEnabled());

    window.close();
    EXPECT_FALSE(cue->isPlaying());
    EXPECT_FALSE(cue->isEmpty()); // the file stays loaded
    EXPECT_FALSE(window.previewTimer().enabled());
    EXPECT_TRUE(window.playButton()->isEnabled());
    EXPECT_FALSE(window.stopButton()->isEnabled());
}

TEST_F(SearchWindowTest, PreviewPlaysTheFilesPartBetweenItsMarkers) {
    toneFile("ARQUIVOS/tone.mp3", 5000);
    window.setMarksOf([](const QString&) {
        audio::PlayMarks marks;
        marks.cueIn = 44100;
        marks.cueOut = 3 * 44100;
        return marks;
    });
    show();
    searchFor(QStringLiteral("TONE"));
    press(1);
    window.playButton()->click();
    ASSERT_TRUE(cue->isPlaying());
    EXPECT_EQ(cue->channel()->position(), audio::engine::Frames(44100)) << "from cue-in";
    EXPECT_EQ(window.positionFader()->maxValue(), 2000);
}

TEST_F(SearchWindowTest, StopUnloadsAndAVanishedFileIsSilentlySkipped) {
    toneFile("ARQUIVOS/tone.mp3", 5000);
    toneFile("ARQUIVOS/gone.mp3", 5000);
    show();
    searchFor(QString());
    press(2); // TONE.MP3
    window.playButton()->click();
    ASSERT_TRUE(cue->isPlaying());
    window.stopButton()->click();
    EXPECT_TRUE(cue->isEmpty());
    EXPECT_FALSE(window.previewTimer().enabled());
    EXPECT_TRUE(window.playButton()->isEnabled());
    EXPECT_FALSE(window.stopButton()->isEnabled());

    ASSERT_EQ(::remove(tree.bytes("ARQUIVOS/gone.mp3").constData()), 0);
    press(1);
    window.playButton()->click();
    EXPECT_TRUE(cue->isEmpty());
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_TRUE(window.playButton()->isEnabled());
}

// A name that is not UTF-8 is found, shown readably, and reaches the sound layer as its bytes.
TEST_F(SearchWindowTest, NameThatIsNotUtf8IsFoundShownAndPlayed) {
    toneFile("ARQUIVOS/caf\xE9.mp3", 3000);
    const QByteArray bytes = tree.bytes("ARQUIVOS/caf\xE9.mp3");
    show();
    searchFor(QStringLiteral("CAF"));
    ASSERT_EQ(names(), QStringList{"CAFÉ.MP3"});
    EXPECT_EQ(core::encodePathBytes(paths()[0]), bytes);
    press(1);
    window.playButton()->click();
    EXPECT_TRUE(cue->isPlaying()) << "opened by its bytes";
    EXPECT_EQ(core::encodePathBytes(cue->fileName()), bytes);
    EXPECT_TRUE(messages.shown.isEmpty());
}

// A path cut to 255 characters would name another file or none: the row keeps it whole.
TEST_F(SearchWindowTest, LongPathsAreKeptWhole) {
    const QByteArray folder(120, 'd');
    tree.file("ARQUIVOS/" + folder + "/" + folder + "/long.mp3");
    show();
    searchFor(QStringLiteral("LONG"));
    ASSERT_EQ(paths().size(), 1);
    EXPECT_GT(paths()[0].size(), 255);
    EXPECT_TRUE(core::isFileAt(paths()[0]));
    press(1);
    ASSERT_EQ(dragged.size(), 1);
    EXPECT_EQ(dragged[0].path, paths()[0]);
}

TEST_F(SearchWindowTest, ShowingEmptiesTheResultsAndKeepsTheChoices) {
    show();
    fillRows({"ALFA.MP3", "BETA.MP3"});
    grid()->setFocus();
    QTest::keyClick(grid(), Qt::Key_B);
    window.containsButton()->click();
    window.presetColourBox()->setChecked(true);
    QTest::keyClicks(window.queryEdit(), QStringLiteral("Q"));
    const QPoint movedTo = window.pos() + QPoint(-40, 30);
    window.move(movedTo);
    window.close();

    show();
    EXPECT_EQ(grid()->rowCount(), 2);
    EXPECT_TRUE(grid()->cell(1, 0).isEmpty());
    EXPECT_TRUE(window.queryEdit()->text().isEmpty());
    EXPECT_EQ(window.queryEdit()->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(grid()->cell(0, 0), kHeader + "B");
    EXPECT_EQ(window.typedText(), QStringLiteral("B"));
    EXPECT_TRUE(window.containsButton()->isChecked());
    EXPECT_TRUE(window.presetColourBox()->isChecked());
    EXPECT_EQ(window.pos(), movedTo); // centred only the first time
}

TEST_F(SearchWindowTest, LeftDragOnEitherPanelMovesTheWindowOnRelease) {
    show();
    for (QWidget* handle :
         {static_cast<QWidget*>(window.panel()), static_cast<QWidget*>(window.previewPanel())}) {
        const QPoint origin = window.pos();
        const QPoint start(handle->width() - 3, handle->height() - 3);
        QTest::mousePress(handle, Qt::RightButton, {}, start);
        EXPECT_FALSE(window.mover().isMoving());
        QTest::mouseRelease(handle, Qt::RightButton, {}, start);

        QTest::mousePress(handle, Qt::LeftButton, {}, start);
        ASSERT_TRUE(window.mover().isMoving());
        QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(25, -15)),
                         handle->mapToGlobal(QPointF(start + QPoint(25, -15))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(handle, &move);
        EXPECT_EQ(window.mover().outline(), window.frameGeometry().translated(25, -15));
        EXPECT_EQ(window.pos(), origin); // only the outline moves until the release
        QTest::mouseRelease(handle, Qt::LeftButton, {}, start + QPoint(25, -15));
        EXPECT_FALSE(window.mover().isMoving());
        QTRY_COMPARE(window.pos(), origin + QPoint(25, -15));
    }
}

} // namespace
