#pragma once
// Moves a borderless window by dragging one of its handles with the left button: an outline of
// the window follows the pointer and the window moves when the button is released. The outline
// is a top-level rubber band (no parent), so it is drawn over the whole screen.
#include <QObject>
#include <QPoint>

#include <memory>

class QMouseEvent;
class QRubberBand;
class QWidget;

namespace widgets {

class WindowMover : public QObject {
    Q_OBJECT
public:
    explicit WindowMover(QWidget& window);
    ~WindowMover() override;

    // Mouse presses that reach the handle move the window (also those its children leave).
    void addHandle(QWidget* handle);
    bool isMoving() const { return handle_ != nullptr; }
    // Where the outline stands now (screen coordinates); empty while not moving.
    QRect outline() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void press(QWidget* handle, QMouseEvent* event);
    void follow(QMouseEvent* event);
    void release(QMouseEvent* event);
    QPoint offset(QMouseEvent* event) const;

    QWidget& window_;
    QWidget* handle_ = nullptr; // the handle holding the mouse while moving, else null
    QPoint pressPoint_;         // screen point of the press
    std::unique_ptr<QRubberBand> outline_;
};

} // namespace widgets
