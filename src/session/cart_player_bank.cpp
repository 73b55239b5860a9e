#include "session/cart_player_bank.h"

#include "carts/marker_store.h"
#include "core/message_sink.h"
#include "core/path_bytes.h"

#include <QTimer>

namespace session {

namespace {

audio::PlayMarks playMarksOf(const carts::Markers& markers) {
    return {markers.cueIn, markers.cueOut, markers.introEnd, markers.segueStart};
}

} // namespace

void PlayerMarks::applyTo(audio::CartPlayer& player) {
    const QString path = player.fileName();
    if (!player.loaded() || path.contains(QStringLiteral("://"))) {
        return;
    }
    if (const audio::engine::Channel* channel = player.channel();
        channel != nullptr && channel->length() > audio::engine::Frames(0)) {
        // Said once the event loop runs again: a cart being fired plays first, whatever the
        // message box does.
        if (const QString message = store_.reconcile(path, channel->length().count());
            !message.isEmpty()) {
            QTimer::singleShot(0, &player,
                               [&messages = messages_, message] { messages.showMessage(message); });
        }
    }
    player.setMarks(of(path));
}

audio::PlayMarks PlayerMarks::of(const QString& path) const {
    return playMarksOf(store_.effectiveMarkers(path).markers);
}

std::unique_ptr<PlayerAdapter> CartPlayerBank::make(audio::PlayerContext& context, int cartIndex) {
    auto player = std::make_unique<audio::CartPlayer>(context);
    player->setCartIndex(cartIndex);
    return std::make_unique<PlayerAdapter>(std::move(player), marks_);
}

CartPlayerBank::CartPlayerBank(audio::PlayerContext& context, carts::MarkerStore& marks)
    : marks_(marks, context.messages) {
    for (int n = 1; n <= carts::kCartCount; ++n) {
        carts_[static_cast<std::size_t>(n)] = make(context, n);
    }
    cue_ = make(context, 0);
    spare_ = make(context, 0);
}

// The cue player is left alone: CUE loads afresh on every press, and a preview that loaded the
// file whole (the marker editor's) must keep playing it whole.
void CartPlayerBank::markersChanged(const QString& path) {
    for (int n = 1; n <= carts::kCartCount; ++n) {
        PlayerAdapter& adapter = *carts_[static_cast<std::size_t>(n)];
        if (!adapter.isEmpty() && adapter.fileName() == path) {
            adapter.reapplyMarks();
        }
    }
}

bool DiskFiles::exists(const QString& path) const {
    return core::isFileAt(path); // by its bytes, so a name that is not UTF-8 is found too
}

} // namespace session
