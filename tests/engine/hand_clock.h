#pragma once
// An engine whose device 1 is a sink clocked by the test: nothing plays until render() is
// called, so timing checks are exact and fast.

#include "audio/engine/output_sink.h"
#include "audio/engine/sound_engine.h"

#include <chrono>
#include <initializer_list>
#include <memory>
#include <vector>

namespace enginetest {

class HandClockProvider final : public audio::engine::DeviceProvider {
public:
    explicit HandClockProvider(std::uint32_t rate) : rate_(rate) {}
    std::vector<audio::engine::DeviceInfo> list() override { return {{"hand", "Hand clock"}}; }
    std::unique_ptr<audio::engine::OutputSink> open(const audio::engine::DeviceInfo&,
                                                    audio::engine::Failure& error) override {
        error.reset();
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

// What a channel reported, in order.
using EventLog = std::vector<audio::engine::ChannelEvent::Kind>;

struct HandClockEngine {
    static constexpr int kDevice = 1;

    explicit HandClockEngine(std::uint32_t rate = 44100) {
        auto provider = std::make_unique<HandClockProvider>(rate);
        sinkSlot = provider->lastSink();
        engine = std::make_unique<audio::engine::SoundEngine>(std::move(provider));
    }
    audio::engine::ManualSink& sink() { return **sinkSlot; }

    // Renders `frames` and hands out what the mixer reported meanwhile.
    void render(std::size_t frames) {
        sink().render(frames);
        engine->dispatchEvents();
    }

    // Renders `frames` in steps, each only once the decoder has the audio for it ready, so
    // the channels never run dry; events are handed out after each step. `speed` is file
    // frames per output frame: a channel played faster than its file's rate takes that many
    // more from the decoder.
    void renderFed(std::initializer_list<audio::engine::Channel*> channels, std::size_t frames,
                   std::size_t step = 176, std::size_t speed = 1) {
        while (frames > 0) {
            const std::size_t n = std::min(frames, step);
            for (audio::engine::Channel* channel : channels) {
                channel->waitBuffered(n * speed + 2, std::chrono::seconds(5));
            }
            render(n);
            frames -= n;
        }
    }
    void renderFed(audio::engine::Channel& channel, std::size_t frames, std::size_t step = 176,
                   std::size_t speed = 1) {
        renderFed({&channel}, frames, step, speed);
    }

    // Records every event of `channel` into `log` (which must outlive the channel's use).
    static void record(audio::engine::Channel& channel, EventLog& log) {
        channel.setEventHandler(
            [&log](audio::engine::ChannelEvent event) { log.push_back(event.kind); });
    }

    std::shared_ptr<audio::engine::ManualSink*> sinkSlot;
    std::unique_ptr<audio::engine::SoundEngine> engine;
};

} // namespace enginetest
