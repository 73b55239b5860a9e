// What only the window knows and forwards to the session: keys, the pop-up menus, files and
// search rows dropped on the wall, and the cart under the pointer.
#include "app/cart_wall_panel.h"
#include "app/control_strip.h"
#include "app/loudness_hint.h"
#include "app/main_window.h"
#include "app/menu_commands.h"
#include "app/wall_binding.h"
#include "app/wall_drops.h"
#include "app/wall_menus.h"
#include "session/wall_session.h"
#include "widgets/cart_button.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>

namespace app {

void MainWindow::connectMenus() {
    // The three keys work anywhere in the window, menu open or not.
    const struct {
        const char* name;
        Qt::Key key;
        void (MainWindow::*slot)();
    } shortcuts[] = {
        {"aboutAction", Qt::Key_F1, &MainWindow::showAbout},
        {"searchAudioAction", Qt::Key_F3, &MainWindow::showSearch},
        {"profileListAction", Qt::Key_F10, &MainWindow::showProfileList},
    };
    for (const auto& s : shortcuts) {
        QAction* item = menus_->action(QString::fromLatin1(s.name));
        item->setShortcut(QKeySequence(s.key));
        item->setShortcutContext(Qt::WindowShortcut);
        addAction(item);
        connect(item, &QAction::triggered, this, s.slot);
    }
    connect(menus_->action(QStringLiteral("quitAction")), &QAction::triggered, this,
            &MainWindow::askToQuit);
    connect(menus_->action(QStringLiteral("minimizeAction")), &QAction::triggered, this,
            &MainWindow::minimize);
    const auto popupAt = [this](QMenu* menu, QWidget* owner) {
        connect(owner, &QWidget::customContextMenuRequested, this,
                [menu, owner](const QPoint& pos) { menu->popup(owner->mapToGlobal(pos)); });
    };
    setContextMenuPolicy(Qt::CustomContextMenu);
    popupAt(menus_->cartMenu(), this);
    popupAt(menus_->cartMenu(), wallPanel_);
    for (int n = 1; n <= carts::kCartCount; ++n) {
        popupAt(menus_->cartMenu(), wallPanel_->cartButton(n));
    }
    popupAt(menus_->profileListMenu(), strip_);
    popupAt(menus_->profileMenu(), strip_->profileBox());
    popupAt(menus_->windowMenu(), strip_->quitButton());
    popupAt(menus_->windowMenu(), strip_->minimizeButton());
    new MenuCommands(*menus_, *session_, *binding_, *env_.messages, this);
}

void MainWindow::showProfileList() {
    // The menu opens at the screen point whose coordinates are the wall panel's left and top.
    menus_->profileListMenu()->popup(wallPanel_->geometry().topLeft());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (isKeyForThisWindow(watched, event)) {
        onWindowKey(static_cast<QKeyEvent*>(event)); // never consumed
    }
    if (loudnessHint_->show(watched, event)) {
        return true;
    }
    if (watched == strip_ && event->type() == QEvent::MouseMove) {
        session_->showProfileStatus();
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::onWindowKey(QKeyEvent* event) {
    const int key = event->key();
    if (event->modifiers() == Qt::ControlModifier && key >= Qt::Key_A && key <= Qt::Key_Z) {
        // The fired cart becomes the cart Alt and the menu act on.
        if (const int fired = session_->fireByKey(QChar(u'A' + (key - Qt::Key_A)))) {
            binding_->setPointedCart(fired);
        }
    }
    if (key == Qt::Key_Alt) {
        session_->cut(binding_->pointedCart());
    }
}

bool MainWindow::isKeyForThisWindow(QObject* watched, QEvent* event) const {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this) {
        return false;
    }
    // A key is offered to the focus widget first and then to its parents: take it once.
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? widget == focus : widget == this;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    drops_->enter(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    drops_->move(event);
}

void MainWindow::dropEvent(QDropEvent* event) {
    drops_->drop(event);
}

} // namespace app
