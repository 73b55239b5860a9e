// The paint routine of the cart button. Every operator-visible state (idle, on air, queued,
// held down, focused, disabled) comes from the properties and these few steps.
#include "widgets/cart_button.h"
#include "widgets/paint_helpers.h"

#include <QPainter>

#include <algorithm>

namespace widgets {

namespace {

constexpr int kTextFlags = Qt::TextShowMnemonic | Qt::TextDontClip;
const QColor kSilver(192, 192, 192);
const QColor kBadgeRed(255, 0, 0);

// A badge is shown for any text with a character other than blanks and control characters.
bool isBlank(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= u' '; });
}

} // namespace

QString CartButton::drawnCaption() const {
    QString text = caption_;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

void CartButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool pressed = isDown();
    const bool focused = hasFocus();
    const TextState state = !isEnabled() ? TextState::Disabled
                            : pressed    ? TextState::Down
                                         : TextState::Up;
    const BevelColors colors = bevelColors(palette());
    const EdgeRect client = EdgeRect::fromQRect(rect());

    // The fill below covers the inner half of the outer pen, so frameWidth 0 and 1 leave no
    // visible frame and 10 leaves 5 pixels.
    EdgeRect r = client;
    drawPenFrame(p, r, frameWidth_, frameColor_);
    r = r.shrunk(frameWidth_ / 2);
    if (isActive_ || focused) {
        drawPenFrame(p, r, 2, Qt::black);
        r = r.shrunk(1);
    }
    if (pressed) {
        drawPenFrame(p, r, 2, Qt::black);
        r = r.shrunk(1);
        if (frame3D_) {
            r = drawButtonBevel(p, r, true, colors);
        }
    } else if (borders_) {
        r = drawButtonBevel(p, r, false, colors);
    }
    fillEdgeRect(p, r, buttonColor_);

    EdgeRect t = isActive_ ? client.shrunk(1) : r.shrunk(-1);
    if (pressed) {
        t = t.moved(1, 1);
    }
    p.setFont(font());
    drawCaptionAndBadge(p, t, state, colors);

    if (showsFocus_ && isActive_ && focused) {
        drawFocusDots(p, client.shrunk(4));
    }
}

void CartButton::drawCaptionAndBadge(QPainter& p, const EdgeRect& t, TextState state,
                                     const BevelColors& colors) const {
    const QString text = drawnCaption();
    const QSize size = p.fontMetrics().size(Qt::TextShowMnemonic, text);
    const EdgeRect box = centredBox(t, size.width(), size.height());
    const QRect captionRect(box.left, box.top, size.width(), size.height());
    const int captionFlags = Qt::AlignHCenter | Qt::AlignTop | kTextFlags;
    // While pressed T sits 1 pixel right and down, so B grows by 2 and the badge moves right.
    const EdgeRect b{0, 0, t.left + t.right, t.top + t.bottom};
    const bool badge = !isBlank(badge_);

    if (state != TextState::Disabled) {
        p.setPen(fontColor_);
        p.drawText(captionRect, captionFlags, text);
        if (badge) {
            drawBadge(p, b, u' ' + badge_ + u' ', marked_ ? kBadgeRed : QColor(Qt::black));
        }
        return;
    }

    p.setPen(colors.highlight);
    p.drawText(captionRect.translated(1, 1), captionFlags, text);
    p.setPen(colors.shadow);
    p.drawText(captionRect, captionFlags, text);
    if (badge) {
        p.drawText(QRect(b.left, b.top, b.width(), b.height()),
                   Qt::AlignRight | Qt::AlignTop | kTextFlags, badge_);
        const EdgeRect silverArea = centredBox(t, b.width(), b.height());
        drawBadge(p, silverArea, QStringLiteral("  ") + badge_ + QStringLiteral("  "), kSilver);
    }
}

// White text on an opaque box, right-aligned at the top of `area`.
void CartButton::drawBadge(QPainter& p, const EdgeRect& area, const QString& text,
                           const QColor& background) const {
    const QSize size = p.fontMetrics().size(Qt::TextShowMnemonic, text);
    const QRect box(area.right - size.width(), area.top, size.width(), size.height());
    p.fillRect(box, background);
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignLeft | Qt::AlignTop | kTextFlags, text);
}

} // namespace widgets
