#include "app/window_remote_control.h"

#include "app/control_strip.h"
#include "app/main_window.h"
#include "app/remote_binding.h"
#include "app/remote_control_dialog.h"
#include "app/setup_dialog.h"
#include "app/wall_binding.h"
#include "session/wall_session.h"

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
    connect(learn, &QAction::triggered, this, [this] {
        remote_->learn({remote::CommandKind::Fire, wallBinding_->pointedCart()});
    });
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
    }
    return QObject::eventFilter(watched, event);
}

} // namespace app
