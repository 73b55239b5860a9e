// The real wall window over a hand-clocked device: the end warning as the operator sees it on
// a cart's frame and on the clock, and the marker editor opened on a cart's file.
#include "app/main_window.h"
#include "app/marker_editing.h"
#include "app/marker_editor_dialog.h"
#include "app/window_access.h"
#include "app/window_fixture.h"
#include "audio/cart_player.h"
#include "audio/hand_devices.h"
#include "carts/cart_editing.h"
#include "carts/editing_fakes.h"
#include "carts/marker_store.h"
#include "engine/test_media.h"
#include "support/recording_messages.h"
#include "widgets/cart_button.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

constexpr int kRate = 44100;

class WarningAndMarkersWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        w = std::make_unique<app::MainWindow>(
            windowEnvironment(dir.path(), messages, *sound.engine, dialogs));
        w->showOnScreen();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }
    void TearDown() override { w.reset(); }

    QString tone(const QString& name, int seconds) {
        const QString path = dir.filePath(name);
        enginetest::writeWav(
            path.toStdString(),
            {kRate, 2, enginetest::SampleFormat::S16, static_cast<uint64_t>(kRate) * seconds},
            enginetest::sine(440, kRate));
        return path;
    }
    void insert(int n, const QString& path) {
        dialogs.files = {path};
        w->session().editing().insertAudio(n);
    }

    QTemporaryDir dir;
    RecordingMessages messages;
    audio::testing::HandEngine sound;
    carts::testing::FakeDialogs dialogs;
    std::unique_ptr<app::MainWindow> w;
};

// Red where a lit frame is drawn: inside the five pixels a frame of width 10 leaves.
bool frameLit(widgets::CartButton* button) {
    const QImage image = button->grab().toImage();
    return image.pixelColor(2, image.height() / 2) == QColor(Qt::red);
}

bool clockLit(QLabel* clock) {
    const QImage image = clock->grab().toImage();
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.red() > 200 && c.green() < 80 && c.blue() < 80 ? 1 : 0;
        }
    }
    return red > 10;
}

// The hand clock stands still, so cart 2 stays three seconds from its end, inside the default
// ten-second warning, and cart 1 a minute from it. The clock follows cart 2, the higher one.
TEST_F(WarningAndMarkersWindowTest, LastSecondsBlinkTheFrameAndTheClockFasterOnScreen) {
    insert(1, tone(QStringLiteral("minute.wav"), 60));
    insert(2, tone(QStringLiteral("short.wav"), 3));
    w->session().click(1);
    w->session().click(2);
    int ticks = 0;
    int flips[3] = {0, 0, 0};
    bool lit[3] = {frameLit(cartButton(*w, 1)), frameLit(cartButton(*w, 2)), false};
    int clockShown[2] = {0, 0}; // dark, lit
    QLabel* clock = strip(*w).clockLabel();
    QObject::connect(&w->session(), &session::WallSession::displayTicked, w.get(), [&] {
        ++ticks;
        for (int n : {1, 2}) {
            const bool now = frameLit(cartButton(*w, n));
            flips[n] += now != lit[n] ? 1 : 0;
            lit[n] = now;
        }
        ++clockShown[clockLit(clock) ? 1 : 0];
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 12; }, 10000));
    EXPECT_GE(flips[2], 5) << "a change every second tick";
    EXPECT_LE(flips[1], 3) << "changes at the 5th and 10th tick";
    EXPECT_GE(clockShown[0], 4);
    EXPECT_GE(clockShown[1], 4);
}

// The editor gets the waveform from the loudness pass and previews on the cue player; Cancel
// stores nothing and stops the preview.
TEST_F(WarningAndMarkersWindowTest, EditorShowsPeaksPreviewsOnTheCueAndCancelStoresNothing) {
    const QString path = tone(QStringLiteral("song.wav"), 4);
    insert(5, path);
    auto* editing = w->findChild<app::MarkerEditing*>();
    ASSERT_NE(editing, nullptr);
    bool checked = false;
    QObject::connect(
        editing, &app::MarkerEditing::editorShown, w.get(), [&](app::MarkerEditorDialog* dialog) {
            QTimer::singleShot(0, dialog, [&, dialog] {
                EXPECT_TRUE(
                    QTest::qWaitFor([&] { return dialog->waveformView()->hasPeaks(); }, 10000));
                dialog->playPointerButton()->click();
                audio::CartPlayer& cue = w->session().cuePlayer();
                EXPECT_TRUE(cue.isPlaying());
                EXPECT_EQ(cue.fileName(), path);
                dialog->markerEdit(app::MarkerKind::CueIn)->setText(QStringLiteral("00:01.000"));
                checked = true;
                dialog->cancelButton()->click();
            });
        });
    editing->open(5);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(w->session().cuePlayer().isPlaying());
    EXPECT_FALSE(w->session().markerStore().markersFor(path).has_value());
    EXPECT_TRUE(messages.shown.isEmpty());
}

} // namespace
