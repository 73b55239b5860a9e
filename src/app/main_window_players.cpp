// The players of the wall, their devices, and what clicks, cart keys and the block do.
#include "app/block_sequencer.h"
#include "app/cart_firing.h"
#include "app/cart_player_bank.h"
#include "app/control_strip.h"
#include "app/main_window.h"
#include "app/status_display.h"
#include "app/wall_menus.h"
#include "search/search_window.h"
#include "widgets/cart_button.h"
#include "widgets/fader.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

namespace app {

namespace {

// The device number for a stored list index. A JACK device is looked for by its ports, since
// its number moves when the graph or the sound server's sinks change; a sound server device
// saved by number is not taken for the JACK pair that has its number now (its sink is gone).
// A device not found gets a number that names none, so its players say so instead of playing
// elsewhere.
int deviceNumberFor(audio::engine::SoundEngine& engine, int storedIndex,
                    const QStringList& jackPorts) {
    constexpr int kNoDevice = audio::engine::SoundEngine::kMaxDevice + 1;
    if (jackPorts.isEmpty()) {
        const int number = storedIndex + 1;
        return engine.devicePorts(number).empty() ? number : kNoDevice;
    }
    std::vector<std::string> ports;
    for (const QString& port : jackPorts) {
        ports.push_back(port.toStdString());
    }
    return engine.deviceWithPorts(ports).value_or(kNoDevice);
}

} // namespace

void MainWindow::createPlayers() {
    playerContext_ = std::make_unique<audio::PlayerContext>(*env_.sound, *env_.messages);
    createLoudness();
    players_ = std::make_unique<CartPlayerBank>(*playerContext_);
    for (int n = 1; n <= carts::kCartCount; ++n) {
        audio::CartPlayer& player = players_->cartPlayer(n);
        player.setOnStop([this, n](QObject*) { firing_->onPlayerStopped(players_->cart(n)); });
        player.setOnLoopTurned([this, n](QObject*) { firing_->onLoopTurned(players_->cart(n)); });
        player.setOnSegue([this, n](QObject*) { block_->onSegue(n); });
    }

    block_ = std::make_unique<BlockSequencer>(wall_, *players_, view_, *env_.messages, files_,
                                              deviceSettings_);
    wall_.onCartEdited = [this](int n) { block_->onCartEdited(n); };
    firing_ = std::make_unique<CartFiring>(wall_, *players_, view_, *block_, *env_.messages, files_,
                                           deviceSettings_);
    connectCartButtons();
    connectDisplay();
    createEditing();
}

void MainWindow::releasePlayers() {
    // Timers and players go first, so no tick or stop event reaches a half-destroyed window.
    // The search window previews on the cue player: it goes before the players.
    delete searchWindow_;
    searchWindow_ = nullptr;
    players_.reset();
}

void MainWindow::connectCartButtons() {
    for (int n = 1; n <= carts::kCartCount; ++n) {
        widgets::CartButton* b = cartButton(n);
        connect(b, &widgets::CartButton::clicked, this, [this] { firing_->onCartClicked(); });
        connect(b, &QWidget::customContextMenuRequested, this,
                [this, b](const QPoint& pos) { menus_->cartMenu()->popup(b->mapToGlobal(pos)); });
        connect(b, &widgets::CartButton::mouseMoved, this, [this, n] {
            firing_->onPointerOverCart(n);
            if (n != hoveredCart_) {
                hoveredCart_ = n;
                openWallFilesAhead(n);
            }
        });
        connect(b, &widgets::CartButton::mousePressed, this,
                [this, n](Qt::MouseButton, Qt::KeyboardModifiers modifiers, QPoint) {
                    block_->queueCart(n, modifiers.testFlag(Qt::ShiftModifier));
                });
    }
    connect(strip_->cueButton(), &widgets::CartButton::clicked, this,
            [this] { firing_->toggleCueMode(); });
    connect(strip_->autoMixBox(), &QCheckBox::toggled, this,
            [this] { block_->onAutoMixChanged(); });
}

void MainWindow::connectDisplay() {
    display_ = std::make_unique<StatusDisplay>(*players_, view_, *block_);
    connect(displayTimer_, &QTimer::timeout, this, [this] { display_->onDisplayTick(); });
    connect(strip_->masterFader(), &widgets::Fader::track, this,
            [this](int position) { display_->onMasterFaderMoved(position); });
}

void MainWindow::openPlayerDevices() {
    const int output =
        deviceNumberFor(*env_.sound, deviceSettings_.outputDevice, extSettings_.jackOutputPorts);
    const int cue =
        deviceNumberFor(*env_.sound, deviceSettings_.cueDevice, extSettings_.jackCuePorts);
    const auto buffer = static_cast<std::uint16_t>(deviceSettings_.bufferMs);
    auto openOn = [&](audio::CartPlayer& player, int device, std::uint32_t volume) {
        player.initDevice(device);
        player.setBufferLength(buffer);
        player.setVolume(volume);
    };
    // Named in the messages about a device, as the setup dialog's labels name them.
    playerContext_->addDeviceRole(output, QStringLiteral("Device Transmissão"));
    playerContext_->addDeviceRole(cue, QStringLiteral("Device Escuta (Cue)"));
    const auto masterVolume = static_cast<std::uint32_t>(strip_->masterFader()->position());
    for (int n = 1; n <= carts::kCartCount; ++n) {
        openOn(players_->cartPlayer(n), output, masterVolume);
    }
    openOn(players_->cuePlayer(), cue, 100);
    openOn(players_->sparePlayer(), output, 100);
}

void MainWindow::onWindowKey(QKeyEvent* event) {
    const int key = event->key();
    if (event->modifiers() == Qt::ControlModifier && key >= Qt::Key_A && key <= Qt::Key_Z) {
        firing_->fireByKey(QChar(u'A' + (key - Qt::Key_A)));
    }
    if (key == Qt::Key_Alt) {
        firing_->cutCurrentCart();
    }
}

bool MainWindow::isKeyForThisWindow(QObject* watched, QEvent* event) const {
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
