// The profile box, its buttons and menu, the F10 list and the new-profile dialog, connected to
// the profile commands.
#include "app/main_window_profiles.h"
#include "app/block_sequencer.h"
#include "app/cart_wall_panel.h"
#include "app/control_strip.h"
#include "app/main_window.h"
#include "app/new_profile_dialog.h"
#include "app/wall_menus.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace app {

void MainWindow::createProfiles() {
    ProfileNamePrompt* prompt = env_.profileNamePrompt;
    if (prompt == nullptr) {
        newProfileDialog_ = new NewProfileDialog(this);
        prompt = newProfileDialog_;
    }
    profiles_ = std::make_unique<Profiles>(*this, *prompt);
    profiles_->commands.setWallLoadedHook([this] {
        // The pointer may rest on the cart it was on before the switch, and no move of it
        // then reorders the list.
        openWallFilesAhead(hoveredCart_);
        measureWallLoudness();
    });
    connectProfileControls();
}

ProfileCommands& MainWindow::profiles() {
    return profiles_->commands;
}

void MainWindow::connectProfileControls() {
    ProfileCommands& p = profiles_->commands;
    connect(strip_->activateButton(), &QPushButton::clicked, this, [&p] { p.activateSelected(); });
    connect(strip_->saveButton(), &QPushButton::clicked, this, [&p] { p.saveWall(); });
    connect(strip_->newProfileButton(), &QPushButton::clicked, this, [&p] { p.createProfile(); });
    connect(action(QStringLiteral("newProfileAction")), &QAction::triggered, this,
            [&p] { p.createProfile(); });
    connect(action(QStringLiteral("saveProfileAction")), &QAction::triggered, this,
            [&p] { p.saveWall(); });
    connect(action(QStringLiteral("deleteProfileAction")), &QAction::triggered, this,
            [&p] { p.deleteSelected(); });
    connect(menus_->profileListMenu(), &QMenu::aboutToShow, this,
            &MainWindow::rebuildProfileListMenu);
}

// Rebuilt each time it opens: one item per entry of the profile box, in its order.
void MainWindow::rebuildProfileListMenu() {
    QMenu* menu = menus_->profileListMenu();
    menu->clear();
    const QStringList names = profiles_->view.profileNames();
    for (int i = 0; i < names.size(); ++i) {
        QAction* item = menu->addAction(names.at(i));
        item->setObjectName(QStringLiteral("profileItem%1").arg(i));
        item->setData(i);
        connect(item, &QAction::triggered, this,
                [this, i] { profiles_->commands.selectProfile(i); });
    }
}

// A cart's first click would otherwise wait for its file to be opened and measured. The files
// of the carts whose players hold nothing yet are opened in the background, `firstCart`'s
// first (the cart under the pointer is the one likely fired next). The carts' players share
// the output device.
void MainWindow::openWallFilesAhead(int firstCart) {
    QStringList paths;
    const auto add = [&](int n) {
        const carts::Cart& slot = wall_.table[n];
        if (slot.isLoaded() && !slot.path.isEmpty() && players_->cart(n).isEmpty()) {
            paths.append(slot.path);
        }
    };
    if (carts::isCartNumber(firstCart)) {
        add(firstCart);
    }
    for (int n = 1; n <= carts::kCartCount; ++n) {
        if (n != firstCart) {
            add(n);
        }
    }
    players_->cartPlayer(1).prefetchFiles(paths);
}

void MainWindow::listProfiles() {
    profiles_->commands.listProfiles();
}

} // namespace app
