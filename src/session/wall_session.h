#pragma once
// The wall session: the wall, its players, firing, the block, editing, profiles and the
// carts' loudness, without widgets. Its commands take a cart number; what the wall shows is in
// its WallState; it says which carts changed, how each cart stands (empty, loaded, queued,
// cue, playing, looping, fading) and what started and ended each play on air. The window,
// remote control and logs observe it. User-interface thread only.
#include "carts/cart_editing.h"
#include "carts/cart_table.h"
#include "carts/profile_folder.h"
#include "config/device_settings.h"
#include "config/ext_settings.h"
#include "session/session_types.h"
#include "session/wall_state.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace audio {
class CartPlayer;
struct PlayMarks;
struct PlayerContext;
namespace engine {
class SoundEngine;
}
} // namespace audio

namespace core {
class MessageSink;
}

namespace carts {
class LoudnessService;
class MarkerStore;
} // namespace carts

namespace session {

class BlockSequencer;
class CartFiring;
class CartPlayerBank;
class DiskFiles;
class SessionCartPlayers;
class StatusDisplay;

// What the session needs from outside; the window passes its own, tests their doubles.
struct SessionDeps {
    QString programDir; // where settings, profiles and caches live
    audio::engine::SoundEngine& sound;
    core::MessageSink& messages;
    carts::EditingDialogs& dialogs;
    ProfileNamePrompt& namePrompt;
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
};

class WallSession : public QObject, public WallCommands {
    Q_OBJECT
public:
    explicit WallSession(const SessionDeps& deps, QObject* parent = nullptr);
    ~WallSession() override;

    WallState& state() { return state_; }
    const WallState& state() const { return state_; }
    const carts::Wall& wall() const { return wall_; }
    const BlockSequencer& block() const { return *block_; }
    bool cueMode() const;
    CartState cartState(int n) const { return states_.at(static_cast<std::size_t>(n)); }
    // Time left of cart n on air, else 0.
    qint64 remainingMs(int n) const;
    QString cartStatusLine(int n) const;
    const config::DeviceSettings& deviceSettings() const { return deviceSettings_; }
    // The setup dialog sets MIXAGEM and FADE here when it saves, then hands the ext settings
    // to applyExtSettings, which re-plans the block's segue.
    config::DeviceSettings& runningDeviceSettings() { return deviceSettings_; }
    const config::ExtSettings& extSettings() const { return extSettings_; }
    QString programDir() const { return deps_.programDir; }
    audio::PlayerContext& playerContext() { return *context_; }
    audio::CartPlayer& cuePlayer(); // shared by CUE and the search window's preview
    carts::LoudnessService& loudness() { return *loudness_; }
    // The operator's audio markers, read at start(); the marker editor changes them here and
    // then calls markersChanged().
    carts::MarkerStore& markerStore() { return *markers_; }
    // The markers of `path` changed: players holding it take them (one on air from its next
    // stop) and the block's segue follows.
    void markersChanged(const QString& path);
    // The markers a cart of `path` plays by, for previews elsewhere (the search window).
    audio::PlayMarks marksOf(const QString& path) const;

    // The first activation: the players open their devices, the profile box is filled and the
    // display starts ticking.
    void start();

    // The wall's own commands. `n` is the cart the operator pointed at; 0 for none.
    void click(int n, PlayTrigger trigger = PlayTrigger::Click);
    int fireByKey(QChar letter);   // the cart fired by Ctrl + letter, else 0
    void press(int n, bool shift); // a mouse press: with Shift the cart joins or leaves the block
    void pointerOver(int n);
    void cut(int n); // the Alt key
    void setStopMode(int n, carts::StopMode mode);
    void toggleLoop(int n);
    void toggleCueMode();
    void setMasterFader(int position);
    void showProfileStatus(); // the status line names the current profile
    void setAutoFade(bool on);
    void setAutoMix(bool on);

    // Editing, as the cart menu and drops give it.
    std::optional<carts::CartMenuState> menuState(int n) const;
    carts::CartEditing& editing() { return *editing_; }
    void deleteAudio(int n);
    void loadSearchRow(int n, const QString& name, const QString& path,
                       std::optional<carts::Colour> preset);
    void dropFiles(const QList<QUrl>& urls, int n);

