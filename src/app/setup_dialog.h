#pragma once
// The setup dialog: the on-air and cue sound devices, the playback buffer, the mix lead and the
// fade length, saved to BANDORA40.CFG; loudness normalisation and its target and the end
// warning (AVISO_FIM), saved to bandoraext.ini.
//
// Borderless, always on top, centred, not modal. Each click on the setup button makes a new
// one, filled from the file and from the sound server's devices as they are at that moment;
// it deletes itself when closed by OK, by "Cancelar" or by losing the focus to another window
// (which saves nothing). OK writes the file and applies the mix lead and the fade length to the
// running program at once, even when the file could not be written; the buffer and the devices
// only act at the next start, when the players open their devices. OK also hands the loudness
// settings to the program (extSettingsSaved), which starts the next carts with them.
//
// A JACK device is saved by number and, in bandoraext.ini, by its two playback ports; the lists
// select it by its ports, so it is found after the JACK graph changed. A saved JACK device that
// the graph lacks now leaves its list without a selection, and OK then keeps it as saved. While
// the program plays on JACK, the line under the device lists counts JACK's xruns.
#include "config/device_settings.h"
#include "config/ext_settings.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace audio {
class CartPlayer;
struct PlayerContext;
} // namespace audio

namespace widgets {
class SpinEdit;
}

namespace app {

class SetupDialog : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 492;
    static constexpr int kHeight = 319;
    static constexpr int kDefaultBufferMs = 3000;

    // `running` is the settings object the running program reads its mix lead and fade length
    // from; it must outlive the dialog.
    SetupDialog(const QString& programDir, audio::PlayerContext& players,
                config::DeviceSettings& running, QWidget* parent = nullptr);

    // Fills the controls from BANDORA40.CFG and the device lists, then shows the dialog centred
    // on the screen and gives it the focus.
    void showWithSavedSettings();

    // The values OK would save now; a list without a selection gives device -1.
    config::DeviceSettings chosenSettings() const;
    config::ExtSettings chosenExtSettings() const;

    widgets::SpinEdit* bufferEdit() const { return bufferEdit_; }
    widgets::SpinEdit* mixEdit() const { return mixEdit_; }
    widgets::SpinEdit* fadeEdit() const { return fadeEdit_; }
    QComboBox* outputList() const { return outputList_; }
    QComboBox* cueList() const { return cueList_; }
    QPushButton* defaultBufferButton() const { return defaultBufferButton_; }
    QPushButton* outputInfoButton() const { return outputInfoButton_; }
    QPushButton* cueInfoButton() const { return cueInfoButton_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QLabel* sameDeviceWarning() const { return sameDeviceWarning_; }
    QLabel* xrunLine() const { return xrunLine_; }
    QCheckBox* loudnessBox() const { return loudnessBox_; }
    widgets::SpinEdit* loudnessTargetEdit() const { return loudnessTargetEdit_; }

    // Remote control: a line on its state (asked again every second, for the dropped count)
    // and a button that opens its own dialog through `openDialog`, which runs it modal over
    // this one (this dialog stays open meanwhile). Both stay hidden until this is called.
    void showRemoteControl(std::function<QString()> statusLine,
                           std::function<void(QWidget*)> openDialog);
    QLabel* remoteLine() const { return remoteLine_; }
    QPushButton* remoteButton() const { return remoteButton_; }
    widgets::SpinEdit* endWarningEdit() const { return endWarningEdit_; }

signals:
    void extSettingsSaved(const config::ExtSettings& settings);

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildSettingsPanel();
    void buildTimeFields(QFrame* panel);
    void buildDeviceFields(QFrame* panel);
    void buildLoudnessFields(QFrame* panel);
    void buildRemoteFields(QFrame* panel);
    void buildButtonPanel();
    void fillControls(const config::DeviceSettings& saved, const config::ExtSettings& savedExt);
    void listDevices(QComboBox* list);
    void updateSameDeviceWarning();
    void findJackDevicesInUse();
    void updateXrunLine();
    void save();
    void showOwnMessage(const QString& text);

    QString programDir_;
    audio::PlayerContext& players_;
    config::DeviceSettings& running_;
    // Only names the sound devices: it opens none and never plays.
    audio::CartPlayer* deviceLister_ = nullptr;
    widgets::SpinEdit* bufferEdit_ = nullptr;
    widgets::SpinEdit* mixEdit_ = nullptr;
    widgets::SpinEdit* fadeEdit_ = nullptr;
    QComboBox* outputList_ = nullptr;
    QComboBox* cueList_ = nullptr;
    QPushButton* defaultBufferButton_ = nullptr;
    QPushButton* outputInfoButton_ = nullptr;
    QPushButton* cueInfoButton_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QLabel* sameDeviceWarning_ = nullptr;
    QLabel* xrunLine_ = nullptr;
    QTimer* xrunTimer_ = nullptr;
    QList<int> jackDevicesInUse_;
    // What the files hold for each list; used by OK when the saved JACK device is not listed.
    config::DeviceSettings saved_;
    config::ExtSettings savedExt_;
    QCheckBox* loudnessBox_ = nullptr;
    widgets::SpinEdit* loudnessTargetEdit_ = nullptr;
    QLabel* remoteLine_ = nullptr;
    QPushButton* remoteButton_ = nullptr;
    std::function<QString()> remoteStatus_;
    std::function<void(QWidget*)> openRemoteDialog_;
    widgets::SpinEdit* endWarningEdit_ = nullptr;
    bool ownMessageShown_ = false; // a box the dialog shows itself is no reason to close
    bool wasActive_ = false;
};

} // namespace app
