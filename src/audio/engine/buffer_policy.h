#pragma once
// How much audio the sound server should hold for one output stream.
//
// It starts small, for a quick trigger. Each underflow (the server ran dry: a dropout on air)
// doubles it up to a cap, as the server's own ALSA sink does with its watermark: a machine that
// cannot keep the small buffer filled would otherwise drop out again and again. After a long
// quiet period it steps back down one step at a time, so a passing burst of load does not cost
// latency for good; if an underflow follows such a step, the quiet period needed for the next
// one doubles, so a machine that is simply too busy does not drop out at every attempt.
//
// Plain logic on times passed in (milliseconds on any monotonic clock); one thread only.

#include <cstdint>

namespace audio::engine {

class BufferPolicy {
public:
    struct Settings {
        std::uint32_t lowMs = 20;
        std::uint32_t highMs = 80;
        std::int64_t quietMs = 10 * 60 * 1000; // without an underflow before a step down
    };

    explicit BufferPolicy(std::int64_t nowMs) : BufferPolicy(Settings{}, nowMs) {}
    BufferPolicy(Settings settings, std::int64_t nowMs);

    std::uint32_t targetMs() const { return targetMs_; }
    // The stream ran dry; true when the target grew.
    bool underflow(std::int64_t nowMs);
    // Called now and then; true when the target shrank.
    bool tick(std::int64_t nowMs);

private:
    const Settings settings_;
    std::uint32_t targetMs_;
    std::int64_t quietSince_;
    std::int64_t quietNeeded_;
    bool stepDownOnTrial_ = false; // the last change was a step down, not yet proven
};

} // namespace audio::engine