    // Profiles.
    void listProfiles();
    void selectInProfileBox(int index);
    void activateSelected();
    void activateListed(int index); // an entry of the F10 list
    void saveWall();
    void createProfile();
    void deleteSelected();
    // Closing: a changed wall is offered for saving; false when the program must stay open.
    bool mayClose();
    // The program ends: plays still on air end with "exit".
    void endSession();

    // Settings: BANDORA40.CFG read again (MIXAGEM and FADE act at once); bandoraext.ini's
    // values taken for the next cart started.
    void reloadDeviceSettings();
    void applyExtSettings(const config::ExtSettings& settings);
    // Opens the files of the carts whose players hold nothing yet, `firstCart`'s first.
    void openWallFilesAhead(int firstCart);

    // Queues every loaded cart's file for loudness measurement (done after each profile load).
    void measureWallLoudness();
    // A wall brought back after the program died: its carts, block (cart numbers, next
    // first), profile name and changed flag. Nothing plays.
    void restore(const carts::CartTable& table, const QList<int>& block, const QString& profile,
                 bool changed);

    // WallCommands: for sources without a pointer (remote control, panic keys).
    QString fire(int cart, PlayTrigger trigger) override;
    QString stop(int cart) override;
    QString fade(int cart) override;
    QString cue(int cart) override;
    QString toggleQueued(int cart) override;
    QString blockNext() override;
    QString fadeAll() override;
    QString stopAll() override;
    QString setMasterVolume(int percent) override;
    QString activateProfile(const QString& name) override;

signals:
    void cartChanged(int n); // what a profile line stores of cart n
    void cartStateChanged(int n, session::CartState state);
    void profileChanged(const QString& name);
    void wallSaved(); // written to the current profile: the changed flag is clear
    void masterVolumeChanged(int percent); // set by a command, not by the fader
    void displayTicked();                  // every 100 ms while the wall is active
    void playStarted(const session::PlayInfo& play);
    void loopTurned(const session::PlayInfo& play);
    void playEnded(const session::PlayInfo& play, session::PlayEnd end);

private:
    // Tests and benchmarks clock the players and set the wall up by hand through it.
    friend struct WallSessionAccess;

    struct Play {
        PlayInfo info;
        std::optional<PlayEnd> end; // why it is ending, when the session made it end
    };

    void createPlayers();
    void connectPlayerEvents();
    void applyEndWarning(); // AVISO_FIM to the display
    void onWallLoaded();
    void reportingSave(const std::function<void()>& command);
    int wallLoads_ = 0; // walls loaded so far, for reportingSave
    // Carts that started or stopped since the last look, and every cart's state.
    void observe();
    CartState stateOf(int n) const;
    PlayEnd ownEndOf(int n) const; // how a click ends cart n on air
    // Marks every play on air for which `applies` holds with `end`, runs `command`, and
    // takes the mark back from plays that are still on air and not fading.
    void ending(PlayEnd end, const std::function<bool(int)>& applies,
                const std::function<void()>& command);
    void endAll(PlayEnd end, bool fadeOut);
    float playbackGainOf(const QString& path) const;
    static std::optional<QString> badCart(int n);

    SessionDeps deps_;
    carts::Wall wall_;
    config::DeviceSettings deviceSettings_;
    config::ExtSettings extSettings_;
    WallState state_;
    std::unique_ptr<DiskFiles> files_;
    std::unique_ptr<carts::LoudnessService> loudness_;
    std::unique_ptr<carts::MarkerStore> markers_;
    std::unique_ptr<audio::PlayerContext> context_;
    std::unique_ptr<CartPlayerBank> players_;
    std::unique_ptr<BlockSequencer> block_;
    std::unique_ptr<CartFiring> firing_;
    std::unique_ptr<StatusDisplay> display_;
    std::unique_ptr<SessionCartPlayers> editingPlayers_;
    std::unique_ptr<carts::CartEditing> editing_;
    std::unique_ptr<carts::ProfileFolder> folder_;
    std::unique_ptr<ProfileCommands> profiles_;
    QTimer displayTimer_;

    std::array<Play, kCartCount + 1> plays_{};       // info.playId 0: not on air
    std::array<CartState, kCartCount + 1> states_{}; // index 0 unused
    PlayTrigger trigger_ = PlayTrigger::Click;       // what starts the plays seen next
    std::int64_t lastPlayId_ = 0;
};

} // namespace session
