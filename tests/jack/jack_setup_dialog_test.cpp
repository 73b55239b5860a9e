// The setup dialog with JACK devices (the test script's JACK server, after a list of sinks that
// the test grows at will): a JACK pair is saved by number and by its ports, found again by its
// ports when its number moved, kept when it is missing, and the xrun line shows JACK's count.
#include "app/setup_dialog.h"
#include "audio/engine/combined_devices.h"
#include "audio/engine/jack_output.h"
#include "audio/engine/sound_engine.h"
#include "audio/player_context.h"
#include "config/device_settings.h"
#include "config/ext_settings.h"
#include "support/recording_messages.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace audio::engine;

namespace {

// Sinks of a sound server whose list the test sets; they play on hand-clocked outputs.
class SinkList final : public DeviceProvider {
public:
    explicit SinkList(const int& count) : count_(count) {}
    std::vector<DeviceInfo> list() override {
        std::vector<DeviceInfo> sinks;
        for (int i = 0; i < count_; ++i) {
            const std::string name(1, static_cast<char>('A' + i));
            sinks.push_back({name, "Sink " + name});
        }
        return sinks;
    }
    std::unique_ptr<OutputSink> open(const DeviceInfo&, Failure&) override {
        return std::make_unique<ManualSink>(48000);
    }

private:
    const int& count_;
};

const QStringList kFirstPair{QStringLiteral("system:playback_1"),
                             QStringLiteral("system:playback_2")};
const QStringList kSecondPair{QStringLiteral("system:playback_3"),
                              QStringLiteral("system:playback_4")};

class JackSetupDialogTest : public ::testing::Test {
protected:
    void TearDown() override { delete dialog.data(); }

    void open() {
        dialog = new app::SetupDialog(dir.path(), context, running);
        dialog->showWithSavedSettings();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    }
    void save() {
        dialog->okButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(dialog.isNull());
    }
    static QStringList entries(const QComboBox* list) {
        QStringList names;
        for (int i = 0; i < list->count(); ++i) {
            names.append(list->itemText(i));
        }
        return names;
    }
    // The device list is kept for a second: a changed list shows once it is asked again.
    void waitForNewList() {
        const int before = sinkCount;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return engine.deviceDescription(before) == "Sink " + std::string(1, 'A' + before - 1);
        }));
    }

    int sinkCount = 2;
    SoundEngine engine{std::make_unique<CombinedDeviceProvider>(
        std::make_unique<SinkList>(sinkCount), std::make_unique<JackDeviceProvider>())};
    QTemporaryDir dir;
    RecordingMessages messages;
    audio::PlayerContext context{engine, messages};
    config::DeviceSettings running;
    QPointer<app::SetupDialog> dialog;
};

TEST_F(JackSetupDialogTest, AJackPairIsSavedByItsPortsAndFoundAgainWhenItsNumberMoved) {
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_EQ(entries(dialog->outputList()),
              (QStringList{"Sink A", "Sink B", "JACK: system playback 1/2",
                           "JACK: system playback 3/4"}));
    dialog->outputList()->setCurrentIndex(2);
    dialog->cueList()->setCurrentIndex(3);
    ASSERT_NO_FATAL_FAILURE(save());
    const config::DeviceSettings devices = config::readDeviceSettings(dir.path());
    EXPECT_EQ(devices.outputDevice, 2);
    EXPECT_EQ(devices.cueDevice, 3);
    const config::ExtSettings ext = config::readExtSettings(dir.path());
    EXPECT_EQ(ext.jackOutputPorts, kFirstPair);
    EXPECT_EQ(ext.jackCuePorts, kSecondPair);

    sinkCount = 3; // a sink more: every JACK pair moves one number on
    ASSERT_NO_FATAL_FAILURE(waitForNewList());
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_EQ(dialog->outputList()->currentText(), "JACK: system playback 1/2");
    EXPECT_EQ(dialog->cueList()->currentText(), "JACK: system playback 3/4");
    EXPECT_EQ(dialog->chosenSettings().outputDevice, 3);
    EXPECT_EQ(dialog->chosenSettings().cueDevice, 4);

    dialog->outputList()->setCurrentIndex(0); // back to a sink: its JACK line goes
    ASSERT_NO_FATAL_FAILURE(save());
    EXPECT_TRUE(config::readExtSettings(dir.path()).jackOutputPorts.isEmpty());
    EXPECT_EQ(config::readExtSettings(dir.path()).jackCuePorts, kSecondPair);
}

TEST_F(JackSetupDialogTest, ASavedPairMissingFromTheGraphIsKeptAsItWas) {
    const QStringList gone{QStringLiteral("usb:playback_1"), QStringLiteral("usb:playback_2")};
    ASSERT_TRUE(config::writeDeviceSettings(dir.path(), {3000, 2, 1, 900, 800}));
    ASSERT_TRUE(config::writeExtSettings(dir.path(), {false, -23, gone, {}}));
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_EQ(dialog->outputList()->currentIndex(), -1) << "not the pair that has its number today";
    EXPECT_EQ(dialog->cueList()->currentText(), "Sink B");
    ASSERT_NO_FATAL_FAILURE(save());
    EXPECT_EQ(config::readDeviceSettings(dir.path()).outputDevice, 2);
    EXPECT_EQ(config::readExtSettings(dir.path()).jackOutputPorts, gone);
}

TEST_F(JackSetupDialogTest, TheXrunLineShowsJackCountWhileAJackDeviceIsInUse) {
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_FALSE(dialog->xrunLine()->isVisible()) << "no JACK device in use";
    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    const int jack = *engine.deviceWithPorts({"system:playback_1", "system:playback_2"});
    ASSERT_EQ(engine.openDevice(jack), Failure());
    context.openedDevices.append(jack);
    ASSERT_TRUE(config::writeDeviceSettings(dir.path(), {3000, 0, 1, 900, 800}));
    ASSERT_NO_FATAL_FAILURE(open());
    const QLabel* line = dialog->xrunLine();
    ASSERT_TRUE(line->isVisible());
    EXPECT_TRUE(line->text().startsWith("JACK: ")) << line->text().toStdString();
    EXPECT_TRUE(line->text().endsWith(" xruns"));
    const std::uint64_t shown = line->text().split(' ').at(1).toULongLong();
    EXPECT_LE(shown, engine.outputUnderruns(jack));
    EXPECT_EQ(line->y(), dialog->sameDeviceWarning()->y()) << "on the line under the lists";
    EXPECT_TRUE(dialog->rect().contains(line->geometry()));

    // The same device twice: the warning takes the line, the count goes beside OK.
    dialog->cueList()->setCurrentIndex(dialog->outputList()->currentIndex());
    ASSERT_TRUE(dialog->sameDeviceWarning()->isVisible());
    EXPECT_TRUE(line->isVisible());
    EXPECT_FALSE(line->geometry().intersects(dialog->sameDeviceWarning()->geometry()));
    EXPECT_FALSE(line->geometry().intersects(dialog->okButton()->geometry()));
    EXPECT_TRUE(dialog->rect().contains(line->geometry()));
}

} // namespace
