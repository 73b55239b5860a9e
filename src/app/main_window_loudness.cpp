// Loudness normalisation on the wall: the background measurement of cart files, the gain each
// player starts a file with, and the loudness line of a cart's hint.
#include "app/main_window.h"

#include "audio/loudness.h"
#include "carts/loudness_cache.h"
#include "carts/loudness_service.h"
#include "widgets/cart_button.h"

#include <QDir>
#include <QHelpEvent>
#include <QToolTip>

namespace app {

void MainWindow::createLoudness() {
    extSettings_ = config::readExtSettings(env_.programDir);
    loudness_ = std::make_unique<carts::LoudnessService>(
        QDir(env_.programDir).filePath(QString::fromLatin1(carts::kLoudnessCacheFile)));
    playerContext_->playbackGain = [this](const QString& path) { return playbackGainOf(path); };
    // A preview (CUE, search) may start before its file is measured; it takes the gain as
    // soon as it is known, so the headphones hear the level the file will have on air. Carts
    // on air keep the level they started with.
    connect(loudness_.get(), &carts::LoudnessService::measured, this, [this](const QString& path) {
        audio::CartPlayer& cue = players_->cuePlayer();
        if (cue.isPlaying() && cue.fileName() == path) {
            cue.refreshGain();
        }
        refreshShownLoudnessHint(path);
    });
}

float MainWindow::playbackGainOf(const QString& path) const {
    const std::optional<audio::Loudness> known = loudness_->known(path);
    if (!known) {
        loudness_->measure(path); // a file no cart holds, e.g. a search preview
    }
    if (!extSettings_.loudness || !known) {
        return 1.0f;
    }
    return audio::linearGain(audio::normalisationGainDb(*known, extSettings_.loudnessTarget));
}

void MainWindow::measureWallLoudness() {
    for (int n = 1; n <= carts::kCartCount; ++n) {
        if (wall_.table[n].isLoaded()) {
            loudness_->measure(wall_.table[n].path);
        }
    }
}

void MainWindow::applyExtSettings(const config::ExtSettings& settings) {
    extSettings_ = settings;
}

// Built when the hint is asked for, so it always shows the latest measurement and setting.
bool MainWindow::showLoudnessHint(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip || !extSettings_.loudness) {
        return false;
    }
    const int n = cartNumberOf(watched);
    if (n == 0 || !wall_.table[n].isLoaded()) {
        return false;
    }
    showLoudnessHintAt(n, static_cast<QHelpEvent*>(event)->globalPos());
    return true;
}

void MainWindow::showLoudnessHintAt(int cart, QPoint globalPos) {
    const QString text = cartButton(cart)->toolTip() + QLatin1Char('\n') +
                         carts::loudnessHintLine(loudness_->known(wall_.table[cart].path),
                                                 extSettings_.loudnessTarget);
    shownLoudnessHint_ = {cart, globalPos, text};
    QToolTip::showText(globalPos, text, cartButton(cart));
}

// A hint still saying "medindo..." would otherwise stay so until the pointer leaves the cart.
void MainWindow::refreshShownLoudnessHint(const QString& measuredPath) {
    const int n = shownLoudnessHint_.cart;
    if (n == 0 || !QToolTip::isVisible() || QToolTip::text() != shownLoudnessHint_.text ||
        !extSettings_.loudness || wall_.table[n].path != measuredPath) {
        return;
    }
    showLoudnessHintAt(n, shownLoudnessHint_.globalPos);
}

} // namespace app
