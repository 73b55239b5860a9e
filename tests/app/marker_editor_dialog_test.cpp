// The marker editor as the operator uses it: lines dragged with the mouse, times typed,
// previews started, the file's markers restored or written, OK and Cancel from the keyboard.
#include "app/hint_look.h"
#include "app/marker_editor_dialog.h"
#include "support/qstring_print.h"
#include "support/recording_messages.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace app;

namespace {

constexpr int kRate = 44100;
constexpr std::int64_t kSecond = kRate;
constexpr std::int64_t kTotal = 200 * kSecond;

carts::Markers markersAt(std::optional<std::int64_t> in, std::optional<std::int64_t> out,
                         std::optional<std::int64_t> intro, std::optional<std::int64_t> segue) {
    return {in, out, intro, segue};
}

// A steady level of 0.5 all through the file.
carts::Peaks steadyPeaks() {
    constexpr int kFramesPerPeak = 512;
    const auto buckets = std::size_t(kTotal / kFramesPerPeak);
    return {kRate, kTotal, kFramesPerPeak, std::vector<float>(buckets, -0.5f),
            std::vector<float>(buckets, 0.5f)};
}

struct Calls {
    std::vector<std::int64_t> played;
    int stops = 0;
    std::vector<carts::Markers> written;
    QString writeError;
};

class MarkerEditorTest : public ::testing::Test {
protected:
    std::unique_ptr<MarkerEditorDialog> open(MarkerEditorInput input) {
        MarkerEditorActions actions;
        actions.playFrom = [this](std::int64_t frame) { calls.played.push_back(frame); };
        actions.stopPlaying = [this] { ++calls.stops; };
        actions.writeToFile = [this](const carts::Markers& m) {
            calls.written.push_back(m);
            return calls.writeError;
        };
        auto dialog =
            std::make_unique<MarkerEditorDialog>(std::move(input), std::move(actions), messages);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }

    static MarkerEditorInput wavInput() {
        MarkerEditorInput input;
        input.filePath = QStringLiteral("/tmp/vinheta.wav");
        input.sampleRate = kRate;
        input.totalFrames = kTotal;
        input.markers = markersAt(10 * kSecond, 190 * kSecond, 30 * kSecond, 180 * kSecond);
        input.fileMarkers = markersAt(2 * kSecond, std::nullopt, 20 * kSecond, std::nullopt);
        input.writableWav = true;
        input.peaks = steadyPeaks();
        return input;
    }

    static QPoint pointAt(const WaveformView& view, std::int64_t frame) {
        return {int(std::lround(view.xOfFrame(frame))), view.height() / 3};
    }

