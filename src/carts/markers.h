#pragma once
// Points in an audio file that shape how its cart plays, in frames of the file's own rate
// from its first frame. Each is optional: a file without markers plays from start to end.
#include <cstdint>
#include <optional>
#include <vector>

namespace carts {

struct Markers {
    std::optional<std::int64_t> cueIn;      // playing starts here
    std::optional<std::int64_t> cueOut;     // playing ends here
    std::optional<std::int64_t> introEnd;   // the vocal starts here (talk-up count-down)
    std::optional<std::int64_t> segueStart; // the next cart of the block may start here
    bool empty() const { return !cueIn && !cueOut && !introEnd && !segueStart; }
    bool operator==(const Markers&) const = default;
};

// A file's waveform reduced for drawing: per bucket of framesPerPeak frames, the lowest and
// highest sample of either channel, in -1..1.
struct Peaks {
    int sampleRate = 0;
    std::int64_t totalFrames = 0;
    int framesPerPeak = 0;
    std::vector<float> low;
    std::vector<float> high;
    bool operator==(const Peaks&) const = default;
};

} // namespace carts
