#pragma once
// Fader with a draggable thumb. Program changes of position() emit change() only; the user's
// press, drag and keys also emit track(), so a seek bound to track() never feeds back from a
// timer that follows playback.
#include <QColor>
#include <QWidget>

namespace widgets {

class Fader : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minValue READ minValue WRITE setMinValue)
    Q_PROPERTY(int maxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(int position READ position WRITE setPosition NOTIFY change)
    Q_PROPERTY(Orientation orientation READ orientation WRITE setOrientation)
    Q_PROPERTY(int lineSize READ lineSize WRITE setLineSize)
    Q_PROPERTY(int pageSize READ pageSize WRITE setPageSize)
    Q_PROPERTY(int thumbWidth READ thumbWidth WRITE setThumbWidth)
    Q_PROPERTY(int thumbHeight READ thumbHeight WRITE setThumbHeight)
    Q_PROPERTY(QColor thumbColor READ thumbColor WRITE setThumbColor)
    Q_PROPERTY(QColor grooveColor READ grooveColor WRITE setGrooveColor)
    Q_PROPERTY(QColor color READ color WRITE setColor)

public:
    // Horizontal: minimum at the left. Vertical: minimum at the bottom.
    enum Orientation { Horizontal, Vertical };
    Q_ENUM(Orientation)

    explicit Fader(QWidget* parent = nullptr);

    // Either setter keeps maxValue() >= minValue() + 1 and clamps position() into the range.
    int minValue() const { return min_; }
    void setMinValue(int value);
    int maxValue() const { return max_; }
    void setMaxValue(int value);
    int position() const { return position_; }
    void setPosition(int value);

    Orientation orientation() const { return orientation_; }
    void setOrientation(Orientation orientation);
    // Steps of the arrow keys and of Page Up / Page Down.
    int lineSize() const { return lineSize_; }
    void setLineSize(int step) { lineSize_ = step; }
    int pageSize() const { return pageSize_; }
    void setPageSize(int step) { pageSize_ = step; }

    // Thumb size: ThumbWidth runs along a horizontal track and across a vertical one.
    int thumbWidth() const { return thumbWidth_; }
    void setThumbWidth(int pixels);
    int thumbHeight() const { return thumbHeight_; }
    void setThumbHeight(int pixels);
    QColor thumbColor() const { return thumbColor_; }
    void setThumbColor(const QColor& color);
    QColor grooveColor() const { return grooveColor_; }
    void setGrooveColor(const QColor& color);
    QColor color() const { return color_; }
    void setColor(const QColor& color);

    // The thumb's rectangle in widget coordinates.
    QRect thumbRect() const;

signals:
    // After every change of the position, by program or by the user.
    void change(int position);
    // The user moved the thumb: every left press, and every drag step or key that changed it.
    void track(int position);
    // The user let go (mouse button or key released) after track().
    void trackEnd(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    bool isHorizontal() const { return orientation_ == Horizontal; }
    int trackLength() const;
    int thumbAlong() const;
    int thumbAcross() const;
    int thumbOffset() const;
    int valueAtPointer(QPoint pos) const;
    bool applyPosition(int value);
    void userMoveTo(int value);
    void endTracking();
    void paintGroove(QPainter& p) const;

    int min_ = 0;
    int max_ = 10;
    int position_ = 0;
    Orientation orientation_ = Horizontal;
    int lineSize_ = 1;
    int pageSize_ = 5;
    int thumbWidth_ = 11;
    int thumbHeight_ = 23;
    QColor thumbColor_;
    QColor grooveColor_;
    QColor color_;

    bool dragging_ = false;
    QPoint pressPoint_;
    int pressPosition_ = 0;
    bool tracked_ = false; // track() fired since the last release
};

} // namespace widgets
