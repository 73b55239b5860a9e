// The real window and sound layer on a sound server of the test's own, with a device missing at
// the start or the whole server dying during the show. What really sounds is recorded from the
// sinks' monitors.
#include "session/cart_firing.h"
#include "app/control_strip.h"
#include "app/main_window.h"
#include "app/window_access.h"
#include "app/setup_dialog.h"
#include "audio/engine/sound_engine.h"
#include "config/device_settings.h"
#include "engine/monitor_recorder.h"
#include "engine/private_server.h"
#include "engine/test_media.h"
#include "support/qstring_print.h"
#include "support/recording_messages.h"
#include "widgets/cart_button.h"
#include "support/wall_session_access.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <sstream>

using namespace enginetest;

namespace {

constexpr std::uint32_t kRate = 44100; // the null sinks' rate
constexpr float kSilence = 0.01f;
// The carts' tones are 440 and 880 Hz; telling them apart is all a check here needs. On a busy
// machine the test server's recording can drop a few blocks, which lowers the count of zero
// crossings by a few per cent: exact pitch and length are the sound layer's own tests.
constexpr double kPitchTolerance = 0.1;

const QString kNoSuchDevice = QStringLiteral("Cod:BS23 - Número inválido para Device");
const QString kProblem = QStringLiteral("Inicialização da Device com Problemas\r");

// Waits with the event loop running: the players' ticks are delivered on this thread.
bool waitFrames(const MonitorRecorder& recorder, std::uint64_t frames) {
    return QTest::qWaitFor([&] { return recorder.framesRecorded() >= frames; }, 5000);
}

class DeviceFaultTest : public ::testing::Test {
protected:
    void TearDown() override {
        window.reset();
        engine.reset();
    }

    // Starts the server with these sinks, then takes `missing` away, as an interface unplugged
    // before the program starts.
    void startServer(const std::vector<std::string>& sinks, const std::string& missing = {}) {
        ASSERT_TRUE(server.start(sinks)) << "pulseaudio did not start";
        if (missing.empty()) {
            return;
        }
        std::istringstream modules(run("pactl list short modules"));
        for (std::string line; std::getline(modules, line);) {
            if (line.find("sink_name=" + missing + " ") != std::string::npos) {
                run("pactl unload-module " + line.substr(0, line.find('\t')));
            }
        }
        ASSERT_EQ(run("pactl list short sinks").find(missing), std::string::npos);
    }

