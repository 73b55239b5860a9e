#include "app/player_bank.h"

#include <QFileInfo>

#include <cstring>

namespace app {

std::unique_ptr<OrvanePlayer> WindowPlayers::make(audio::PlayerContext& context, int cartIndex) {
    auto player = std::make_unique<audio::TOrvaneBass>(context);
    player->SetCartIndex(cartIndex);
    return std::make_unique<OrvanePlayer>(std::move(player));
}

WindowPlayers::WindowPlayers(audio::PlayerContext& context) {
    for (int n = 1; n <= 96; ++n) {
        carts_[static_cast<std::size_t>(n)] = make(context, n);
    }
    cue_ = make(context, 0);
    spare_ = make(context, 0);
}

bool OrvanePlayer::ReadLevels(std::int32_t& levelA, std::int32_t& levelB) {
    std::array<std::byte, audio::TOrvaneBass::kDataBufferBytes> buffer{};
    if (p_.GetData(buffer, audio::kDataFft512) <= 0) {
        return false;
    }
    std::array<float, audio::kFft512Bins> fft{};
    std::memcpy(fft.data(), buffer.data(), sizeof(float) * fft.size());
    p_.GetLevels(fft, levelA, levelB);
    return true;
}

bool DiskFiles::exists(const QString& path) const {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

} // namespace app
