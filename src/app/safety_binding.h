#pragma once
// The window's share of show safety: the as-run log and the wall journal follow the session
// from creation on; at the first activation the problems of the program folder and of the log
// are said in one message and a wall left by a run that died is offered back; "Registro de
// Execução" opens the day's log; F12 and Shift+F12 end every cart on air from any window given.
#include <QObject>

#include <memory>

class QWidget;

namespace core {
class MessageSink;
}
namespace safety {
class ShowSafety;
}
namespace session {
class WallSession;
}

namespace app {

class WallMenus;

class SafetyBinding : public QObject {
    Q_OBJECT
public:
    SafetyBinding(session::WallSession& session, WallMenus& menus, const QString& programDir,
                  core::MessageSink& messages, QWidget& window);
    ~SafetyBinding() override;

    // First activation, before the session starts: a program folder that cannot be written
    // and a log that cannot be written, said once.
    void sayStartProblems();
    // After the session started: the recovery question when the last run did not end normally.
    void offerRecovery();
    // "Sair" or a window close, after the session ended its plays.
    void endCleanly();
    // F12 fades every cart on air over FADE ms and Shift+F12 cuts them, while `window` is active.
    void addPanicKeys(QWidget& window);

private:
    void openTodaysLog();

    session::WallSession& session_;
    const QString programDir_;
    core::MessageSink& messages_;
    std::unique_ptr<safety::ShowSafety> safety_;
};

} // namespace app
