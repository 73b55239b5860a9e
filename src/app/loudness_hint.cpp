#include "app/loudness_hint.h"

#include "app/cart_wall_panel.h"
#include "carts/loudness_service.h"
#include "session/wall_session.h"
#include "widgets/cart_button.h"

#include <QHelpEvent>
#include <QToolTip>

namespace app {

LoudnessHint::LoudnessHint(session::WallSession& session, CartWallPanel& panel, QObject* parent)
    : QObject(parent), session_(session), panel_(panel) {
    connect(&session_.loudness(), &carts::LoudnessService::measured, this, &LoudnessHint::refresh);
}

bool LoudnessHint::show(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip || !session_.extSettings().loudness) {
        return false;
    }
    const int n = panel_.cartNumberOf(watched);
    if (n == 0 || !session_.wall().table[n].isLoaded()) {
        return false;
    }
    showAt(n, static_cast<QHelpEvent*>(event)->globalPos());
    return true;
}

void LoudnessHint::showAt(int cart, QPoint globalPos) {
    const QString path = session_.wall().table[cart].path;
    const QString text = panel_.cartButton(cart)->toolTip() + QLatin1Char('\n') +
                         carts::loudnessHintLine(session_.loudness().known(path),
                                                 session_.extSettings().loudnessTarget);
    shown_ = {cart, globalPos, text};
    QToolTip::showText(globalPos, text, panel_.cartButton(cart));
}

void LoudnessHint::refresh(const QString& measuredPath) {
    const int n = shown_.cart;
    if (n == 0 || !QToolTip::isVisible() || QToolTip::text() != shown_.text ||
        !session_.extSettings().loudness || session_.wall().table[n].path != measuredPath) {
        return;
    }
    showAt(n, shown_.globalPos);
}

} // namespace app
