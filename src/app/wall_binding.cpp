#include "app/wall_binding.h"

#include "app/cart_wall_panel.h"
#include "app/control_strip.h"
#include "session/wall_session.h"
#include "widgets/bgr_color.h"
#include "widgets/cart_button.h"
#include "widgets/fader.h"
#include "widgets/led_meter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace app {

namespace {
constexpr int kCueOnFace = 255;
constexpr int kCueOffFace = 32768;
// An intro's count-down: a deep amber, apart from the black caption and the on-air red, and
// dark enough to read on the default face.
constexpr QRgb kIntroCaptionColour = qRgb(176, 72, 0);
} // namespace

WallBinding::WallBinding(session::WallSession& session, CartWallPanel& panel, ControlStrip& strip,
                         QObject* parent)
    : QObject(parent), session_(session), panel_(panel), strip_(strip) {
    session::WallState& state = session_.state();
    connect(&state, &session::WallState::cartLookChanged, this, &WallBinding::renderCart);
    connect(&state, &session::WallState::blockChanged, this, &WallBinding::renderBlock);
    connect(&state, &session::WallState::clockChanged, this, &WallBinding::renderClock);
    connect(&state, &session::WallState::metersChanged, this, [this] {
        strip_.upperMeter()->setProgress(session_.state().strip().meterA);
        strip_.lowerMeter()->setProgress(session_.state().strip().meterB);
    });
    connect(&state, &session::WallState::cueModeChanged, this, &WallBinding::renderCueSwitch);
    connect(&state, &session::WallState::statusLineChanged, this,
            [this] { panel_.statusLabel()->setText(session_.state().strip().statusLine); });
    connect(&state, &session::WallState::profileBoxChanged, this, &WallBinding::renderProfileBox);
    connect(&session_, &session::WallSession::masterVolumeChanged, this,
            [this](int percent) { strip_.masterFader()->setPosition(percent); });
    connectCartButtons();
    connectStrip();
}

void WallBinding::setPointedCart(int n) {
    if (n != pointedCart_) {
        pointedCart_ = n;
        emit pointerMovedToCart(n);
    }
    session_.pointerOver(n);
}

void WallBinding::renderCart(int n) {
    const session::CartLook& look = session_.state().cart(n);
    widgets::CartButton* b = panel_.cartButton(n);
    b->setCaption(look.caption);
    if (!look.hint.isEmpty()) {
        b->setToolTip(look.hint);
    }
    b->setButtonColor(widgets::colorFromBgr(look.face.bgr));
    b->setFontColor(look.introRunning ? QColor(kIntroCaptionColour)
                                      : widgets::colorFromBgr(look.captionColour.bgr));
    b->setFrameColor(widgets::colorFromBgr(look.frameColour));
    b->setFrameWidth(look.frameWidth);
    if (b->font().pointSize() != look.captionPoints) {
        QFont f = b->font();
        f.setPointSize(look.captionPoints);
        b->setFont(f);
    }
    b->setMarked(look.queued);
    b->setClickEnabled(look.clickEnabled);
    b->update();
}

void WallBinding::renderClock() {
    const session::StripLook& look = session_.state().strip();
    QLabel* clock = strip_.clockLabel();
    clock->setText(look.clock);
    QPalette pal = clock->palette();
    // Red as the on-air frame while the end warning's blink is lit.
    pal.setColor(QPalette::WindowText, look.clockWarning ? Qt::red : Qt::white);
    clock->setPalette(pal);
}

void WallBinding::renderBlock() {
    const session::StripLook& look = session_.state().strip();
    strip_.blockList()->clear();
    strip_.blockList()->addItems(look.blockLines);
    strip_.blockCountLabel()->setText(QString::number(look.blockCount));
}

void WallBinding::renderCueSwitch() {
    const bool on = session_.state().strip().cueMode;
    widgets::CartButton* cue = strip_.cueButton();
    cue->setButtonColor(widgets::colorFromBgr(on ? kCueOnFace : kCueOffFace));
    cue->setBorders(!on);
    cue->setFontColor(on ? Qt::white : Qt::black);
    cue->setFrameWidth(on ? 4 : 1);
    cue->update();
}

void WallBinding::renderProfileBox() {
    const session::ProfileBox& box = session_.state().profileBox();
    QComboBox* combo = strip_.profileBox();
    fillingProfileBox_ = true;
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i) {
        shown.append(combo->itemText(i));
    }
    if (shown != box.names) {
        combo->clear();
        combo->addItems(box.names);
    }
    combo->setCurrentIndex(box.selected);
    fillingProfileBox_ = false;
    strip_.activateButton()->setEnabled(box.buttonsEnabled);
    strip_.saveButton()->setEnabled(box.buttonsEnabled);
}

void WallBinding::connectCartButtons() {
    for (int n = 1; n <= carts::kCartCount; ++n) {
        widgets::CartButton* b = panel_.cartButton(n);
        connect(b, &widgets::CartButton::clicked, this, [this, n] { session_.click(n); });
        connect(b, &widgets::CartButton::mouseMoved, this, [this, n] { setPointedCart(n); });
        connect(b, &widgets::CartButton::mousePressed, this,
                [this, n](Qt::MouseButton, Qt::KeyboardModifiers modifiers, QPoint) {
                    session_.press(n, modifiers.testFlag(Qt::ShiftModifier));
                });
    }
}

void WallBinding::connectStrip() {
    session::WallSession& s = session_;
    connect(strip_.cueButton(), &widgets::CartButton::clicked, this, [&s] { s.toggleCueMode(); });
    connect(strip_.autoMixBox(), &QCheckBox::toggled, this, [&s](bool on) { s.setAutoMix(on); });
    connect(strip_.autoFadeBox(), &QCheckBox::toggled, this, [&s](bool on) { s.setAutoFade(on); });
    connect(strip_.masterFader(), &widgets::Fader::track, this,
            [&s](int position) { s.setMasterFader(position); });
    connect(strip_.profileBox(), &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!fillingProfileBox_) {
            session_.selectInProfileBox(index);
        }
    });
    connect(strip_.activateButton(), &QPushButton::clicked, this, [&s] { s.activateSelected(); });
    connect(strip_.saveButton(), &QPushButton::clicked, this, [&s] { s.saveWall(); });
    connect(strip_.newProfileButton(), &QPushButton::clicked, this, [&s] { s.createProfile(); });
    // The strip's inputs as they stand when the session starts.
    s.setMasterFader(strip_.masterFader()->position());
    s.setAutoFade(strip_.autoFadeBox()->isChecked());
    s.setAutoMix(strip_.autoMixBox()->isChecked());
}

} // namespace app
