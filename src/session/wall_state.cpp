#include "session/wall_state.h"

#include "carts/cart_table.h"

namespace session {

WallState::WallState(QObject* parent) : QObject(parent) {}

template <typename T> void WallState::change(int n, T CartLook::*field, const T& value) {
    CartLook& look = edit(n);
    if (!(look.*field == value)) {
        look.*field = value;
        emit cartLookChanged(n);
    }
}

void WallState::setCaption(int n, const QString& text) {
    change(n, &CartLook::caption, text);
}

void WallState::setIntroCountdown(int n, bool running) {
    change(n, &CartLook::introRunning, running);
}

void WallState::setFrame(int n, int bgrColour, int width) {
    CartLook& look = edit(n);
    if (look.frameColour != bgrColour || look.frameWidth != width) {
        look.frameColour = bgrColour;
        look.frameWidth = width;
        emit cartLookChanged(n);
    }
}

void WallState::setCaptionPointSize(int n, int points) {
    change(n, &CartLook::captionPoints, points);
}

void WallState::setQueued(int n, bool queued) {
    change(n, &CartLook::queued, queued);
}

void WallState::setClickEnabled(int n, bool enabled) {
    change(n, &CartLook::clickEnabled, enabled);
}

void WallState::setFaceColour(int n, carts::Colour colour) {
    change(n, &CartLook::face, colour);
}

void WallState::setCaptionColour(int n, carts::Colour colour) {
    change(n, &CartLook::captionColour, colour);
}

void WallState::applyFace(const carts::CartFace& face) {
    CartLook look = cart(face.tag);
    look.caption = face.caption;
    look.hint = face.hint;
    look.face = face.faceColour;
    look.captionColour = face.captionColour;
    if (!(look == cart(face.tag))) {
        edit(face.tag) = look;
        emit cartLookChanged(face.tag);
    }
}

void WallState::setBlockLines(const QStringList& lines) {
    strip_.blockLines = lines;
    emit blockChanged();
}

void WallState::setBlockCount(int count) {
    strip_.blockCount = count;
    emit blockChanged();
}

void WallState::setClockText(const QString& text) {
    if (strip_.clock != text) {
        strip_.clock = text;
        emit clockChanged();
    }
}

void WallState::setClockWarning(bool lit) {
    if (strip_.clockWarning != lit) {
        strip_.clockWarning = lit;
        emit clockChanged();
    }
}

void WallState::setMeters(int levelA, int levelB) {
    strip_.meterA = levelA;
    strip_.meterB = levelB;
    emit metersChanged();
}

void WallState::setCueLook(bool cueMode) {
    strip_.cueMode = cueMode;
    emit cueModeChanged();
}

void WallState::setStatusLine(const QString& text) {
    strip_.statusLine = text;
    emit statusLineChanged();
}

void WallState::setProfileNames(const QStringList& names) {
    box_.names = names;
    box_.selected = names.isEmpty() ? -1 : 0;
    emit profileBoxChanged();
}

void WallState::selectProfile(int index) {
    if (box_.selected != index) {
        box_.selected = index;
        emit profileBoxChanged();
    }
}

void WallState::setProfileButtonsEnabled(bool enabled) {
    if (box_.buttonsEnabled != enabled) {
        box_.buttonsEnabled = enabled;
        emit profileBoxChanged();
    }
}

} // namespace session
