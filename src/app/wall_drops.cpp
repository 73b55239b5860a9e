#include "app/wall_drops.h"

#include "app/cart_wall_panel.h"
#include "app/wall_binding.h"
#include "search/dragged_row.h"
#include "session/wall_session.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QWidget>

namespace app {

WallDrops::WallDrops(QWidget& window, CartWallPanel& panel, session::WallSession& session,
                     WallBinding& binding)
    : window_(window), panel_(panel), session_(session), binding_(binding) {}

int WallDrops::cartUnder(const QPoint& point) const {
    for (QWidget* w = window_.childAt(point); w != nullptr && w != &window_;
         w = w->parentWidget()) {
        if (const int n = panel_.cartNumberOf(w); n != 0) {
            return n;
        }
    }
    return 0;
}

// A search row is taken only over a cart; anything else is left to the file-manager drop.
bool WallDrops::takeSearchDrag(QDragMoveEvent* event) {
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

bool WallDrops::takeSearchDrop(QDropEvent* event) {
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
    binding_.setPointedCart(n);
    // Loaded once the drag has ended: loading may open the colour dialog or a message.
    QTimer::singleShot(0, &window_, [this, n, row = *row] {
        std::optional<carts::Colour> preset;
        if (row.presetColour) {
            preset = carts::Colour{*row.presetColour};
        }
        session_.loadSearchRow(n, row.name, row.path, preset);
    });
    return true;
}

void WallDrops::enter(QDragEnterEvent* event) {
    if (!takeSearchDrag(event) && event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void WallDrops::move(QDragMoveEvent* event) {
    if (takeSearchDrag(event)) {
        return;
    }
    // A drag from the file manager moves the pointer over the wall without any mouse move:
    // each position it reports counts as one, so the status line names the cart under it and
    // the file lands on the cart it is dropped on, not on the one last hovered before.
    if (const int n = cartUnder(event->position().toPoint()); n != 0) {
        binding_.setPointedCart(n);
    }
}

void WallDrops::drop(QDropEvent* event) {
    if (takeSearchDrop(event) || !event->mimeData()->hasUrls()) {
        return;
    }
    event->acceptProposedAction();
    // Handled after the drop returns: it may open the colour dialog or a message, and the
    // file manager waits for the drop to finish.
    const QList<QUrl> urls = event->mimeData()->urls();
    const int n = binding_.pointedCart();
    QTimer::singleShot(0, &window_, [this, urls, n] { session_.dropFiles(urls, n); });
}

} // namespace app
