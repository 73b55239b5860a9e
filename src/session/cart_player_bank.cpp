#include "session/cart_player_bank.h"

#include "core/path_bytes.h"

namespace session {

std::unique_ptr<PlayerAdapter> CartPlayerBank::make(audio::PlayerContext& context, int cartIndex) {
    auto player = std::make_unique<audio::CartPlayer>(context);
    player->setCartIndex(cartIndex);
    return std::make_unique<PlayerAdapter>(std::move(player));
}

CartPlayerBank::CartPlayerBank(audio::PlayerContext& context) {
    for (int n = 1; n <= carts::kCartCount; ++n) {
        carts_[static_cast<std::size_t>(n)] = make(context, n);
    }
    cue_ = make(context, 0);
    spare_ = make(context, 0);
}

bool DiskFiles::exists(const QString& path) const {
    return core::isFileAt(path); // by its bytes, so a name that is not UTF-8 is found too
}

} // namespace session
