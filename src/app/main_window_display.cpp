// The display tick and the master fader.
#include "app/main_window.h"
#include "app/status_display.h"
#include "widgets/mm_slider.h"

#include <QTimer>

namespace app {

void Tfrm_botonera::connectDisplay() {
    display_ = std::make_unique<StatusDisplay>(*players_, view_, *block_);
    connect(Timer2, &QTimer::timeout, this, [this] {
        display_->Timer2Timer();
        Timer2->setProperty("Tag", display_->contaTique());
    });
    connect(MMSlider1, &widgets::TMMSlider::track, this,
            [this](int position) { display_->MMSlider1Track(position); });
}

} // namespace app