    RecordingMessages messages;
    Calls calls;
};

TEST(MarkerTime, TextAndFramesBothWays) {
    EXPECT_EQ(markerTimeText(62 * kSecond + 345 * kRate / 1000, kRate), "01:02.345");
    EXPECT_EQ(markerTimeText(75 * 60 * kSecond, kRate), "75:00.000"); // minutes go past 59
    EXPECT_EQ(markerTimeText(std::nullopt, kRate), "");
    EXPECT_EQ(parseMarkerTime("01:02.345", kRate), std::llround(62.345 * kRate));
    EXPECT_EQ(parseMarkerTime(" 1:02,5 ", kRate), std::llround(62.5 * kRate));
    EXPECT_EQ(parseMarkerTime("90", kRate), 90 * kSecond);
    for (const char* bad : {"", "1:60.000", "1:02.3456", "abc", "1::2", "-1:00", "1:02."}) {
        EXPECT_EQ(parseMarkerTime(QString::fromLatin1(bad), kRate), std::nullopt) << bad;
    }
    // Every millisecond text comes back as itself through its frame, at 44.1 and 48 kHz.
    for (const int rate : {44100, 48000}) {
        for (const char* text : {"00:00.001", "03:59.999", "10:00.017"}) {
            const QString t = QString::fromLatin1(text);
            EXPECT_EQ(markerTimeText(parseMarkerTime(t, rate), rate), t) << rate;
        }
    }
}

TEST(MarkerTime, AllowedSpansKeepTheOrder) {
    const carts::Markers all = markersAt(100, 900, 300, 700);
    EXPECT_EQ(allowedSpan(all, MarkerKind::CueIn, 1000).last, 300);
    EXPECT_EQ(allowedSpan(all, MarkerKind::CueOut, 1000).first, 700);
    EXPECT_EQ(allowedSpan(all, MarkerKind::CueOut, 1000).last, 1000);
    EXPECT_EQ(allowedSpan(all, MarkerKind::IntroEnd, 1000).first, 100);
    EXPECT_EQ(allowedSpan(all, MarkerKind::SegueStart, 1000).last, 900);
    const carts::Markers none;
    EXPECT_EQ(allowedSpan(none, MarkerKind::CueIn, 1000).last, 999); // before the file's end
    EXPECT_EQ(allowedSpan(none, MarkerKind::IntroEnd, 1000).last, 1000);
    EXPECT_EQ(allowedSpan(markersAt(500, std::nullopt, {}, {}), MarkerKind::CueOut, 1000).first,
              501);
}

TEST_F(MarkerEditorTest, DraggedLineChangesResultAndFieldAndStopsAtItsNeighbours) {
    auto dialog = open(wavInput());
    WaveformView* view = dialog->waveformView();
    QTest::mousePress(view, Qt::LeftButton, {}, pointAt(*view, 10 * kSecond));
    QTest::mouseMove(view, pointAt(*view, 25 * kSecond));
    QTest::mouseRelease(view, Qt::LeftButton, {}, pointAt(*view, 25 * kSecond));
    const std::int64_t moved = *dialog->markers().cueIn;
    EXPECT_NEAR(double(moved), double(25 * kSecond), view->framesPerPixel());
    EXPECT_EQ(dialog->markerEdit(MarkerKind::CueIn)->text(), markerTimeText(moved, kRate));

    // Past the intro end the cue-in stops on it; the other markers do not move.
    QTest::mousePress(view, Qt::LeftButton, {}, pointAt(*view, moved));
    QTest::mouseMove(view, pointAt(*view, 60 * kSecond));
    QTest::mouseRelease(view, Qt::LeftButton, {}, pointAt(*view, 60 * kSecond));
    EXPECT_EQ(dialog->markers(),
              markersAt(30 * kSecond, 190 * kSecond, 30 * kSecond, 180 * kSecond));
}

TEST_F(MarkerEditorTest, DraggedLineLandsOnThePointerNearIt) {
    auto dialog = open(wavInput());
    WaveformView* view = dialog->waveformView();
    const std::int64_t pointer = 100 * kSecond + 123;
    view->setPointerFrame(pointer);
    const QPoint beside = pointAt(*view, pointer) + QPoint(2, 0);
    QTest::mousePress(view, Qt::LeftButton, {}, pointAt(*view, 180 * kSecond));
    QTest::mouseMove(view, beside);
    QTest::mouseRelease(view, Qt::LeftButton, {}, beside);
    EXPECT_EQ(dialog->markers().segueStart, pointer);
}

TEST_F(MarkerEditorTest, TypedTimeMovesTheLineAndBadTextIsRefused) {
    auto dialog = open(wavInput());
    QLineEdit* intro = dialog->markerEdit(MarkerKind::IntroEnd);
    intro->clear();
    QTest::keyClicks(intro, "00:42.500");
    EXPECT_EQ(dialog->waveformView()->markers().introEnd, std::llround(42.5 * kRate));
    EXPECT_TRUE(dialog->problemLine()->text().isEmpty());

    for (const char* bad : {"0:4x", "00:05.000" /* before the cue-in */, "04:00.000"}) {
        intro->clear();
        QTest::keyClicks(intro, bad);
        EXPECT_FALSE(dialog->problemLine()->text().isEmpty()) << bad;
        EXPECT_EQ(dialog->markers().introEnd, std::llround(42.5 * kRate)) << bad;
    }
    // A refused time is taken once another marker makes room for it.
    QLineEdit* cueIn = dialog->markerEdit(MarkerKind::CueIn);
    intro->clear();
    QTest::keyClicks(intro, "00:05.000");
    cueIn->clear();
    QTest::keyClicks(cueIn, "00:01.000");
    EXPECT_EQ(dialog->markers().introEnd, 5 * kSecond);
    EXPECT_TRUE(dialog->problemLine()->text().isEmpty());

    intro->clear();
    QTest::keyClicks(intro, " ");
    EXPECT_EQ(dialog->markers().introEnd, std::nullopt); // an empty field is no marker
    EXPECT_FALSE(dialog->playMarkerButton(MarkerKind::IntroEnd)->isEnabled());
}

TEST_F(MarkerEditorTest, ResetRestoresTheFilesMarkers) {
    MarkerEditorInput input = wavInput();
    const carts::Markers own = input.fileMarkers;
    auto dialog = open(std::move(input));
    dialog->markerEdit(MarkerKind::SegueStart)->clear();
    QTest::keyClicks(dialog->markerEdit(MarkerKind::SegueStart), "bad");
    QTest::mouseClick(dialog->resetButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->markers(), own);
    EXPECT_EQ(dialog->waveformView()->markers(), own);
    EXPECT_EQ(dialog->markerEdit(MarkerKind::SegueStart)->text(), "");
    EXPECT_TRUE(dialog->problemLine()->text().isEmpty());
}

TEST_F(MarkerEditorTest, EnterAcceptsEscCancelsAndBadTextKeepsTheDialogOpen) {
    auto dialog = open(wavInput());
    QLineEdit* cueOut = dialog->markerEdit(MarkerKind::CueOut);
    cueOut->setFocus();
    cueOut->clear();
    QTest::keyClicks(cueOut, "9:99");
    QTest::keyClick(cueOut, Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), 0);

