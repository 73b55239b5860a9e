#pragma once
// LED level meter: a bar of segments showing one level 0..100 in three colour zones. It keeps
// no peak hold and no decay: it shows exactly the last value given to it.
#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace widgets {

class LedMeter : public QWidget {
    Q_OBJECT
    Q_PROPERTY(Kind kind READ kind WRITE setKind)
    Q_PROPERTY(Direction direction READ direction WRITE setDirection)
    Q_PROPERTY(int progress READ progress WRITE setProgress)
    Q_PROPERTY(int point1 READ point1 WRITE setPoint1)
    Q_PROPERTY(int point2 READ point2 WRITE setPoint2)
    Q_PROPERTY(int spotWidth READ spotWidth WRITE setSpotWidth)
    Q_PROPERTY(int spotSpace READ spotSpace WRITE setSpotSpace)
    Q_PROPERTY(QColor color READ color WRITE setColor)

public:
    enum Kind { Horizontal, Vertical };
    Q_ENUM(Kind)
    // Where lit segments start: left (horizontal) or bottom (vertical) when normal.
    enum Direction { Normal, Reversed };
    Q_ENUM(Direction)

    explicit LedMeter(QWidget* parent = nullptr);

    Kind kind() const { return kind_; }
    void setKind(Kind kind);
    Direction direction() const { return direction_; }
    void setDirection(Direction direction);

    // Clamped to 0..100; the same level again does not redraw.
    int progress() const { return progress_; }
    void setProgress(int level);

    // Zone limits in percent of the segment count, each clamped to 1..100.
    int point1() const { return point1_; }
    void setPoint1(int percent);
    int point2() const { return point2_; }
    void setPoint2(int percent);

    // Lit colours of zones 1..3 and unlit colours of zones 1..3 (zone is 1, 2 or 3).
    QColor barColor(int zone) const;
    void setBarColor(int zone, const QColor& color);
    QColor inactiveColor(int zone) const;
    void setInactiveColor(int zone, const QColor& color);

    // Segment thickness (at least 1, at most a third of the bar's length when drawn) and the
    // gap between segments (0..10).
    int spotWidth() const { return spotWidth_; }
    void setSpotWidth(int pixels);
    int spotSpace() const { return spotSpace_; }
    void setSpotSpace(int pixels);

    // Background: shows in the gaps and margins.
    QColor color() const { return color_; }
    void setColor(const QColor& color);

    int segmentCount() const { return layout().count; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Layout {
        int length = 0; // along the bar
        int spot = 1;   // segment thickness actually used
        int count = 1;  // segments N
        int margin = 0; // before the first segment
        int limit1 = 0; // last segment of zone 1
        int limit2 = 0; // last segment of zone 2
    };

    Layout layout() const;
    int zoneOf(const Layout& g, int segment) const;
    QRect segmentRect(const Layout& g, int segment) const;
    void drawSegments(QPainter& p, const Layout& g, int first, int last, bool lit) const;
    void invalidateUnlit();
    void rebuildUnlit();

    Kind kind_ = Horizontal;
    Direction direction_ = Normal;
    int progress_ = 0;
    int point1_ = 50;
    int point2_ = 85;
    QColor barColors_[3] = {Qt::cyan, Qt::cyan, Qt::red};
    QColor inactiveColors_[3] = {QColor(0, 128, 128), QColor(0, 128, 128), QColor(128, 0, 0)};
    int spotWidth_ = 1;
    int spotSpace_ = 1;
    QColor color_ = Qt::black;
    // All segments unlit over the background; rebuilt only when colours or geometry change.
    QPixmap unlit_;
    bool unlitValid_ = false;
};

} // namespace widgets
