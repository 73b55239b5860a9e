#pragma once
// The cart wall window: a borderless, screen-filling window that composes the control strip
// and, on it, the wall of 96 cart buttons. It owns the wall session, shows it through a
// WallBinding and forwards what only a window knows: keys, menus, drops, the cart under the
// pointer, the window's own dialogs and its placement on the screen.
#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class QKeyEvent;

namespace audio::engine {
class SoundEngine;
}
namespace carts {
class EditingDialogs;
}
namespace core {
class MessageSink;
}
namespace search {
class SearchWindow;
}
namespace session {
class ProfileNamePrompt;
class WallSession;
} // namespace session
namespace widgets {
class WindowMover;
}

namespace app {

class CartWallPanel;
class ControlStrip;
class LoudnessHint;
class QtEditingDialogs;
class SafetyBinding;
class WallBinding;
class WallDrops;
class WallMenus;

// What the window needs from outside; tests pass their own.
struct MainWindowEnvironment {
    QString programDir; // where ARQUIVOS, settings and profiles live
    core::MessageSink* messages = nullptr;
    audio::engine::SoundEngine* sound = nullptr; // the sound layer all players use
    carts::EditingDialogs* dialogs = nullptr; // default: the real file, colour and rename dialogs
    session::ProfileNamePrompt* profileNamePrompt = nullptr; // default: the new-profile dialog
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
    // The wall's logic, for the observers the program adds (remote control, logs).
    session::WallSession& session() { return *session_; }

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
    void createSession();
    void connectWindowControls();
    void connectMenus();
    void readWindowSettings();
    void saveWindowSettings();
    void onFirstActivation();
    void onWindowKey(QKeyEvent* event);
    bool isKeyForThisWindow(QObject* watched, QEvent* event) const;
    QString audioFolder() const;
    QString startHint() const;
    QSize screenSize() const;
    void fitToScreen();

    MainWindowEnvironment env_;
    ControlStrip* strip_ = nullptr;
    CartWallPanel* wallPanel_ = nullptr;
    WallMenus* menus_ = nullptr;
    widgets::WindowMover* mover_ = nullptr; // drags the window by the strip
    std::unique_ptr<QtEditingDialogs> ownDialogs_;
    session::ProfileNamePrompt* namePrompt_ = nullptr;
    std::unique_ptr<session::WallSession> session_;
    WallBinding* binding_ = nullptr;
    LoudnessHint* loudnessHint_ = nullptr;
    SafetyBinding* safety_ = nullptr; // log and journal follow the session
    std::unique_ptr<WallDrops> drops_;
    search::SearchWindow* searchWindow_ = nullptr; // previews on the session's cue player
    bool creationRefused_ = false;
    bool activatedOnce_ = false;
    bool closing_ = false;
    QSize reference_{1035, 768}; // the size the layout was last fitted to
};

} // namespace app
