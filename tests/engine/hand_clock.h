#pragma once
// An engine whose device 1 is a sink clocked by the test: nothing plays until render() is
// called, so timing checks are exact and fast.

#include "audio/engine/output_sink.h"
#include "audio/engine/sound_engine.h"

#include <chrono>
#include <memory>
#include <thread>

namespace enginetest {

class HandClockProvider final : public audio::engine::DeviceProvider {
public:
    explicit HandClockProvider(std::uint32_t rate) : rate_(rate) {}
    std::vector<audio::engine::DeviceInfo> list() override { return {{"hand", "Hand clock"}}; }
    std::unique_ptr<audio::engine::OutputSink> open(const audio::engine::DeviceInfo&,
                                                    int& error) override {
        error = 0;
        auto sink = std::make_unique<audio::engine::ManualSink>(rate_);
        *lastSink_ = sink.get();
        return sink;
    }
    // Where the sink opened last will be found (shared, so it outlives the provider's move).
    std::shared_ptr<audio::engine::ManualSink*> lastSink() const { return lastSink_; }

private:
    std::uint32_t rate_;
    std::shared_ptr<audio::engine::ManualSink*> lastSink_ =
        std::make_shared<audio::engine::ManualSink*>(nullptr);
};

struct HandClockEngine {
    explicit HandClockEngine(std::uint32_t rate = 44100) {
        auto provider = std::make_unique<HandClockProvider>(rate);
        sinkSlot = provider->lastSink();
        engine = std::make_unique<audio::engine::SoundEngine>(std::move(provider));
    }
    audio::engine::ManualSink& sink() { return **sinkSlot; }

    // Renders `frames` in mixer-sized steps, each only once the decoder has the audio for it
    // ready, so the channel `handle` never runs dry. `speed` is file frames per output frame:
    // a channel played faster than its file's rate takes that many more from the decoder.
    void renderFed(audio::StreamHandle handle, std::size_t frames, std::size_t step = 176,
                   std::size_t speed = 1) {
        while (frames > 0) {
            const std::size_t n = std::min(frames, step);
            engine->waitBuffered(handle, n * speed + 2, std::chrono::seconds(5));
            sink().render(n);
            frames -= n;
        }
    }

    std::shared_ptr<audio::engine::ManualSink*> sinkSlot;
    std::unique_ptr<audio::engine::SoundEngine> engine;
};

} // namespace enginetest
