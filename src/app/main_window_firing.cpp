// The players of the wall, their devices, and what clicks, cart keys and the block do.
#include "app/block_sequencer.h"
#include "app/cart_firing.h"
#include "app/main_window.h"
#include "app/player_bank.h"
#include "widgets/color_btn.h"
#include "widgets/mm_slider.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

namespace app {

void Tfrm_botonera::createPlayers() {
    playerContext_ = std::make_unique<audio::PlayerContext>(*env_.sound, *env_.messages);
    players_ = std::make_unique<WindowPlayers>(*playerContext_);
    for (int n = 1; n <= kCarts; ++n) {
        players_->Tocador(n).SetOnStop([this, n](QObject*) { AUDIO_STOP(n); });
    }

    Timer_mix_botonera = new audio::TThreadedTimer(this);
    Timer_mix_botonera->setObjectName(QStringLiteral("Timer_mix_botonera"));
    Timer_mix_botonera->SetInterval(50);
    Timer_mix_botonera->SetOnTimer([this](QObject*) { block_->Timer_mix_botoneraTimer(); });
    mixSwitch_ = std::make_unique<ThreadedTimerSwitch>(*Timer_mix_botonera);

    block_ = std::make_unique<BlockSequencer>(wall_, *players_, view_, *env_.messages, files_,
                                              deviceSettings_, *mixSwitch_);
    firing_ = std::make_unique<CartFiring>(wall_, *players_, view_, *block_, *env_.messages, files_,
                                           deviceSettings_);
    connectCartButtons();
    connectDisplay();
    createEditing();
}

void Tfrm_botonera::releasePlayers() {
    // Timers and players go first, so no tick or stop event reaches a half-destroyed window.
    delete Timer_mix_botonera;
    Timer_mix_botonera = nullptr;
    players_.reset();
}

void Tfrm_botonera::connectCartButtons() {
    for (int n = 1; n <= kCarts; ++n) {
        widgets::TColorBtn* b = carts_[n];
        connect(b, &widgets::TColorBtn::clicked, this, [this] { firing_->botao_click(); });
        connect(b, &QWidget::customContextMenuRequested, this,
                [this, b](const QPoint& pos) { PopupMenu1->popup(b->mapToGlobal(pos)); });
        connect(b, &widgets::TColorBtn::mouseMoved, this,
                [this, n] { firing_->botao_mouseMove(n); });
        connect(b, &widgets::TColorBtn::mousePressed, this,
                [this, n](Qt::MouseButton, Qt::KeyboardModifiers modifiers, QPoint) {
                    block_->SelecionaBloco(n, modifiers.testFlag(Qt::ShiftModifier));
                });
    }
    connect(ColorBtn1, &widgets::TColorBtn::clicked, this, [this] { firing_->ColorBtn1Click(); });
}

void Tfrm_botonera::AUDIO_STOP(int n) {
    firing_->AUDIO_STOP(players_->cart(n));
}

void Tfrm_botonera::atualiza_buffers() {
    const int output = deviceSettings_.DVTRA + 1;
    const int cue = deviceSettings_.DVCUE + 1;
    const auto buffer = static_cast<std::uint16_t>(deviceSettings_.TAMBR);
    void* window = reinterpret_cast<void*>(winId());
    auto openOn = [&](audio::TOrvaneBass& player, int device, std::uint32_t volume) {
        player.InitDevice(device, false, window);
        player.SelectDevice(device);
        player.SetBufferLength(buffer);
        player.SetVolume(volume);
    };
    for (int n = 1; n <= kCarts; ++n) {
        openOn(players_->Tocador(n), output, static_cast<std::uint32_t>(MMSlider1->position()));
    }
    openOn(players_->TocadorCue(), cue, 100);
    openOn(players_->TocadorAuxiliar(), output, 100);
}

void Tfrm_botonera::FormKeyDown(QKeyEvent* event) {
    const int key = event->key();
    if (event->modifiers() == Qt::ControlModifier && key >= Qt::Key_A && key <= Qt::Key_Z) {
        firing_->fireByKey(QChar(u'A' + (key - Qt::Key_A)));
    }
    if (key == Qt::Key_Alt) {
        firing_->cutCurrentCart();
    }
}

bool Tfrm_botonera::isKeyForThisWindow(QObject* watched, QEvent* event) const {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this) {
        return false;
    }
    // A key is offered to the focus widget first and then to its parents: take it once.
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? widget == focus : widget == this;
}

} // namespace app