    // The program starts with these devices and opens them on its first activation.
    void startProgram(int outputDevice, int cueDevice) {
        config::DeviceSettings settings;
        settings.outputDevice = static_cast<qint16>(outputDevice);
        settings.cueDevice = static_cast<qint16>(cueDevice);
        ASSERT_TRUE(config::writeDeviceSettings(programDir(), settings));
        engine = audio::engine::makeSoundEngine();
        app::MainWindowEnvironment env;
        env.programDir = programDir();
        env.messages = &messages;
        env.sound = engine.get();
        env.screenSize = QSize(1280, 1024);
        window = std::make_unique<app::MainWindow>(env);
        window->showOnScreen();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    QString programDir() const { return QString::fromStdString(dir.path("").string()); }

    void fillCart(int n, double hz, double seconds) {
        const std::string name = "cart" + std::to_string(n) + ".wav";
        writeWav(dir.path(name), {kRate, 2, SampleFormat::S16, std::uint64_t(seconds * kRate)},
                 sine(hz, kRate, 0.5));
        carts::Cart& slot = session::WallSessionAccess::wall(window->session()).table[n];
        slot.name = QStringLiteral("CART %1").arg(n);
        slot.path = QString::fromStdString(dir.path(name).string());
        slot.setStopMode(carts::StopMode::Cut);
    }
    void click(int n) {
        window->session().click(n);
    }
    QString caption(int n) const { return cartButton(*window, n)->caption(); }
    int count(const QString& text) const { return static_cast<int>(messages.shown.count(text)); }

    // Records `sink` while `fire` runs and for `ms` after it; returns the recording.
    std::vector<float> record(const std::string& sink, const std::function<void()>& fire, int ms) {
        MonitorRecorder recorder(sink, dir.path(sink + std::to_string(++takes) + ".raw"), kRate);
        EXPECT_TRUE(waitFrames(recorder, kRate / 10)) << "the recording flows";
        const std::uint64_t start = recorder.framesRecorded();
        fire();
        EXPECT_TRUE(waitFrames(recorder, start + kRate * std::uint64_t(ms) / 1000));
        return recorder.finish();
    }
    static float peak(const std::vector<float>& take) {
        return std::max(peakIn(take, 0, 0, take.size() / 2), peakIn(take, 1, 0, take.size() / 2));
    }

    TempDir dir;
    PrivateServer server{dir.path("server")};
    RecordingMessages messages;
    std::unique_ptr<audio::engine::SoundEngine> engine;
    std::unique_ptr<app::MainWindow> window;
    int takes = 0;
};

TEST_F(DeviceFaultTest, MissingCueDeviceIsReportedOnceAndPreListeningNeverGoesOnAir) {
    ASSERT_NO_FATAL_FAILURE(startServer({"air", "cue"}, "cue"));
    ASSERT_NO_FATAL_FAILURE(startProgram(0, 1));
    const QString cueProblem = kProblem + QStringLiteral("Device Escuta (Cue): ") + kNoSuchDevice;
    EXPECT_EQ(messages.shown, QStringList{cueProblem}) << "one message for the missing device";

    fillCart(1, 440.0, 1.0);
    window->session().toggleCueMode();
    const std::vector<float> cueTake = record(
        "air", [&] { click(1); }, 800);
    EXPECT_LT(peak(cueTake), kSilence) << "nothing of the cue on air";
    EXPECT_EQ(count(cueProblem), 2) << "the click says why nothing sounds";

    window->session().toggleCueMode();
    const std::vector<float> airTake = record(
        "air", [&] { click(1); }, 1200);
    const Span span = loudSpan(airTake, 0);
    ASSERT_TRUE(span.found) << "the same cart, fired on air, is heard there";
    EXPECT_NEAR(zeroCrossingHz(airTake, 0, span, kRate), 440.0, 440.0 * kPitchTolerance);
}

TEST_F(DeviceFaultTest, MissingOutputDeviceIsReportedOnceAndCartsNeverPlayInTheHeadphones) {
    // The cue sink is the default, so the missing output is list entry 1.
    ASSERT_NO_FATAL_FAILURE(startServer({"cue", "air"}, "air"));
    ASSERT_NO_FATAL_FAILURE(startProgram(1, 0));
    const QString airProblem = kProblem + QStringLiteral("Device Transmissão: ") + kNoSuchDevice;
    EXPECT_EQ(messages.shown, QStringList{airProblem}) << "97 players, one message";

    fillCart(1, 440.0, 1.0);
    fillCart(2, 880.0, 1.0);
    const std::vector<float> cartTake = record(
        "cue", [&] { click(1), click(2); }, 800);
    EXPECT_LT(peak(cartTake), kSilence) << "nothing of the carts in the headphones";
    EXPECT_EQ(count(airProblem), 3);
    EXPECT_NE(caption(1), QStringLiteral("NO AR"));
    EXPECT_NE(caption(2), QStringLiteral("NO AR"));

    window->session().toggleCueMode();
    const std::vector<float> cueTake = record(
        "cue", [&] { click(1); }, 1200);
    const Span span = loudSpan(cueTake, 0);
    ASSERT_TRUE(span.found) << "pre-listening still works on its own device";
    EXPECT_NEAR(zeroCrossingHz(cueTake, 0, span, kRate), 440.0, 440.0 * kPitchTolerance);
}

// Killed as a crash would, while a cart is on air, and started again: the cart on air ends with
// its idle look, a click meanwhile says why nothing sounds, and 3 s after the return carts
// sound on the sink again without restarting the program.
TEST_F(DeviceFaultTest, CartsSoundAgainAfterTheSoundServerRestarts) {
    ASSERT_NO_FATAL_FAILURE(startServer({"air"}));
    ASSERT_NO_FATAL_FAILURE(startProgram(0, 0));
    ASSERT_TRUE(messages.shown.isEmpty());
    fillCart(1, 440.0, 10.0);
    fillCart(2, 880.0, 0.5);
    click(1);
    ASSERT_EQ(caption(1), QStringLiteral("NO AR"));

    server.stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return caption(1) == QStringLiteral("CART 1"); }, 3000))
        << "the cart that was on air ends with its idle look";
    click(2);
    EXPECT_EQ(messages.shown,
              QStringList{kProblem + QStringLiteral("Device Transmissão / Device Escuta (Cue): "
                                                    "Cod:BS9 - Erro no Start")});
    EXPECT_EQ(caption(2), QStringLiteral("CART 2"));

    ASSERT_TRUE(server.start({"air"}));
    QTest::qWait(3000);
    const std::vector<float> again = record(
        "air", [&] { click(2); }, 800);
    const Span span = loudSpan(again, 0);
    ASSERT_TRUE(span.found) << "a cart fired 3 s after the return sounds";
    EXPECT_NEAR(double(span.last - span.first) / kRate, 0.5, 0.1);
    EXPECT_NEAR(zeroCrossingHz(again, 0, span, kRate), 880.0, 880.0 * kPitchTolerance);

    const std::vector<float> onAirBefore = record(
        "air", [&] { click(1); }, 500);
    EXPECT_TRUE(loudSpan(onAirBefore, 0).found) << "so does the cart that was on air";
    EXPECT_EQ(messages.shown.size(), 1);
}

// The sinks are listed by the sound server's descriptions, asked for again when the dialog
// opens and when "Info Device Atual" is pressed: an interface plugged in after the start can be
// chosen without restarting.
TEST_F(DeviceFaultTest, SetupListsTheSinksByDescriptionAndOnesPluggedInLater) {
    ASSERT_NO_FATAL_FAILURE(startServer({"air", "cue"}));
    ASSERT_NO_FATAL_FAILURE(startProgram(0, 1));
    server.addSink("usb");
    QTest::qWait(1100); // the sound layer's device list is at most 1 s old
    strip(*window).setupButton()->click();
    auto* setup = window->findChild<app::SetupDialog*>();
    ASSERT_NE(setup, nullptr);
    const QStringList listed = {QStringLiteral("Air"), QStringLiteral("Cue"),
                                QStringLiteral("Usb")};
    for (QComboBox* list : {setup->outputList(), setup->cueList()}) {
        QStringList names;
        for (int i = 0; i < list->count(); ++i) {
            names.append(list->itemText(i));
        }
        EXPECT_EQ(names, listed);
    }
    EXPECT_EQ(setup->cueList()->currentText(), QStringLiteral("Cue"));

    run("pactl unload-module $(pactl list short modules | grep sink_name=usb | cut -f1)");
    QTest::qWait(1100);
    setup->cueInfoButton()->click();
    EXPECT_EQ(setup->cueList()->count(), 2);
    EXPECT_EQ(setup->outputList()->count(), 3) << "only the list beside the button";
    EXPECT_TRUE(messages.shown.isEmpty());
}

} // namespace
