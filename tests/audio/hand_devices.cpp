// Kept apart from the headers that include Qt: the mixer names a function emit, which Qt
// defines away as a macro.
#include "audio/engine/mixer.h"

#include "audio/hand_devices.h"

namespace audio::testing {

engine::Failure HandSink::reconnect() {
    if (mixer_ != nullptr && mixer_->deviceLost()) {
        return engine::EngineError::DeviceGone;
    }
    return {};
}

void HandSink::render(std::size_t frames) {
    block_.resize(frames * 2);
    mixer_->render(block_.data(), frames);
    if (capture) {
        captured.insert(captured.end(), block_.begin(), block_.end());
    }
}

void HandSink::lose() {
    mixer_->markDeviceLost();
}

void HandSink::restore() {
    mixer_->markDeviceRestored();
}

} // namespace audio::testing
