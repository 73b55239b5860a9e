// The search window, created once with the wall, and its rows dropped on the wall's carts.
#include "app/cart_firing.h"
#include "app/main_window.h"
#include "app/main_window_editing.h"
#include "app/search_drop.h"
#include "search/dragged_row.h"
#include "search/search_window.h"
#include "widgets/cart_button.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>

namespace app {

void MainWindow::createSearchWindow() {
    searchWindow_ =
        new search::SearchWindow(audioFolder(), players_->cuePlayer(), *env_.messages, this);
}

int MainWindow::cartNumberOf(const QObject* object) const {
    const auto* button = qobject_cast<const widgets::CartButton*>(object);
    // The CUE switch is a cart button too, but no cart.
    const bool isCart = button != nullptr && carts::isCartNumber(button->tag()) &&
                        cartButton(button->tag()) == button;
    return isCart ? button->tag() : 0;
}

int MainWindow::cartUnder(const QPoint& point) const {
    for (QWidget* w = childAt(point); w != nullptr && w != this; w = w->parentWidget()) {
        if (const int n = cartNumberOf(w); n != 0) {
            return n;
        }
    }
    return 0;
}

// A search row is taken only over a cart; anything else is left to the file-manager drop.
bool MainWindow::takeSearchDrag(QDragMoveEvent* event) {
    if (!search::carriesDraggedRow(event->mimeData())) {
        return false;
    }
    if (cartUnder(event->position().toPoint()) != 0) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
    return true;
}

bool MainWindow::takeSearchDrop(QDropEvent* event) {
    const std::optional<search::DraggedRow> row = search::draggedRowFrom(event->mimeData());
    if (!row) {
        return search::carriesDraggedRow(event->mimeData()); // unreadable: taken, ignored
    }
    const int n = cartUnder(event->position().toPoint());
    if (n == 0) {
        event->ignore();
        return true;
    }
    event->acceptProposedAction();
    // Loaded once the drag has ended: loading may open the colour dialog or a message.
    QTimer::singleShot(0, this, [this, n, row = *row] {
        loadDraggedRow(wall_, editing_->buttons, editing_->editing, n, row);
    });
    return true;
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (takeSearchDrag(event)) {
        return;
    }
    // A drag from the file manager moves the pointer over the wall without any mouse move:
    // each position it reports counts as one, so the status line names the cart under it and
    // the file lands on the cart it is dropped on, not on the one last hovered before.
    if (const int n = cartUnder(event->position().toPoint()); n != 0) {
        firing_->onPointerOverCart(n);
    }
}

} // namespace app
