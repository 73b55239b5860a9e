#include "app/widget_scaling.h"
#include "app/layout_scaling.h"

#include <QList>
#include <utility>
#include <vector>

namespace app {

namespace {

QFont scaled(QFont f, int m, int d) {
    if (f.pixelSize() > 0) {
        f.setPixelSize(mulDiv(f.pixelSize(), m, d));
    } else {
        f.setPointSizeF(f.pointSizeF() * m / d);
    }
    return f;
}

} // namespace

void scaleWidgetTree(QWidget& root, int m, int d) {
    // Fonts a control set itself are read before any font changes, so a control whose font
    // takes its size from a parent is not scaled twice.
    std::vector<std::pair<QWidget*, QFont>> ownFonts;
    const QList<QWidget*> all = root.findChildren<QWidget*>();
    for (QWidget* w : all) {
        if (w->isWindow()) {
            continue;
        }
        w->setGeometry(scaleBy(w->geometry(), m, d));
        if (w->testAttribute(Qt::WA_SetFont)) {
            ownFonts.emplace_back(w, scaled(w->font(), m, d));
        }
    }
    root.setFont(scaled(root.font(), m, d));
    for (auto& [w, font] : ownFonts) {
        w->setFont(font);
    }
}

} // namespace app
