#pragma once
// Remote control's place in the wall window: "Aprender MIDI" in the cart menu (the next pad
// pressed fires the cart under the pointer; Esc in the window cancels), the status line while
// a cart waits for its pad and when the wall refuses a pad's command, and on each setup
// dialog the window opens, the remote-control line and the button to "Controle Remoto". It
// owns the program's RemoteBinding and starts it once the session ticks, that is once the
// session has opened its devices.
//
// It reaches the window through its session and its named parts (the cart menu's item, the
// strip's setup button), so the window itself knows nothing of remote control.
#include <QObject>
#include <QString>

namespace core {
class MessageSink;
}

namespace app {

class MainWindow;
class RemoteBinding;
class WallBinding;

class WindowRemoteControl : public QObject {
    Q_OBJECT
public:
    WindowRemoteControl(MainWindow& window, core::MessageSink& messages);
    ~WindowRemoteControl() override;

    RemoteBinding& remote() { return *remote_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectCartMenu();
    void connectStatusLine();
    void startLearning(int cart);
    void endLearning(const QString& statusLine);
    void holdLearningLine();
    void extendNewestSetupDialog();

    MainWindow& window_;
    RemoteBinding* remote_ = nullptr;
    WallBinding* wallBinding_ = nullptr;
    QString learningLine_; // shown while a cart waits for its pad; empty otherwise
};

} // namespace app
