// Where the window's pop-up menus open, their window-wide keys, and the items that are not
// cart commands.
#include "app/control_strip.h"
#include "app/main_window.h"
#include "app/wall_menus.h"

#include <QAction>
#include <QComboBox>
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
        QAction* item = action(QString::fromLatin1(s.name));
        item->setShortcut(QKeySequence(s.key));
        item->setShortcutContext(Qt::WindowShortcut);
        addAction(item);
        connect(item, &QAction::triggered, this, s.slot);
    }
    connect(action(QStringLiteral("quitAction")), &QAction::triggered, this,
            &MainWindow::askToQuit);
    connect(action(QStringLiteral("minimizeAction")), &QAction::triggered, this,
            &MainWindow::minimize);

    auto popupAt = [](QMenu* menu, QWidget* owner) {
        return [menu, owner](const QPoint& pos) { menu->popup(owner->mapToGlobal(pos)); };
    };
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, popupAt(menus_->cartMenu(), this));
    connect(strip_, &QWidget::customContextMenuRequested, this,
            popupAt(menus_->profileListMenu(), strip_));
    connect(strip_->profileBox(), &QWidget::customContextMenuRequested, this,
            popupAt(menus_->profileMenu(), strip_->profileBox()));
    for (QPushButton* button : {strip_->quitButton(), strip_->minimizeButton()}) {
        connect(button, &QWidget::customContextMenuRequested, this,
                popupAt(menus_->windowMenu(), button));
    }
}

} // namespace app
