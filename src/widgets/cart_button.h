#pragma once
// Cart button: a push button that paints itself entirely (flat face, outer frame, optional
// 3-D frames, centred caption, number badge in the top-right corner). It holds no cart logic;
// its owner shows a cart's state through the properties below.
#include <QColor>
#include <QPushButton>
#include <QString>

namespace widgets {

struct EdgeRect;
struct BevelColors;

class CartButton : public QPushButton {
    Q_OBJECT
    // In this order; "repaints" means only when the value changes, except badge.
    Q_PROPERTY(QColor buttonColor READ buttonColor WRITE setButtonColor) // repaints
    Q_PROPERTY(bool borders READ borders WRITE setBorders)               // stored only
    Q_PROPERTY(bool showsFocus READ showsFocus WRITE setShowsFocus)      // stored only
    Q_PROPERTY(QColor frameColor READ frameColor WRITE setFrameColor)    // repaints
    Q_PROPERTY(int frameWidth READ frameWidth WRITE setFrameWidth)       // repaints
    Q_PROPERTY(QString badge READ badge WRITE setBadge)                  // always repaints
    Q_PROPERTY(bool marked READ marked WRITE setMarked)                  // stored only
    Q_PROPERTY(bool frame3D READ frame3D WRITE setFrame3D)               // stored only
    Q_PROPERTY(bool active READ isActive WRITE setActive)                // stored only

public:
    explicit CartButton(QWidget* parent = nullptr);

    QColor buttonColor() const { return buttonColor_; }
    void setButtonColor(const QColor& color);
    bool borders() const { return borders_; }
    void setBorders(bool on) { borders_ = on; }
    bool showsFocus() const { return showsFocus_; }
    void setShowsFocus(bool on) { showsFocus_ = on; }
    QColor frameColor() const { return frameColor_; }
    void setFrameColor(const QColor& color);
    // Pen width of the outer frame; the visible frame is half of it. Negative counts as 0.
    int frameWidth() const { return frameWidth_; }
    void setFrameWidth(int width);
    QString badge() const { return badge_; }
    void setBadge(const QString& text);
    bool marked() const { return marked_; }
    void setMarked(bool on) { marked_ = on; }
    bool frame3D() const { return frame3D_; }
    void setFrame3D(bool on) { frame3D_ = on; }

    // The active button of its window: the focused button, or the default button while focus
    // is on something that is not a push button. Kept up to date on every focus move within
    // the window; stored without repainting.
    bool isActive() const { return isActive_; }
    void setActive(bool on) { isActive_ = on; }

    // The caption lives here, never in QAbstractButton::text(): a "&X" there would register
    // an Alt+X shortcut, and the owner handles its cart keys itself. "&X" draws X underlined,
    // "&&" a literal "&"; CR, LF and CRLF break lines.
    QString caption() const { return caption_; }
    void setCaption(const QString& text);
    QColor fontColor() const { return fontColor_; }
    void setFontColor(const QColor& color);

    // A free number for the owner (the cart number of a cart button).
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // While false, releasing the button (mouse or Space key) does not emit clicked(). The
    // owner switches it from a mousePressed() handler, which runs before the release.
    bool clickEnabled() const { return clickEnabled_; }
    void setClickEnabled(bool on) { clickEnabled_ = on; }

signals:
    // Every mouse press of any button, before the press is handled (a double click arrives
    // as one more press).
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
    // Every move over the button, buttons held or not (mouse tracking is on).
    void mouseMoved(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint pos);
    // Drag and drop, delivered only after the owner calls setAcceptDrops(true). The event is
    // ignored before the signal; a handler accepts it to take the drop. Connect directly.
    void dragEntered(QDragEnterEvent* event);
    void dragMoved(QDragMoveEvent* event);
    void dropped(QDropEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    enum class TextState { Up, Down, Disabled };

    void onFocusChanged(QWidget* now);
    void drawCaptionAndBadge(QPainter& p, const EdgeRect& t, TextState state,
                             const BevelColors& colors) const;
    void drawBadge(QPainter& p, const EdgeRect& area, const QString& text,
                   const QColor& background) const;
    QString drawnCaption() const;

    QColor buttonColor_;
    bool borders_ = true;
    bool showsFocus_ = false;
    QColor frameColor_ = Qt::black;
    int frameWidth_ = 0;
    QString badge_;
    bool marked_ = false;
    bool frame3D_ = false;
    bool isActive_ = false;
    QString caption_;
    QColor fontColor_ = Qt::black;
    int tag_ = 0;
    bool clickEnabled_ = true;
    bool releasingWithoutClick_ = false;
};

} // namespace widgets
