// Settings read at creation and written at closing, and the hooks of the first activation.
#include "app/main_window.h"

#include "config/device_settings.h"
#include "config/window_settings.h"
#include "widgets/message_sink.h"
#include "widgets/mm_slider.h"

#include <QCheckBox>
#include <QLabel>

namespace app {

void Tfrm_botonera::readWindowSettings() {
    config::WindowSettings settings;
    if (settings.read(env_.programDir)) {
        MMSlider1->setPosition(settings.volume);
        CheckBox1->setChecked(settings.autoFade);
        CheckBox2->setChecked(settings.autoMix);
    }
    deviceSettings_ = config::CarregaConfig(env_.programDir);
}

void Tfrm_botonera::FormClose() {
    config::WindowSettings settings;
    settings.volume = MMSlider1->position();
    settings.autoFade = CheckBox1->isChecked();
    settings.autoMix = CheckBox2->isChecked();
    if (!settings.write(env_.programDir)) {
        env_.messages->showMessage(QStringLiteral("Erro ao Gravar configuração do Sistema"));
    }
}

void Tfrm_botonera::showProfileStatus() {
    Label1->setText(QStringLiteral("Perfil Atual: ") + wall_.PerfilAtual);
}

void Tfrm_botonera::ListaPerfil() {
    // Fills the profile box once profiles join the window.
}

} // namespace app
