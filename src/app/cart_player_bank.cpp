#include "app/cart_player_bank.h"

#include "core/path_bytes.h"

#include <cstring>

namespace app {

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

bool PlayerAdapter::readLevels(std::int32_t& levelA, std::int32_t& levelB) {
    std::array<std::byte, audio::CartPlayer::kDataBufferBytes> buffer{};
    if (p_.readData(buffer, audio::kDataFft512) <= 0) {
        return false;
    }
    std::array<float, audio::kFft512Bins> fft{};
    std::memcpy(fft.data(), buffer.data(), sizeof(float) * fft.size());
    p_.levelsOf(fft, levelA, levelB);
    return true;
}

bool DiskFiles::exists(const QString& path) const {
    return core::isFileAt(path); // by its bytes, so a name that is not UTF-8 is found too
}

} // namespace app
