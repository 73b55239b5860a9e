#include "test_media.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>
#include <stdexcept>

namespace audio::engine {

std::ostream& operator<<(std::ostream& out, EngineError error) {
    static constexpr const char* kNames[] = {
        "OutOfMemory",    "FileOpen",     "UnsupportedFormat", "NotAudio",     "NoNetwork",
        "NetworkTimeout", "NoSuchDevice", "DeviceNotOpen",     "DeviceGone",   "DeviceFailed",
        "AlreadyOpen",    "NoFreeStream", "BadPosition",       "BadParameter", "EngineStalled"};
    const auto index = static_cast<std::size_t>(error);
    return index < std::size(kNames) ? out << kNames[index] : out << "EngineError " << index;
}

std::ostream& operator<<(std::ostream& out, Frames frames) {
    return out << frames.count() << " frames";
}

std::ostream& operator<<(std::ostream& out, ChannelState state) {
    static constexpr const char* kNames[] = {"Stopped", "Playing", "Stalled"};
    const auto index = static_cast<std::size_t>(state);
    return index < std::size(kNames) ? out << kNames[index] : out << "ChannelState " << index;
}

std::ostream& operator<<(std::ostream& out, ChannelEvent::Kind kind) {
    static constexpr const char* kNames[] = {"Ended",      "FadedOut",   "Stalled",   "LoopTurned",
                                             "CueReached", "CueStarted", "DeviceLost"};
    const auto index = static_cast<std::size_t>(kind);
    return index < std::size(kNames) ? out << kNames[index] : out << "ChannelEvent " << index;
}

} // namespace audio::engine

namespace enginetest {

namespace {

void put16(std::string& s, std::uint32_t v) {
    s.push_back(static_cast<char>(v & 0xff));
    s.push_back(static_cast<char>((v >> 8) & 0xff));
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, v & 0xffff);
    put16(s, v >> 16);
}

int bytesPerSample(SampleFormat f) {
    switch (f) {
    case SampleFormat::U8:
        return 1;
    case SampleFormat::S16:
        return 2;
    case SampleFormat::S24:
        return 3;
    case SampleFormat::F32:
        return 4;
    }
    return 2;
}

void putSample(std::string& s, SampleFormat f, double v) {
    v = std::clamp(v, -1.0, 1.0);
    switch (f) {
    case SampleFormat::U8:
        s.push_back(static_cast<char>(static_cast<std::uint8_t>(std::lround(v * 127.0) + 128)));
        break;
    case SampleFormat::S16:
        put16(s, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 32767.0))));
        break;
    case SampleFormat::S24: {
        const auto x =
            static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(v * 8388607.0)));
        put16(s, x & 0xffff);
        s.push_back(static_cast<char>((x >> 16) & 0xff));
        break;
    }
    case SampleFormat::F32: {
        const float x = static_cast<float>(v);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &x, 4);
        put32(s, bits);
        break;
    }
    }
}

std::uint32_t blockAlignOf(const WavSpec& spec) {
    return spec.channels * static_cast<std::uint32_t>(bytesPerSample(spec.format));
}

std::string formatChunk(const WavSpec& spec) {
    const std::uint32_t blockAlign = blockAlignOf(spec);
    std::string out = "fmt ";
    put32(out, 16);
    put16(out, spec.format == SampleFormat::F32 ? 3 : 1);
    put16(out, spec.channels);
    put32(out, spec.rate);
    put32(out, spec.rate * blockAlign);
    put16(out, blockAlign);
    put16(out, static_cast<std::uint32_t>(bytesPerSample(spec.format) * 8));
    return out;
}

void putFrames(std::string& out, const WavSpec& spec, std::uint64_t from, std::uint64_t count,
               const SampleFn& fn) {
    for (std::uint64_t i = from; i < from + count; ++i) {
        for (int ch = 0; ch < spec.channels; ++ch) {
            putSample(out, spec.format, fn(i, ch));
        }
    }
}

} // namespace

SampleFn sine(double hz, std::uint32_t rate, double amplitude) {
    return [=](std::uint64_t i, int) {
        return amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate);
    };
}

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "bandora-engine-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    dir_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void writeWav(const std::filesystem::path& file, const WavSpec& spec, const SampleFn& fn) {
    const std::uint64_t dataSize = spec.frames * blockAlignOf(spec);
    std::string out;
    out.reserve(static_cast<std::size_t>(dataSize) + 44);
    out += "RIFF";
    put32(out, static_cast<std::uint32_t>(36 + dataSize));
    out += "WAVE";
    out += formatChunk(spec);
    out += "data";
    put32(out, static_cast<std::uint32_t>(dataSize));
    putFrames(out, spec, 0, spec.frames, fn);
    writeBytes(file, out);
}

void writeSparseWav(const std::filesystem::path& file, const WavSpec& spec, std::uint64_t from,
                    std::uint64_t count, const SampleFn& fn) {
    const std::uint64_t dataSize = spec.frames * blockAlignOf(spec);
    std::string header = "RF64";
    put32(header, 0xffffffffu); // the sizes are in the ds64 chunk
    header += "WAVEds64";
    put32(header, 28);
    constexpr std::uint64_t kHeaderSize = 12 + 36 + 24 + 8;
    for (const std::uint64_t size : {kHeaderSize - 8 + dataSize, dataSize, spec.frames}) {
        put32(header, static_cast<std::uint32_t>(size & 0xffffffffu));
        put32(header, static_cast<std::uint32_t>(size >> 32));
    }
    put32(header, 0); // no table
    header += formatChunk(spec);
    header += "data";
    put32(header, 0xffffffffu);
    std::string loud;
    putFrames(loud, spec, from, count, fn);
    std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.seekp(static_cast<std::streamoff>(kHeaderSize + from * blockAlignOf(spec)));
    out.write(loud.data(), static_cast<std::streamsize>(loud.size()));
    out.close();
    std::filesystem::resize_file(file, kHeaderSize + dataSize);
}

void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool ffmpeg(const std::string& arguments) {
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments;
    return std::system(command.c_str()) == 0;
}

bool encode(const std::filesystem::path& wav, const std::filesystem::path& out,
            const std::string& options) {
    return ffmpeg("-i '" + wav.string() + "' " + options + " '" + out.string() + "'");
}

std::uint64_t ffmpegDecodedFrames(const std::filesystem::path& file, int channels) {
    const std::string command = "ffmpeg -nostdin -loglevel error -i '" + file.string() +
                                "' -f s16le -acodec pcm_s16le - | wc -c";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return 0;
    }
    unsigned long long bytes = 0;
    if (std::fscanf(pipe, "%llu", &bytes) != 1) {
        bytes = 0;
    }
    pclose(pipe);
    return bytes / (2ull * static_cast<unsigned>(channels));
}

} // namespace enginetest
