#include "app/window_wall_view.h"

#include "app/main_window.h"
#include "widgets/bgr_color.h"
#include "widgets/color_btn.h"
#include "widgets/mm_led_gauge.h"
#include "widgets/mm_slider.h"

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
    widgets::TColorBtn* b = w_.cartButton(n);
    b->setBordaCor(widgets::colorFromBgr(bgrColour));
    b->setBordaWidth(width);
}

int WindowWallView::frameWidth(int n) const {
    return w_.cartButton(n)->bordaWidth();
}

void WindowWallView::setCaptionPointSize(int n, int points) {
    widgets::TColorBtn* b = w_.cartButton(n);
    if (b->font().pointSize() != points) {
        QFont f = b->font();
        f.setPointSize(points);
        b->setFont(f);
    }
}

void WindowWallView::setQueued(int n, bool queued) {
    w_.cartButton(n)->setChecado(queued);
}

void WindowWallView::setClickEnabled(int n, bool enabled) {
    w_.cartButton(n)->setClickEnabled(enabled);
}

int WindowWallView::masterVolume() const {
    return w_.MMSlider1->position();
}

bool WindowWallView::autoFade() const {
    return w_.CheckBox1->isChecked();
}

bool WindowWallView::autoMix() const {
    return w_.CheckBox2->isChecked();
}

void WindowWallView::setBlockLines(const QStringList& lines) {
    w_.ListBox1->clear();
    w_.ListBox1->addItems(lines);
}

void WindowWallView::setBlockCount(int count) {
    w_.Label4->setText(QString::number(count));
}

void WindowWallView::setClockText(const QString& text) {
    w_.Label2->setText(text);
}

void WindowWallView::setMeters(int levelA, int levelB) {
    w_.meter1->setProgress(levelA);
    w_.Meter2->setProgress(levelB);
}

void WindowWallView::setCueLook(bool cueMode) {
    widgets::TColorBtn* cue = w_.ColorBtn1;
    cue->setButtonColor(widgets::colorFromBgr(cueMode ? kCueOnFace : kCueOffFace));
    cue->setBordas(!cueMode);
    cue->setFontColor(cueMode ? Qt::white : Qt::black);
    cue->setBordaWidth(cueMode ? 4 : 1);
    cue->update();
}

void WindowWallView::setStatusLine(const QString& text) {
    w_.Label1->setText(text);
}

} // namespace app