    cueOut->clear();
    QTest::keyClicks(cueOut, "03:05.000");
    QTest::keyClick(cueOut, Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->markers().cueOut, 185 * kSecond);

    auto cancelled = open(wavInput());
    QTest::keyClick(cancelled->waveformView(), Qt::Key_Escape);
    EXPECT_FALSE(cancelled->isVisible());
    EXPECT_EQ(cancelled->result(), QDialog::Rejected);
}

TEST_F(MarkerEditorTest, PreviewsStartWhereAskedAndStopWithTheDialog) {
    auto dialog = open(wavInput());
    WaveformView* view = dialog->waveformView();
    QTest::mouseClick(view, Qt::LeftButton, {}, pointAt(*view, 55 * kSecond));
    const std::int64_t pointer = view->pointerFrame();
    EXPECT_NEAR(double(pointer), double(55 * kSecond), view->framesPerPixel());
    QTest::mouseClick(dialog->playPointerButton(), Qt::LeftButton);
    QTest::mouseClick(dialog->playMarkerButton(MarkerKind::IntroEnd), Qt::LeftButton);
    QTest::mouseClick(dialog->playMarkerButton(MarkerKind::CueOut), Qt::LeftButton);
    const std::int64_t preroll = kRate * MarkerEditorDialog::kCueOutPrerollMs / 1000;
    EXPECT_EQ(calls.played,
              (std::vector<std::int64_t>{pointer, 30 * kSecond, 190 * kSecond - preroll}));
    EXPECT_EQ(calls.stops, 0);
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(calls.stops, 1);
}

