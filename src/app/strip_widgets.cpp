#include "app/strip_widgets.h"

#include <QMouseEvent>
#include <QPainter>

namespace app {

ShapeWidget::ShapeWidget(QColor fill, QColor pen, int penWidth, QWidget* parent)
    : QWidget(parent), fill_(fill), pen_(pen), penWidth_(penWidth) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(pen_, penWidth_));
    p.setBrush(fill_);
    const qreal inset = penWidth_ / 2.0;
    const QRectF r = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    const qreal radius = qMin(r.width(), r.height()) / 4.0;
    p.drawRoundedRect(r, radius, radius);
}

BevelWidget::BevelWidget(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BevelWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    const QRect r = rect();
    switch (kind_) {
    case Kind::Box:
        // Lowered frame: shadow top-left, highlight bottom-right, twice for a grooved edge.
        p.setPen(shadow);
        p.drawRect(r.adjusted(0, 0, -2, -2));
        p.setPen(light);
        p.drawRect(r.adjusted(1, 1, -1, -1));
        break;
    case Kind::VerticalLine:
        p.setPen(shadow);
        p.drawLine(0, 0, 0, r.height() - 1);
        p.setPen(light);
        p.drawLine(1, 0, 1, r.height() - 1);
        break;
    case Kind::HorizontalLine:
        p.setPen(shadow);
        p.drawLine(0, 0, r.width() - 1, 0);
        p.setPen(light);
        p.drawLine(0, 1, r.width() - 1, 1);
        break;
    }
}

ClickableImage::ClickableImage(QWidget* parent) : QLabel(parent) {
    setScaledContents(true);
    setCursor(Qt::PointingHandCursor);
}

void ClickableImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

} // namespace app
