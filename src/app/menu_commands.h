#pragma once
// The cart menu's and the profile menus' items as session commands and the dialogs they open.
// Cart items act on the cart under the pointer when the menu opened; the F10 list is rebuilt
// from the profile box each time it opens.
#include <QObject>

class QWidget;

namespace core {
class MessageSink;
}

namespace session {
class WallSession;
}

namespace app {

class MarkerEditing;
class WallBinding;
class WallMenus;

class MenuCommands : public QObject {
    Q_OBJECT
public:
    // `window` owns the commands and parents the dialogs they open.
    MenuCommands(WallMenus& menus, session::WallSession& session, WallBinding& binding,
                 core::MessageSink& messages, QWidget* window);

    MarkerEditing& markerEditing() const { return *markerEditing_; }

private:
    void connectCartMenu();
    void connectProfileMenus();
    void rebuildProfileListMenu();

    WallMenus& menus_;
    session::WallSession& session_;
    WallBinding& binding_;
    MarkerEditing* markerEditing_ = nullptr;
};

} // namespace app
