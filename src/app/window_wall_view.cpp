#include "app/window_wall_view.h"

#include "app/cart_wall_panel.h"
#include "app/control_strip.h"
#include "app/main_window.h"
#include "widgets/bgr_color.h"
#include "widgets/cart_button.h"
#include "widgets/fader.h"
#include "widgets/led_meter.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>

namespace app {

namespace {
constexpr int kCueOnFace = 255;
constexpr int kCueOffFace = 32768;
} // namespace

QString WindowWallView::caption(int n) const {
    return w_.cartButton(n)->caption();
}

void WindowWallView::setCaption(int n, const QString& text) {
    w_.cartButton(n)->setCaption(text);
}

void WindowWallView::setFrame(int n, int bgrColour, int width) {
    widgets::CartButton* b = w_.cartButton(n);
    b->setFrameColor(widgets::colorFromBgr(bgrColour));
    b->setFrameWidth(width);
}

int WindowWallView::frameWidth(int n) const {
    return w_.cartButton(n)->frameWidth();
}

void WindowWallView::setCaptionPointSize(int n, int points) {
    widgets::CartButton* b = w_.cartButton(n);
    if (b->font().pointSize() != points) {
        QFont f = b->font();
        f.setPointSize(points);
        b->setFont(f);
    }
}

void WindowWallView::setQueued(int n, bool queued) {
    w_.cartButton(n)->setMarked(queued);
}

void WindowWallView::setClickEnabled(int n, bool enabled) {
    w_.cartButton(n)->setClickEnabled(enabled);
}

int WindowWallView::masterVolume() const {
    return w_.strip().masterFader()->position();
}

bool WindowWallView::autoFade() const {
    return w_.strip().autoFadeBox()->isChecked();
}

bool WindowWallView::autoMix() const {
    return w_.strip().autoMixBox()->isChecked();
}

void WindowWallView::setBlockLines(const QStringList& lines) {
    w_.strip().blockList()->clear();
    w_.strip().blockList()->addItems(lines);
}

void WindowWallView::setBlockCount(int count) {
    w_.strip().blockCountLabel()->setText(QString::number(count));
}

void WindowWallView::setClockText(const QString& text) {
    w_.strip().clockLabel()->setText(text);
}

void WindowWallView::setMeters(int levelA, int levelB) {
    w_.strip().upperMeter()->setProgress(levelA);
    w_.strip().lowerMeter()->setProgress(levelB);
}

void WindowWallView::setCueLook(bool cueMode) {
    widgets::CartButton* cue = w_.strip().cueButton();
    cue->setButtonColor(widgets::colorFromBgr(cueMode ? kCueOnFace : kCueOffFace));
    cue->setBorders(!cueMode);
    cue->setFontColor(cueMode ? Qt::white : Qt::black);
    cue->setFrameWidth(cueMode ? 4 : 1);
    cue->update();
}

void WindowWallView::setStatusLine(const QString& text) {
    w_.wallPanel().statusLabel()->setText(text);
}

} // namespace app
