#pragma once
// The engine's bookkeeping for one device (user-interface thread only).

#include "mixer.h"
#include "output_sink.h"
#include "sound_engine.h"

#include <memory>

namespace audio::engine {

struct SoundEngine::Device {
    std::unique_ptr<OutputSink> sink;
    std::unique_ptr<Mixer> mixer;
    ~Device() {
        if (sink) {
            sink->stop();
        }
    }
};

} // namespace audio::engine
