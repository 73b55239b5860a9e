#include "carts/cart.h"

#include "core/text_helpers.h"

namespace carts {

int Cart::faceColour() const {
    return core::toWholeNumber(colourText).value_or(kDefaultFaceColour);
}

int Cart::captionColour() const {
    return core::toWholeNumber(captionColourText).value_or(kDefaultCaptionColour);
}

qint32 Cart::durationMs() const {
    return core::toWholeNumber(durationText).value_or(0);
}

QString Cart::caption() const {
    return core::leftChars(name, kCaptionLength);
}

void Cart::reset() {
    *this = Cart{};
    colourText = QString::number(kDefaultFaceColour);
    stopModeText = QStringLiteral("0");
    loopText = QStringLiteral("0");
    captionColourText = QString::number(kDefaultCaptionColour);
    durationText = QStringLiteral("0");
}

QStringList Cart::toFields() const {
    return {name, path, colourText, stopModeText, loopText, captionColourText, durationText};
}

Cart Cart::fromFields(const QStringList& fields) {
    const auto at = [&fields](int i) { return fields.value(i); };
    return {at(0), at(1), at(2), at(3), at(4), at(5), at(6)};
}

} // namespace carts
