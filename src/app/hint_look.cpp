#include "app/hint_look.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QToolTip>

namespace app {

namespace {

const QColor kHintBorder(128, 128, 128);
const QColor kHintOrange(255, 128, 64);
constexpr int kHintMaxWidth = 800;
constexpr int kHintPadding = 2;

QFont hintFont() {
    QFont font(QStringLiteral("Segoe UI")); // fontconfig picks a stand-in when it is missing
    font.setPixelSize(13);
    font.setBold(true);
    return font;
}

// The hints' panel drawn by a style rather than an application style sheet: a style sheet on
// the application stops fonts and palettes set on a window at its controls, so captions fell
// back to the default font and colours.
class HintStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void polish(QWidget* widget) override {
        QProxyStyle::polish(widget);
        if (widget->inherits("QTipLabel")) {
            widget->setFont(hintFont());
            widget->setMaximumWidth(kHintMaxWidth);
        }
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_ToolTipLabelFrameWidth) {
            return 1 + kHintPadding;
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_PanelTipLabel) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const QRect area = option->rect;
        QLinearGradient gradient(area.topLeft(), area.bottomLeft());
        gradient.setColorAt(0, Qt::white);
        gradient.setColorAt(1, kHintOrange);
        painter->save();
        painter->fillRect(area, gradient);
        painter->setPen(kHintBorder);
        painter->drawRect(area.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

} // namespace

void applyHintLook(QApplication& application) {
    QPalette palette = QToolTip::palette();
    palette.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(palette);
    if (dynamic_cast<HintStyle*>(application.style()) == nullptr) {
        application.setStyle(new HintStyle(application.style()->name()));
    }
}

} // namespace app
