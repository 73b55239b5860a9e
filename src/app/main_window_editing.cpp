// The cart commands of the pop-up menu and files dropped from the file manager, on the
// window's buttons, players and dialogs.
#include "app/main_window_editing.h"
#include "app/cart_firing.h"
#include "app/qt_editing_dialogs.h"
#include "app/rename_cart_dialog.h"
#include "app/wall_menus.h"
#include "carts/cart_editing.h"
#include "widgets/bgr_color.h"
#include "widgets/cart_button.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTimer>

namespace app {

void MainWindow::createEditing() {
    renameDialog_ = new RenameCartDialog(this);
    editing_ = std::make_unique<Editing>(*this, env_.dialogs);
    carts::CartEditing& e = editing_->editing;

    const struct {
        const char* name;
        std::function<void()> run;
    } commands[] = {
        {"insertAudioAction", [&e] { e.insertAudio(); }},
        {"deleteAudioAction", [&e] { e.deleteAudio(); }},
        {"faceColourAction", [&e] { e.chooseFaceColour(); }},
        {"defaultColourAction", [&e] { e.resetFaceColour(); }},
        {"captionColourAction", [&e] { e.chooseCaptionColour(); }},
        {"propertiesAction", [&e] { e.showProperties(); }},
        {"renameAction", [&e] { e.renameCart(); }},
        {"copyAction", [&e] { e.copyCart(); }},
        {"pasteAction", [&e] { e.pasteCart(); }},
        {"stopWithCutAction", [this] { firing_->setStopWithCut(); }},
        {"stopWithFadeAction", [this] { firing_->setStopWithFade(); }},
        {"loopAction", [this] { firing_->toggleLoop(); }},
    };
    for (const auto& command : commands) {
        connect(action(QString::fromLatin1(command.name)), &QAction::triggered, this, command.run);
    }
    connect(menus_->cartMenu(), &QMenu::aboutToShow, this, &MainWindow::updateCartMenu);
}

carts::CartEditing& MainWindow::editing() {
    return editing_->editing;
}

void MainWindow::updateCartMenu() {
    if (const std::optional<carts::CartMenuState> state = editing_->editing.menuState()) {
        menus_->applyCartMenuState(*state);
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (takeSearchDrag(event)) {
        return;
    }
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (takeSearchDrop(event)) {
        return;
    }
    if (!event->mimeData()->hasUrls()) {
        return;
    }
    event->acceptProposedAction();
    // Handled after the drop returns: it may open the colour dialog or a message, and the
    // file manager waits for the drop to finish.
    const QList<QUrl> urls = event->mimeData()->urls();
    QTimer::singleShot(0, this, [this, urls] { editing_->editing.dropFiles(urls); });
}

} // namespace app
