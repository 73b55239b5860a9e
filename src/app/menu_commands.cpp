#include "app/menu_commands.h"

#include "app/marker_editing.h"
#include "app/wall_binding.h"
#include "app/wall_menus.h"
#include "session/wall_session.h"

#include <QAction>
#include <QMenu>

#include <functional>

namespace app {

MenuCommands::MenuCommands(WallMenus& menus, session::WallSession& session, WallBinding& binding,
                           core::MessageSink& messages, QWidget* window)
    : QObject(window), menus_(menus), session_(session), binding_(binding),
      markerEditing_(new MarkerEditing(session, messages, window)) {
    connectCartMenu();
    connectProfileMenus();
}

// Each item acts on the cart under the pointer when the menu opened.
void MenuCommands::connectCartMenu() {
    session::WallSession& s = session_;
    carts::CartEditing& e = s.editing();
    const struct {
        const char* name;
        std::function<void(int)> run;
    } commands[] = {
        {"insertAudioAction", [&e](int n) { e.insertAudio(n); }},
        {"deleteAudioAction", [&s](int n) { s.deleteAudio(n); }},
        {"faceColourAction", [&e](int n) { e.chooseFaceColour(n); }},
        {"defaultColourAction", [&e](int n) { e.resetFaceColour(n); }},
        {"captionColourAction", [&e](int n) { e.chooseCaptionColour(n); }},
        {"propertiesAction", [&e](int n) { e.showProperties(n); }},
        {"markersAction", [this](int n) { markerEditing_->open(n); }},
        {"renameAction", [&e](int n) { e.renameCart(n); }},
        {"copyAction", [&e](int n) { e.copyCart(n); }},
        {"pasteAction", [&e](int n) { e.pasteCart(n); }},
        {"stopWithCutAction", [&s](int n) { s.setStopMode(n, carts::StopMode::Cut); }},
        {"stopWithFadeAction", [&s](int n) { s.setStopMode(n, carts::StopMode::Fade); }},
        {"loopAction", [&s](int n) { s.toggleLoop(n); }},
    };
    for (const auto& command : commands) {
        connect(menus_.action(QString::fromLatin1(command.name)), &QAction::triggered, this,
                [this, run = command.run] { run(binding_.pointedCart()); });
    }
    connect(menus_.cartMenu(), &QMenu::aboutToShow, this, [this] {
        if (const auto state = session_.menuState(binding_.pointedCart())) {
            menus_.applyCartMenuState(*state);
        }
    });
}

void MenuCommands::connectProfileMenus() {
    session::WallSession& s = session_;
    connect(menus_.action(QStringLiteral("newProfileAction")), &QAction::triggered, this,
            [&s] { s.createProfile(); });
    connect(menus_.action(QStringLiteral("saveProfileAction")), &QAction::triggered, this,
            [&s] { s.saveWall(); });
    connect(menus_.action(QStringLiteral("deleteProfileAction")), &QAction::triggered, this,
            [&s] { s.deleteSelected(); });
    connect(menus_.profileListMenu(), &QMenu::aboutToShow, this,
            &MenuCommands::rebuildProfileListMenu);
}

// Rebuilt each time it opens: one item per entry of the profile box, in its order.
void MenuCommands::rebuildProfileListMenu() {
    QMenu* menu = menus_.profileListMenu();
    menu->clear();
    const QStringList names = session_.state().profileNames();
    for (int i = 0; i < names.size(); ++i) {
        QAction* item = menu->addAction(names.at(i));
        item->setObjectName(QStringLiteral("profileItem%1").arg(i));
        item->setData(i);
        connect(item, &QAction::triggered, this, [this, i] { session_.activateListed(i); });
    }
}

} // namespace app
