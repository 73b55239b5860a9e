#pragma once
// What is dragged onto the wall window: a search row lands on the cart it is dropped on (and
// only on a cart); files from the file manager on the cart under the pointer. Both are loaded
// after the drop has returned, since loading may open the colour dialog or a message.
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QPoint;
class QWidget;

namespace session {
class WallSession;
}

namespace app {

class CartWallPanel;
class WallBinding;

class WallDrops {
public:
    WallDrops(QWidget& window, CartWallPanel& panel, session::WallSession& session,
              WallBinding& binding);

    void enter(QDragEnterEvent* event);
    void move(QDragMoveEvent* event);
    void drop(QDropEvent* event);

private:
    int cartUnder(const QPoint& point) const; // 0 when no cart of the wall is there
    bool takeSearchDrag(QDragMoveEvent* event);
    bool takeSearchDrop(QDropEvent* event);

    QWidget& window_;
    CartWallPanel& panel_;
    session::WallSession& session_;
    WallBinding& binding_;
};

} // namespace app
