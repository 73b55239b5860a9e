#pragma once
// Test media made at test time: WAV files written from code, MP3 and WMA through the ffmpeg
// command line, all in a private temporary folder.

#include "audio/engine/engine_types.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace audio::engine {

// The engine's values by name in test messages (found by argument-dependent lookup, inside
// optionals and vectors too).
std::ostream& operator<<(std::ostream& out, EngineError error);
std::ostream& operator<<(std::ostream& out, Frames frames);
std::ostream& operator<<(std::ostream& out, ChannelState state);
std::ostream& operator<<(std::ostream& out, ChannelEvent::Kind kind);

} // namespace audio::engine

namespace enginetest {

enum class SampleFormat { U8, S16, S24, F32 };

struct WavSpec {
    std::uint32_t rate = 44100;
    std::uint16_t channels = 1;
    SampleFormat format = SampleFormat::S16;
    std::uint64_t frames = 44100;
};

// Value of channel `ch` at frame `i`, in -1..1.
using SampleFn = std::function<double(std::uint64_t i, int ch)>;

SampleFn sine(double hz, std::uint32_t rate, double amplitude = 0.8);

class TempDir {
public:
    TempDir();
    ~TempDir();
    std::filesystem::path path(const std::string& name) const { return dir_ / name; }

private:
    std::filesystem::path dir_;
};

void writeWav(const std::filesystem::path& file, const WavSpec& spec, const SampleFn& fn);
// A WAV longer than the 4 GiB a RIFF header can describe (RF64), silent except for frames
// [from, from + count) which hold `fn`. The silence is a hole in the file: it costs no disk.
void writeSparseWav(const std::filesystem::path& file, const WavSpec& spec, std::uint64_t from,
                    std::uint64_t count, const SampleFn& fn);
void writeBytes(const std::filesystem::path& file, const std::string& bytes);
std::string readBytes(const std::filesystem::path& file);

// Runs ffmpeg quietly; true when it succeeded.
bool ffmpeg(const std::string& arguments);
// Encodes `wav` with the given ffmpeg audio options (e.g. "-c:a libmp3lame -b:a 128k").
bool encode(const std::filesystem::path& wav, const std::filesystem::path& out,
            const std::string& options);
// Frames that ffmpeg's own decoder gives for the file.
std::uint64_t ffmpegDecodedFrames(const std::filesystem::path& file, int channels);

} // namespace enginetest
