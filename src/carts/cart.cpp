#include "carts/cart.h"

#include "core/text_helpers.h"

namespace carts {

namespace {

StopMode stopModeOf(const QString& text) {
    if (text == u"0") {
        return StopMode::Fade;
    }
    return text == u"1" ? StopMode::Cut : StopMode::Unset;
}

QString textOf(StopMode mode) {
    switch (mode) {
    case StopMode::Fade:
        return QStringLiteral("0");
    case StopMode::Cut:
        return QStringLiteral("1");
    case StopMode::Unset:
        break;
    }
    return {};
}

QString numberText(const std::optional<QString>& read, qint32 value) {
    return read ? *read : QString::number(value);
}

} // namespace

Cart::Cart(const QString& name, const QString& path, const QString& colour, const QString& stopMode,
           const QString& loop, const QString& captionColour, const QString& duration)
    : Cart(fromFields({name, path, colour, stopMode, loop, captionColour, duration})) {}

QString Cart::caption() const {
    return core::leftChars(name, kCaptionLength);
}

void Cart::setFaceColour(Colour c) {
    faceColour_ = c;
    read_.faceColour.reset();
}

void Cart::setCaptionColour(Colour c) {
    captionColour_ = c;
    read_.captionColour.reset();
}

void Cart::setStopMode(StopMode mode) {
    stopMode_ = mode;
    read_.stopMode.reset();
}

void Cart::setLoop(bool loop) {
    loop_ = loop;
    read_.loop.reset();
}

void Cart::setDurationMs(qint32 ms) {
    durationMs_ = ms;
    read_.duration.reset();
}

void Cart::reset() {
    *this = Cart{};
    read_ = ReadText{};
    stopMode_ = StopMode::Fade;
}

void Cart::clearKeepingDuration() {
    Cart emptied;
    emptied.durationMs_ = durationMs_;
    emptied.read_.duration = read_.duration;
    *this = emptied;
}

QStringList Cart::toFields() const {
    return {name,
            path,
            numberText(read_.faceColour, faceColour_.bgr),
            read_.stopMode ? *read_.stopMode : textOf(stopMode_),
            read_.loop ? *read_.loop : QString::number(loop_ ? 1 : 0),
            numberText(read_.captionColour, captionColour_.bgr),
            numberText(read_.duration, durationMs_)};
}

Cart Cart::fromFields(const QStringList& fields) {
    const auto at = [&fields](int i) { return fields.value(i); };
    Cart c;
    c.name = at(0);
    c.path = at(1);
    c.faceColour_ = {core::toWholeNumber(at(2)).value_or(kDefaultFaceColour.bgr)};
    c.stopMode_ = stopModeOf(at(3));
    c.loop_ = at(4) == u"1";
    c.captionColour_ = {core::toWholeNumber(at(5)).value_or(kDefaultCaptionColour.bgr)};
    c.durationMs_ = core::toWholeNumber(at(6)).value_or(0);
    c.read_ = {at(2), at(3), at(4), at(5), at(6)};
    return c;
}

} // namespace carts
