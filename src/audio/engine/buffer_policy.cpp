#include "buffer_policy.h"

#include <algorithm>

namespace audio::engine {

BufferPolicy::BufferPolicy(Settings settings, std::int64_t nowMs)
    : settings_(settings), targetMs_(settings.lowMs), quietSince_(nowMs),
      quietNeeded_(settings.quietMs) {}

bool BufferPolicy::underflow(std::int64_t nowMs) {
    if (stepDownOnTrial_ && nowMs - quietSince_ < quietNeeded_) {
        quietNeeded_ *= 2; // the step down came too early
    }
    stepDownOnTrial_ = false;
    quietSince_ = nowMs;
    if (targetMs_ >= settings_.highMs) {
        return false;
    }
    targetMs_ = std::min(targetMs_ * 2, settings_.highMs);
    return true;
}

bool BufferPolicy::tick(std::int64_t nowMs) {
    if (targetMs_ <= settings_.lowMs || nowMs - quietSince_ < quietNeeded_) {
        return false;
    }
    targetMs_ = std::max(targetMs_ / 2, settings_.lowMs);
    quietSince_ = nowMs;
    stepDownOnTrial_ = true;
    return true;
}

} // namespace audio::engine
