#pragma once
// Small passive controls of the control strip: rounded-rectangle shapes and bevel frames/lines
// painted behind the other controls, and the clickable logo picture.
#include <QColor>
#include <QLabel>
#include <QWidget>

namespace app {

class ShapeWidget : public QWidget {
public:
    ShapeWidget(QColor fill, QColor pen, int penWidth, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_;
    QColor pen_;
    int penWidth_;
};

class BevelWidget : public QWidget {
public:
    enum class Kind { Box, VerticalLine, HorizontalLine };
    BevelWidget(Kind kind, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind_;
};

class ClickableImage : public QLabel {
    Q_OBJECT
public:
    explicit ClickableImage(QWidget* parent);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace app
