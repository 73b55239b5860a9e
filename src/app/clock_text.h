#pragma once
#include "config/funcoes.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace app {

// Clock text of a count of milliseconds that may exceed 32 bits (sums of cart lengths).
inline QString clockText(std::int64_t ms) {
    const std::int64_t clamped = std::clamp<std::int64_t>(
        ms, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    return config::MsParaTempo(static_cast<qint32>(clamped));
}

} // namespace app