TEST_F(MarkerEditorTest, WritesIntoTheWavAndReportsAFailure) {
    auto dialog = open(wavInput());
    calls.writeError = QStringLiteral("Arquivo somente leitura");
    QTest::mouseClick(dialog->writeButton(), Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].contains(calls.writeError));

    calls.writeError.clear();
    dialog->markerEdit(MarkerKind::CueIn)->clear();
    QTest::keyClicks(dialog->markerEdit(MarkerKind::CueIn), "00:03.000");
    QTest::mouseClick(dialog->writeButton(), Qt::LeftButton);
    ASSERT_EQ(calls.written.size(), 2u);
    EXPECT_EQ(calls.written[1].cueIn, 3 * kSecond);
    // The file holds these now, so a reset comes back to them.
    dialog->markerEdit(MarkerKind::CueIn)->clear();
    QTest::mouseClick(dialog->resetButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->markers(), calls.written[1]);
    EXPECT_EQ(messages.shown.size(), 1);

    MarkerEditorInput mp3 = wavInput();
    mp3.writableWav = false;
    EXPECT_FALSE(open(std::move(mp3))->writeButton()->isEnabled());
}

TEST_F(MarkerEditorTest, WaveformArrivesAfterMeasuringAndIsDrawnInsideTheCuePoints) {
    MarkerEditorInput input = wavInput();
    input.peaks.reset();
    auto dialog = open(std::move(input));
    EXPECT_TRUE(dialog->progressBar()->isVisible());
    dialog->setProgress(40);
    EXPECT_EQ(dialog->progressBar()->value(), 40);
    dialog->setPeaks(steadyPeaks());
    EXPECT_FALSE(dialog->progressBar()->isVisible());

    WaveformView* view = dialog->waveformView();
    const QImage image = view->grab().toImage();
    const int half = (view->height() - view->findChild<QScrollBar*>()->height()) / 2;
    const auto brightness = [&](std::int64_t frame, int y) {
        return qGreen(image.pixel(pointAt(*view, frame).x(), y));
    };
    const int inWave = half - half / 4;        // a level of 0.25, inside one of 0.5
    const int aboveWave = half - 3 * half / 4; // a level of 0.75
    // Bright where the cart plays, dim where the cue-in cuts it off, black beyond the level.
    EXPECT_GT(brightness(100 * kSecond, inWave), brightness(5 * kSecond, inWave) + 50);
    EXPECT_GT(brightness(5 * kSecond, inWave), brightness(5 * kSecond, aboveWave) + 50);
    EXPECT_EQ(brightness(100 * kSecond, aboveWave), 0);
}

TEST_F(MarkerEditorTest, ZoomKeepsTheAnchorAndStaysInsideTheFile) {
    auto dialog = open(wavInput());
    WaveformView* view = dialog->waveformView();
    const double whole = view->framesPerPixel();
    view->setPointerFrame(120 * kSecond);
    const double before = view->xOfFrame(120 * kSecond);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Plus);
    QTest::keyClick(view, Qt::Key_Plus);
    EXPECT_DOUBLE_EQ(view->framesPerPixel(), whole / 4);
    EXPECT_NEAR(view->xOfFrame(120 * kSecond), before, 1.0);
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(view, Qt::Key_Minus);
    }
    EXPECT_DOUBLE_EQ(view->framesPerPixel(), whole);
    EXPECT_EQ(view->firstFrame(), 0);
}

} // namespace

// With the program's look in place (the hints' style), the file panel's captions read light on
// the dark panel: an application style sheet once kept the panel's palette from them.
TEST_F(MarkerEditorTest, FilePanelCaptionsReadOnTheDarkPanel) {
    const QString sheet = qApp->styleSheet();
    applyHintLook(*qApp);
    auto dialog = open(wavInput());
    const QImage shot = dialog->grab().toImage();
    const auto captions =
        dialog->findChild<QWidget*>(QStringLiteral("markerFilePanel"))->findChildren<QLabel*>();
    ASSERT_EQ(captions.size(), 3);
    for (const QLabel* caption : captions) {
        const QRect area(caption->mapTo(dialog.get(), QPoint(0, 0)), caption->size());
        int brightest = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                brightest = std::max(brightest, qGray(shot.pixel(x, y)));
            }
        }
        EXPECT_GT(brightest, 200) << caption->text().toStdString();
    }
    qApp->setStyleSheet(sheet);
}
