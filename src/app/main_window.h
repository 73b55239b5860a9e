#pragma once
// The cart wall window: a borderless, screen-filling window that composes the control strip
// and, on it, the wall of 96 cart buttons. It creates the players and the controllers that own
// the logic (firing, block, display, editing) and connects the controls to them. Its handlers
// are split over several source files by concern (players, menus, drag, settings, editing).
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include "app/cart_player_bank.h"
#include "app/window_wall_view.h"
#include "carts/cart_table.h"
#include "config/device_settings.h"
#include "config/ext_settings.h"

#include <memory>
#include <optional>

class QAction;
class QTimer;
class QKeyEvent;

namespace carts {
class CartEditing;
class EditingDialogs;
class LoudnessService;
} // namespace carts

namespace core {
class MessageSink;
}

namespace search {
class SearchWindow;
}

namespace widgets {
class CartButton;
class WindowMover;
} // namespace widgets

namespace app {

class BlockSequencer;
class CartFiring;
class NewProfileDialog;
class ProfileCommands;
class ProfileNamePrompt;
class CartWallPanel;
class ControlStrip;
class RenameCartDialog;
class StatusDisplay;
class WallMenus;

// What the window needs from outside; tests pass their own.
struct MainWindowEnvironment {
    QString programDir; // where ARQUIVOS, settings and profiles live
    core::MessageSink* messages = nullptr;
    audio::engine::SoundEngine* sound = nullptr; // the sound layer all players use
    carts::EditingDialogs* dialogs = nullptr; // default: the real file, colour and rename dialogs
    ProfileNamePrompt* profileNamePrompt = nullptr; // default: the real new-profile dialog
    std::optional<QSize> screenSize; // the screen to fit; default: the window's screen
};

class MainWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDesignWidth = 1021;
    static constexpr int kDesignHeight = 768;

    explicit MainWindow(const MainWindowEnvironment& env, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Creation refused the screen (below 1024 x 768): the window was closed and must not show.
    bool creationRefused() const { return creationRefused_; }

    // Shows the window over the whole screen (showing fits the layout to it).
    void showOnScreen();

    ControlStrip& strip() const { return *strip_; }
    CartWallPanel& wallPanel() const { return *wallPanel_; }
    widgets::CartButton* cartButton(int n) const; // n = 1..96
    const WallMenus& menus() const { return *menus_; }
    QAction* action(const QString& objectName) const;
    QTimer& displayTimer() const { return *displayTimer_; }

    // The wall's controls the proportional layout fits, and the size it last fitted them to.
    QList<QWidget*> wallControls() const;
    QList<QWidget*> stripControls() const;
    QSize referenceSize() const { return {refWidth_, refHeight_}; }
    bool isDragging() const;

    QString audioFolder() const;

    // The players and the wall's logic.
    CartPlayerBank& players() { return *players_; }
    CartFiring& firing() { return *firing_; }
    BlockSequencer& block() { return *block_; }
    carts::CartEditing& editing();
    search::SearchWindow& searchWindow() const { return *searchWindow_; }
    ProfileCommands& profiles();
    NewProfileDialog* newProfileDialog() const { return newProfileDialog_; }

    // The wall's model and the device and time settings, owned by the window.
    carts::Wall& wall() { return wall_; }
    const config::DeviceSettings& deviceSettings() const { return deviceSettings_; }

    // Proportional layout: fits every control to the window's current size.
    void fitToScreen();

    // Loudness (main_window_loudness.cpp). measureWallLoudness queues every loaded cart of
    // the wall for measurement, e.g. after a profile was loaded; applyExtSettings takes
    // normalisation settings (as the setup dialog's OK does) for the next cart started.
    void measureWallLoudness();
    void applyExtSettings(const config::ExtSettings& settings);
    const config::ExtSettings& extSettings() const { return extSettings_; }
    carts::LoudnessService& loudness() const { return *loudness_; }

signals:
    void aboutShown();

public slots:
    void askToQuit();
    void minimize();
    void showAbout();
    void showSearch();
    void showProfileList();
    void showSetup();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Creation steps.
    void createAudioFolder();
    void connectStrip();
    void connectMenus();
    void readWindowSettings();
    void createPlayers();
    bool screenIsSupported() const;
    QSize screenSize() const;
    QString startHint() const;
    void fitControl(QWidget* c);

    // Players and firing.
    void connectCartButtons();
    void connectDisplay();
    void createEditing();
    void updateCartMenu();
    void releasePlayers();
    void onWindowKey(QKeyEvent* event);
    bool isKeyForThisWindow(QObject* watched, QEvent* event) const;

    // First activation.
    void onFirstActivation();
    void warnIfProgramFolderReadOnly();
    void openPlayerDevices();
    void listProfiles();

    // Closing.
    void saveWindowSettings();

    // Profiles: the box, its buttons and menu, and the F10 list.
    void createProfiles();
    void connectProfileControls();
    void rebuildProfileListMenu();
    void openWallFilesAhead(int firstCart = 0);

    // The search window and its rows dropped on carts.
    void createSearchWindow();
    int cartUnder(const QPoint& point) const;      // 0 when no cart of the wall is there
    int cartNumberOf(const QObject* object) const; // 0 when it is no cart button of the wall
    bool takeSearchDrag(QDragMoveEvent* event);
    bool takeSearchDrop(QDropEvent* event);

    // Window drag on the strip.

    // Status line.
    void showProfileStatus();

    // Loudness normalisation.
    void createLoudness();
    float playbackGainOf(const QString& path) const;
    bool showLoudnessHint(QObject* watched, QEvent* event);
    void showLoudnessHintAt(int cart, QPoint globalPos);
    void refreshShownLoudnessHint(const QString& measuredPath);

    MainWindowEnvironment env_;
    carts::Wall wall_;
    config::DeviceSettings deviceSettings_;
    ControlStrip* strip_ = nullptr;
    CartWallPanel* wallPanel_ = nullptr;
    WallMenus* menus_ = nullptr;
    WindowWallView view_{*this};
    DiskFiles files_;
    config::ExtSettings extSettings_;
    // The loudness hint on screen, so a measurement that ends under the pointer updates it.
    struct ShownLoudnessHint {
        int cart = 0;
        QPoint globalPos;
        QString text;
    } shownLoudnessHint_;
    std::unique_ptr<carts::LoudnessService> loudness_; // before the players, which ask it
    std::unique_ptr<audio::PlayerContext> playerContext_;
    std::unique_ptr<CartPlayerBank> players_;
    QTimer* displayTimer_ = nullptr; // 100 ms, runs from the first activation on
    std::unique_ptr<BlockSequencer> block_;
    std::unique_ptr<CartFiring> firing_;
    std::unique_ptr<StatusDisplay> display_;
    RenameCartDialog* renameDialog_ = nullptr;     // created once
    NewProfileDialog* newProfileDialog_ = nullptr; // created once, unless the caller gave one
    search::SearchWindow* searchWindow_ = nullptr; // created once, released with the players
    struct Editing;
    std::unique_ptr<Editing> editing_;
    struct Profiles;
    std::unique_ptr<Profiles> profiles_;
    bool creationRefused_ = false;
    bool activatedOnce_ = false;
    bool closing_ = false;
    int refWidth_ = 0;
    int refHeight_ = 0;
    int hoveredCart_ = 0;
    widgets::WindowMover* mover_ = nullptr; // drags the window by the strip
};

} // namespace app
