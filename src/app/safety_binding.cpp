#include "app/safety_binding.h"

#include "app/wall_menus.h"
#include "core/message_sink.h"
#include "safety/show_safety.h"
#include "session/wall_session.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>
#include <QWidget>

namespace app {

namespace {

bool isWritableFolder(const QString& dir) {
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".bandora-XXXXXX")));
    return probe.open();
}

QString readOnlyFolderMessage(const QString& dir) {
    return QStringLiteral("A pasta do programa não permite gravação:\r") +
           QDir::toNativeSeparators(dir) +
           QStringLiteral("\rPerfis e configurações não poderão ser salvos.\r"
                          "Copie o programa para uma pasta com permissão de gravação.");
}

} // namespace

SafetyBinding::SafetyBinding(session::WallSession& session, WallMenus& menus,
                             const QString& programDir, core::MessageSink& messages,
                             QWidget& window)
    : QObject(&window), session_(session), programDir_(programDir), messages_(messages),
      safety_(std::make_unique<safety::ShowSafety>(session, programDir)) {
    connect(menus.action(QStringLiteral("asRunLogAction")), &QAction::triggered, this,
            &SafetyBinding::openTodaysLog);
    addPanicKeys(window);
}

SafetyBinding::~SafetyBinding() = default;

void SafetyBinding::sayStartProblems() {
    // Said once here rather than by every later save: profiles and settings live in this folder.
    QStringList problems;
    if (!isWritableFolder(programDir_)) {
        problems.append(readOnlyFolderMessage(programDir_));
    }
    if (const QString log = safety_->logStartMessage(); !log.isEmpty()) {
        problems.append(log);
    }
    if (!problems.isEmpty()) {
        messages_.showMessage(problems.join(QStringLiteral("\r\r")));
    }
}

void SafetyBinding::offerRecovery() {
    safety_->offerRecovery(messages_);
}

void SafetyBinding::endCleanly() {
    safety_->endCleanly();
}

void SafetyBinding::addPanicKeys(QWidget& window) {
    const struct {
        QKeySequence keys;
        QString (session::WallSession::*command)();
    } panics[] = {
        {QKeySequence(Qt::Key_F12), &session::WallSession::fadeAll},
        {QKeySequence(Qt::SHIFT | Qt::Key_F12), &session::WallSession::stopAll},
    };
    for (const auto& panic : panics) {
        auto* action = new QAction(&window);
        action->setShortcut(panic.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        window.addAction(action);
        connect(action, &QAction::triggered, this,
                [this, command = panic.command] { (session_.*command)(); });
    }
}

// A day without plays has no file yet: the folder with the other days' files opens instead.
void SafetyBinding::openTodaysLog() {
    const QString file = safety_->todaysLogFile();
    const QString target = QFileInfo::exists(file) ? file : QFileInfo(file).path();
    QDesktopServices::openUrl(QUrl::fromLocalFile(target));
}

} // namespace app
