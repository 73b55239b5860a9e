#pragma once
// Short fades that finish a channel's sound after it stops, so a stop never cuts the waveform
// mid-cycle (a click on air). When a channel stops, the mixer writes the frames it would have
// played next, faded to zero, into a free tail; the tail then plays out over the next blocks
// while the channel itself is already stopped, seekable, playable or freed.
//
// Mixing thread only. All storage is allocated at construction.

#include <cstddef>
#include <vector>

namespace audio::engine {

class DeclickTails {
public:
    DeclickTails(std::size_t voices, std::size_t framesPerTail);

    std::size_t framesPerTail() const { return framesPerTail_; }
    // Storage (framesPerTail() stereo frames) of a free tail, or nullptr when every tail is
    // sounding.
    float* reserve();
    // Fades the `frames` frames written to the reserved storage to zero and starts them.
    // `owner` identifies the channel while it exists (nullptr once it is freed).
    void start(const void* owner, std::size_t frames);
    // Frames still to sound of the tail that `owner` left, 0 if none.
    std::size_t remainingFor(const void* owner) const;
    // `owner` is freed: its tails play on, but a later channel at the same address is not theirs.
    void forget(const void* owner);
    void mixInto(float* out, std::size_t frames);
    void clear();

private:
    struct Voice {
        const void* owner = nullptr;
        std::size_t length = 0;
        std::size_t played = 0;
        bool sounding() const { return played < length; }
    };

    const std::size_t framesPerTail_;
    std::vector<Voice> voices_;
    std::vector<float> samples_;
    std::size_t reserved_ = 0;
};

} // namespace audio::engine
