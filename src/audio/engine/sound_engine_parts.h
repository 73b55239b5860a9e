#pragma once
// The engine's bookkeeping for one device and one stream handle (user-interface thread only).

#include "mixer.h"
#include "output_sink.h"
#include "sound_engine.h"
#include "stream.h"

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

// What the user-interface thread knows of a stream. While commands are on their way to the
// mixer, answers come from the values asked for ("shadow"), so a query right after a call sees
// that call's effect.
struct SoundEngine::Slot {
    std::unique_ptr<Stream> stream;
    Device* device = nullptr;
    std::uint32_t generation = 1;
    std::uint32_t sentSeq = 0;
    std::uint32_t seekSeq = 0;
    std::uint64_t seekTarget = 0;
    bool playing = false;
    float rate = 0.0f;
    float volume = 1.0f;
    float pan = 0.0f;
    std::uint32_t slideBits = 0;
};

} // namespace audio::engine
