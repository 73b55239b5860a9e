#pragma once
// The cart menu's and the profile menus' items as session commands. Cart items act on the
// cart under the pointer when the menu opened; the F10 list is rebuilt from the profile box
// each time it opens.
#include <QObject>

namespace session {
class WallSession;
}

namespace app {

class WallBinding;
class WallMenus;

class MenuCommands : public QObject {
    Q_OBJECT
public:
    MenuCommands(WallMenus& menus, session::WallSession& session, WallBinding& binding,
                 QObject* parent);

private:
    void connectCartMenu();
    void connectProfileMenus();
    void rebuildProfileListMenu();

    WallMenus& menus_;
    session::WallSession& session_;
    WallBinding& binding_;
};

} // namespace app
