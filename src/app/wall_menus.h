#pragma once
// The window's four pop-up menus: the cart menu (right click on a cart or the wall), the
// profile box menu, the menu of Sair and Minimizar, and the profile list (F10, right click on
// the strip). Items are found by object name; the owner connects them.
#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QWidget;

namespace carts {
struct CartMenuState;
}

namespace app {

class WallMenus : public QObject {
    Q_OBJECT
public:
    explicit WallMenus(QWidget* owner);

    QMenu* cartMenu() const { return cartMenu_; }
    QMenu* profileMenu() const { return profileMenu_; }
    QMenu* windowMenu() const { return windowMenu_; }
    QMenu* profileListMenu() const { return profileListMenu_; }

    // The item of any of the four menus, submenus included; nullptr when there is none.
    QAction* action(const QString& objectName) const;

    // Enables the cart menu's items and sets its check marks for the current cart.
    void applyCartMenuState(const carts::CartMenuState& state);

private:
    void buildCartMenu(QWidget* owner);
    void buildProfileMenu(QWidget* owner);
    void buildWindowMenu(QWidget* owner);

    QMenu* cartMenu_ = nullptr;
    QMenu* profileMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QMenu* profileListMenu_ = nullptr;
};

} // namespace app
