#include "app/window_remote_control.h"

#include "app/control_strip.h"
#include "app/main_window.h"
#include "app/remote_binding.h"
#include "app/remote_control_dialog.h"
#include "app/setup_dialog.h"
#include "app/wall_binding.h"
#include "session/wall_session.h"
#include "session/wall_state.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>

namespace app {

WindowRemoteControl::WindowRemoteControl(MainWindow& window, core::MessageSink& messages)
    : QObject(&window), window_(window),
      remote_(new RemoteBinding(window.session(), messages, this)),
      wallBinding_(window.findChild<WallBinding*>()) {
    connect(&window.session(), &session::WallSession::displayTicked, remote_,
            qOverload<>(&RemoteBinding::start));
    connectCartMenu();
    connectStatusLine();
    // After the window's own connection, which has just made the dialog.
    connect(window.findChild<ControlStrip*>()->setupButton(), &QPushButton::clicked, this,
            &WindowRemoteControl::extendNewestSetupDialog);
    qApp->installEventFilter(this);
}

WindowRemoteControl::~WindowRemoteControl() {
    qApp->removeEventFilter(this);
}

void WindowRemoteControl::connectCartMenu() {
    QAction* learn = window_.findChild<QAction*>(QStringLiteral("learnMidiAction"));
    connect(window_.findChild<QMenu*>(QStringLiteral("cartMenu")), &QMenu::aboutToShow, learn,
            [this, learn] {
                const int n = wallBinding_->pointedCart();
                learn->setEnabled(n >= 1 && window_.session().wall().table[n].isLoaded());
            });
    connect(learn, &QAction::triggered, this,
            [this] { startLearning(wallBinding_->pointedCart()); });
}

void WindowRemoteControl::connectStatusLine() {
    connect(remote_, &RemoteBinding::learnt, this, [this](const remote::Command& command) {
        if (learningLine_.isEmpty() || !remote::isCartCommand(command.kind)) {
            return;
        }
        endLearning(QStringLiteral("Pad %1 dispara o cartucho %2")
                        .arg(remote_->keyOf(command))
                        .arg(command.cart));
    });
    connect(remote_, &RemoteBinding::padRefused, this, [this](const QString& reason) {
        window_.session().state().setStatusLine(QStringLiteral("Pad MIDI recusado: ") + reason);
    });
    connect(&window_.session().state(), &session::WallState::statusLineChanged, this,
            &WindowRemoteControl::holdLearningLine);
}

void WindowRemoteControl::startLearning(int cart) {
    remote_->learn({remote::CommandKind::Fire, cart});
    learningLine_ =
        QStringLiteral("Aprender MIDI: pressione um pad para o cartucho %1 (Esc cancela)")
            .arg(cart);
    window_.session().state().setStatusLine(learningLine_);
}

void WindowRemoteControl::endLearning(const QString& statusLine) {
    learningLine_.clear();
    window_.session().state().setStatusLine(statusLine);
}

// The pointer rewrites the status line as it moves; while a pad is awaited that line stays.
void WindowRemoteControl::holdLearningLine() {
    if (learningLine_.isEmpty()) {
        return;
    }
    if (!remote_->learning()) {
        learningLine_.clear(); // the "Controle Remoto" dialog took the learning over
        return;
    }
    if (window_.session().state().strip().statusLine != learningLine_) {
        window_.session().state().setStatusLine(learningLine_);
    }
}

void WindowRemoteControl::extendNewestSetupDialog() {
    const auto dialogs = window_.findChildren<SetupDialog*>(Qt::FindDirectChildrenOnly);
    if (dialogs.isEmpty()) {
        return;
    }
    dialogs.last()->showRemoteControl([this] { return remote_->statusLine(); },
                                      [this](QWidget* parent) {
                                          RemoteControlDialog dialog(*remote_, parent);
                                          dialog.exec();
                                      });
}

// Esc anywhere in the wall window cancels a pad being learnt; the key goes on as before.
bool WindowRemoteControl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == &window_ && remote_->learning()) {
        remote_->cancelLearning();
        if (!learningLine_.isEmpty()) {
            endLearning(QStringLiteral("Aprender MIDI cancelado"));
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace app
