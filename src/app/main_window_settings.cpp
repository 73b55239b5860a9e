// Settings read at creation and written at closing, and the hooks of the first activation.
#include "app/cart_wall_panel.h"
#include "app/control_strip.h"
#include "app/main_window.h"

#include "config/device_settings.h"
#include "config/window_settings.h"
#include "core/message_sink.h"
#include "widgets/fader.h"

#include <QCheckBox>
#include <QLabel>

namespace app {

void MainWindow::readWindowSettings() {
    config::WindowSettings settings;
    if (settings.read(env_.programDir)) {
        strip_->masterFader()->setPosition(settings.volume);
        strip_->autoFadeBox()->setChecked(settings.autoFade);
        strip_->autoMixBox()->setChecked(settings.autoMix);
    }
    deviceSettings_ = config::readDeviceSettings(env_.programDir);
}

void MainWindow::saveWindowSettings() {
    config::WindowSettings settings;
    settings.volume = strip_->masterFader()->position();
    settings.autoFade = strip_->autoFadeBox()->isChecked();
    settings.autoMix = strip_->autoMixBox()->isChecked();
    if (!settings.write(env_.programDir)) {
        env_.messages->showMessage(QStringLiteral("Erro ao Gravar configuração do Sistema"));
    }
}

void MainWindow::showProfileStatus() {
    wallPanel_->statusLabel()->setText(QStringLiteral("Perfil Atual: ") + wall_.currentProfile);
}

} // namespace app
