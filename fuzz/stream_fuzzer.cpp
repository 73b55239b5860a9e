// libFuzzer target: opening, measuring, decoding and seeking a stream from arbitrary bytes.
// Built by fuzz/run.sh with clang (-fsanitize=fuzzer,address,undefined).
#include "audio/engine/media_source.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kMaxOutputFloats = 8 * 1024 * 1024;
constexpr int kMaxSteps = 200000;

// Decodes until the end or a bound; a stream must always come to an end.
void drain(audio::engine::MediaSource& source, std::size_t maxFloats) {
    std::vector<float> out;
    for (int step = 0; step < kMaxSteps && out.size() < maxFloats; ++step) {
        if (!source.decode(out)) {
            return;
        }
        if (out.size() > 65536) {
            maxFloats -= std::min(maxFloats, out.size());
            out.clear();
        }
    }
}

const std::string& scratchPath() {
    static const std::string path = "/dev/shm/bandora-fuzz-" + std::to_string(getpid());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FILE* file = std::fopen(scratchPath().c_str(), "wb");
    if (!file) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    audio::engine::Failure error;
    auto source = audio::engine::MediaSource::open(scratchPath(), false, 44100, error);
    if (!source) {
        return 0;
    }
    const std::uint64_t length = source->format().lengthFrames;
    drain(*source, kMaxOutputFloats);
    source->seek(length / 2);
    drain(*source, kMaxOutputFloats / 4);
    source->seek(length + 1000);
    drain(*source, 4096);
    source->seek(0);
    drain(*source, 4096);
    return 0;
}
